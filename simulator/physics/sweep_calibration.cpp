#include "correction.h"

#include <zorsim/scpi.h>

#include <algorithm>
#include <cmath>

namespace zorsim {

using physics::cal_method_t;
using physics::complex_t;
using physics::error_terms_t;

namespace {


bool same_grid(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::abs(a[k] - b[k]) > 1e-9 * std::max(1.0, std::abs(b[k]))) return false;
    return true;
}

const measured_standard_t& standard(const channel_calibration_t& cal, const std::string& name,
                                    const std::vector<double>& grid) {
    const auto found = cal.standards.find(name);
    if (found == cal.standards.end()) throw scpi::scpi_error(-200, "Execution error; standard not measured: " + name);
    if (!same_grid(found->second.frequency, grid))
        throw scpi::scpi_error(-200, "Execution error; standard measured on another stimulus: " + name);
    return found->second;
}

}  // namespace

const error_term_t error_term_table[12] = {
    {"ED", 1, 1, &error_terms_t::directivity_f},     {"ES", 1, 1, &error_terms_t::source_match_f},
    {"ER", 1, 1, &error_terms_t::reflection_tracking_f}, {"EL", 2, 1, &error_terms_t::load_match_f},
    {"ET", 2, 1, &error_terms_t::transmission_tracking_f}, {"EX", 2, 1, &error_terms_t::isolation_f},
    {"ED", 2, 2, &error_terms_t::directivity_r},     {"ES", 2, 2, &error_terms_t::source_match_r},
    {"ER", 2, 2, &error_terms_t::reflection_tracking_r}, {"EL", 1, 2, &error_terms_t::load_match_r},
    {"ET", 1, 2, &error_terms_t::transmission_tracking_r}, {"EX", 1, 2, &error_terms_t::isolation_r},
};

const error_term_t* find_error_term(const std::string& name, int receiver) {
    for (const auto& term : error_term_table)
        if (name == term.name && receiver == term.receiver) return &term;
    return nullptr;
}

cal_validity_t validity(const channel_calibration_t& cal, const std::vector<double>& frequency) {
    if (cal.method == cal_method_t::none || cal.frequency.empty()) return cal_validity_t::none;
    if (same_grid(cal.frequency, frequency)) return cal_validity_t::valid;
    const double low = cal.frequency.front(), high = cal.frequency.back();
    const double slack = 1e-9 * std::max(1.0, high);
    for (double f : frequency)
        if (f < low - slack || f > high + slack) return cal_validity_t::invalid;
    return cal_validity_t::interpolated;
}

std::vector<error_terms_t> terms_on(const channel_calibration_t& cal, const std::vector<double>& frequency) {
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
        for (const auto& term : error_term_table)
            out[k].*term.member = a.*term.member + share * (b.*term.member - a.*term.member);
    }
    return out;
}

void apply_calibration(const channel_calibration_t& cal, physics::sweep_data_t& data) {
    const std::vector<error_terms_t> terms = terms_on(cal, data.frequency);
    if (terms.size() != data.s.size()) return;
    for (std::size_t k = 0; k < data.s.size(); ++k) data.s[k] = physics::correct({cal.method, cal.port, terms[k]}, data.s[k]);
}

void solve_calibration(channel_calibration_t& cal, cal_method_t method, int port, const physics::cal_kit_t& kit) {
    if (method == cal_method_t::none) throw scpi::scpi_error(-200, "Execution error; no calibration method chosen");
    const std::string p = std::to_string(port);
    // The grid is the first needed standard's; every other must share it.
    const char* first = method == cal_method_t::response_short  ? "SHORT"
                        : method == cal_method_t::response_thru ? "THRU"
                                                                : "OPEN";
    const std::string first_name = std::string(first) + (method == cal_method_t::response_thru ? "" : method == cal_method_t::two_port ? "1" : p);
    const auto found = cal.standards.find(first_name);
    if (found == cal.standards.end()) throw scpi::scpi_error(-200, "Execution error; standard not measured: " + first_name);
    const std::vector<double> grid = found->second.frequency;
    const std::size_t n = grid.size();

    std::vector<error_terms_t> terms(n);
    if (method == cal_method_t::response_open || method == cal_method_t::response_short) {
        const auto& m = standard(cal, first_name, grid);
        for (std::size_t k = 0; k < n; ++k) {
            const complex_t raw = port == 2 ? m.raw[k].s22 : m.raw[k].s11;
            terms[k] = (method == cal_method_t::response_open ? physics::solve_response_open(kit, grid[k], port, raw)
                                                              : physics::solve_response_short(kit, grid[k], port, raw))
                           .terms;
        }
    } else if (method == cal_method_t::response_thru) {
        const auto& m = standard(cal, "THRU", grid);
        for (std::size_t k = 0; k < n; ++k) terms[k] = physics::solve_response_thru(kit, grid[k], m.raw[k]).terms;
    } else {
        // One-port needs its port's open, short and load; two-port both
        // ports' and the thru; isolation is used when it was measured.
        std::vector<int> ports = method == cal_method_t::two_port ? std::vector<int>{1, 2} : std::vector<int>{port};
        const measured_standard_t* reflect[3][2] = {};
        const char* const names[3] = {"OPEN", "SHORT", "LOAD"};
        for (int q : ports)
            for (int s = 0; s < 3; ++s) reflect[s][q - 1] = &standard(cal, names[s] + std::to_string(q), grid);
        const measured_standard_t* thru = method == cal_method_t::two_port ? &standard(cal, "THRU", grid) : nullptr;
        const auto isolation = cal.standards.find("ISOLATION");
        const bool isolated = thru != nullptr && isolation != cal.standards.end() && same_grid(isolation->second.frequency, grid);
        for (std::size_t k = 0; k < n; ++k) {
            physics::standard_measurements_t m;
            for (int q : ports) {
                const int i = q - 1;
                auto pick = [&](const measured_standard_t* s) { return q == 2 ? s->raw[k].s22 : s->raw[k].s11; };
                m.open[i] = pick(reflect[0][i]);
                m.short_[i] = pick(reflect[1][i]);
                m.load[i] = pick(reflect[2][i]);
            }
            if (thru != nullptr) m.thru = thru->raw[k];
            if (isolated) m.isolation_f = isolation->second.raw[k].s21, m.isolation_r = isolation->second.raw[k].s12;
            terms[k] = (thru != nullptr ? physics::solve_two_port(kit, grid[k], m)
                                        : physics::solve_one_port(kit, grid[k], port, m))
                           .terms;
        }
    }
    cal.method = method;
    cal.port = port;
    cal.frequency = grid;
    cal.terms = std::move(terms);
    ++cal.generation;
}

}  // namespace zorsim
