#include "sweep_calibration.h"

#include <algorithm>
#include <cmath>

namespace zorsim::physics {

complex_t error_terms_t::* const error_term_members[12] = {
    &error_terms_t::directivity_f,         &error_terms_t::source_match_f,  &error_terms_t::reflection_tracking_f,
    &error_terms_t::load_match_f,          &error_terms_t::transmission_tracking_f, &error_terms_t::isolation_f,
    &error_terms_t::directivity_r,         &error_terms_t::source_match_r,  &error_terms_t::reflection_tracking_r,
    &error_terms_t::load_match_r,          &error_terms_t::transmission_tracking_r, &error_terms_t::isolation_r,
};

namespace {

class standard_device_t : public device_t {
public:
    standard_device_t(const cal_kit_t& kit, standard_kind_t kind, int port) : kit_(kit), kind_(kind), port_(port) {}
    sparams_t at(double f) const override {
        complex_t g = 0.0;
        switch (kind_) {
            case standard_kind_t::thru: return thru_sparams(kit_.thru, f);
            case standard_kind_t::isolation: g = load_reflection(kit_.load, f); return {g, 0.0, 0.0, g};
            case standard_kind_t::open: g = open_reflection(kit_.open, f); break;
            case standard_kind_t::short_: g = short_reflection(kit_.short_, f); break;
            case standard_kind_t::load: g = load_reflection(kit_.load, f); break;
        }
        return port_ == 2 ? sparams_t{0.0, 0.0, 0.0, g} : sparams_t{g, 0.0, 0.0, 0.0};
    }
    std::string description() const override { return "calibration standard"; }

private:
    cal_kit_t kit_;
    standard_kind_t kind_;
    int port_;
};


bool same_grid(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::abs(a[k] - b[k]) > 1e-9 * std::max(1.0, std::abs(b[k]))) return false;
    return true;
}

const measured_standard_t& standard(const measured_standards_t& standards, const std::string& name,
                                    const std::vector<double>& grid) {
    const auto found = standards.find(name);
    if (found == standards.end()) throw calibration_error("standard not measured: " + name);
    if (!same_grid(found->second.frequency, grid))
        throw calibration_error("standard measured on another stimulus: " + name);
    return found->second;
}

}  // namespace

std::unique_ptr<device_t> standard_device(const cal_kit_t& kit, standard_kind_t kind, int port) {
    return std::make_unique<standard_device_t>(kit, kind, port);
}

std::string standard_name(standard_kind_t kind, int port) {
    switch (kind) {
        case standard_kind_t::thru: return "THRU";
        case standard_kind_t::isolation: return "ISOLATION";
        case standard_kind_t::open: return "OPEN" + std::to_string(port);
        case standard_kind_t::short_: return "SHORT" + std::to_string(port);
        case standard_kind_t::load: return "LOAD" + std::to_string(port);
    }
    return std::string();
}

cal_validity_t validity(const sweep_calibration_t& cal, const std::vector<double>& frequency) {
    if (cal.method == cal_method_t::none || cal.frequency.empty()) return cal_validity_t::none;
    if (same_grid(cal.frequency, frequency)) return cal_validity_t::valid;
    const double low = cal.frequency.front(), high = cal.frequency.back();
    const double slack = 1e-9 * std::max(1.0, high);
    for (double f : frequency)
        if (f < low - slack || f > high + slack) return cal_validity_t::invalid;
    return cal_validity_t::interpolated;
}

std::vector<error_terms_t> terms_on(const sweep_calibration_t& cal, const std::vector<double>& frequency) {
    switch (validity(cal, frequency)) {
        case cal_validity_t::none:
        case cal_validity_t::invalid:
            return {};
        case cal_validity_t::valid:
            return cal.terms;
        case cal_validity_t::interpolated:
            break;
    }
    std::vector<error_terms_t> out(frequency.size());
    const std::vector<double>& grid = cal.frequency;
    for (std::size_t k = 0; k < frequency.size(); ++k) {
        const double f = std::clamp(frequency[k], grid.front(), grid.back());
        const std::size_t upper = std::min<std::size_t>(
            std::max<std::size_t>(1, static_cast<std::size_t>(std::upper_bound(grid.begin(), grid.end(), f) - grid.begin())),
            grid.size() - 1);
        if (grid.size() == 1) {
            out[k] = cal.terms[0];
            continue;
        }
        const double width = grid[upper] - grid[upper - 1];
        const double share = width > 0.0 ? (f - grid[upper - 1]) / width : 0.0;
        const error_terms_t& a = cal.terms[upper - 1];
        const error_terms_t& b = cal.terms[upper];
        for (const auto member : error_term_members) out[k].*member = a.*member + share * (b.*member - a.*member);
    }
    return out;
}

void apply_calibration(const sweep_calibration_t& cal, sweep_data_t& data) {
    const std::vector<error_terms_t> terms = terms_on(cal, data.frequency);
    if (terms.size() != data.s.size()) return;
    for (std::size_t k = 0; k < data.s.size(); ++k) data.s[k] = correct({cal.method, cal.port, terms[k]}, data.s[k]);
}

sweep_calibration_t solve_calibration(const measured_standards_t& standards, cal_method_t method, int port,
                                      const cal_kit_t& kit) {
    if (method == cal_method_t::none) throw calibration_error("no calibration method chosen");
    const std::string p = std::to_string(port);
    // The grid is the first needed standard's; every other must share it.
    const char* first = method == cal_method_t::response_short  ? "SHORT"
                        : method == cal_method_t::response_thru ? "THRU"
                                                                : "OPEN";
    const std::string first_name = std::string(first) + (method == cal_method_t::response_thru ? "" : method == cal_method_t::two_port ? "1" : p);
    const auto found = standards.find(first_name);
    if (found == standards.end()) throw calibration_error("standard not measured: " + first_name);
    const std::vector<double> grid = found->second.frequency;
    const std::size_t n = grid.size();

    std::vector<error_terms_t> terms(n);
    if (method == cal_method_t::response_open || method == cal_method_t::response_short) {
        const auto& m = standard(standards, first_name, grid);
        for (std::size_t k = 0; k < n; ++k) {
            const complex_t raw = port == 2 ? m.raw[k].s22 : m.raw[k].s11;
            terms[k] = (method == cal_method_t::response_open ? solve_response_open(kit, grid[k], port, raw)
                                                              : solve_response_short(kit, grid[k], port, raw))
                           .terms;
        }
    } else if (method == cal_method_t::response_thru) {
        const auto& m = standard(standards, "THRU", grid);
        for (std::size_t k = 0; k < n; ++k) terms[k] = solve_response_thru(kit, grid[k], m.raw[k]).terms;
    } else {
        // One-port needs its port's open, short and load; two-port both
        // ports' and the thru; isolation is used when it was measured.
        std::vector<int> ports = method == cal_method_t::two_port ? std::vector<int>{1, 2} : std::vector<int>{port};
        const measured_standard_t* reflect[3][2] = {};
        const char* const names[3] = {"OPEN", "SHORT", "LOAD"};
        for (int q : ports)
            for (int s = 0; s < 3; ++s) reflect[s][q - 1] = &standard(standards, names[s] + std::to_string(q), grid);
        const measured_standard_t* thru = method == cal_method_t::two_port ? &standard(standards, "THRU", grid) : nullptr;
        const auto isolation = standards.find("ISOLATION");
        const bool isolated = thru != nullptr && isolation != standards.end() && same_grid(isolation->second.frequency, grid);
        for (std::size_t k = 0; k < n; ++k) {
            standard_measurements_t m;
            for (int q : ports) {
                const int i = q - 1;
                auto pick = [&](const measured_standard_t* s) { return q == 2 ? s->raw[k].s22 : s->raw[k].s11; };
                m.open[i] = pick(reflect[0][i]);
                m.short_[i] = pick(reflect[1][i]);
                m.load[i] = pick(reflect[2][i]);
            }
            if (thru != nullptr) m.thru = thru->raw[k];
            if (isolated) m.isolation_f = isolation->second.raw[k].s21, m.isolation_r = isolation->second.raw[k].s12;
            terms[k] = (thru != nullptr ? solve_two_port(kit, grid[k], m)
                                        : solve_one_port(kit, grid[k], port, m))
                           .terms;
        }
    }
    return sweep_calibration_t{method, port, grid, std::move(terms)};
}

}  // namespace zorsim::physics
