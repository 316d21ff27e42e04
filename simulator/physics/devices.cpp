#include "devices.h"

#include "touchstone.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace zorsim::physics {

namespace {

constexpr double nepers_per_db = 1.0 / (20.0 / 2.302585092994046);  // ln(10)/20

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

// "key=value" pairs after the name; each maker takes the keys it knows and
// anything left over is an error.
class parameters_t {
public:
    explicit parameters_t(const std::vector<std::string>& items) {
        for (const auto& item : items) {
            const auto eq = item.find('=');
            if (eq == std::string::npos) throw std::invalid_argument("parameter without value: " + item);
            const std::string key = lower(trim(item.substr(0, eq)));
            const std::string text = trim(item.substr(eq + 1));
            double value = 0;
            const char* b = text.data();
            const char* e = b + text.size();
            if (b != e && *b == '+') ++b;
            const auto [p, ec] = std::from_chars(b, e, value);
            if (ec != std::errc() || p != e || !std::isfinite(value))
                throw std::invalid_argument("parameter " + key + " is not a number: " + text);
            values_[key] = value;
        }
    }
    double take(const std::string& key, double fallback, double lo, double hi) {
        const auto it = values_.find(key);
        if (it == values_.end()) return fallback;
        const double v = it->second;
        values_.erase(it);
        if (v < lo || v > hi) throw std::invalid_argument("parameter " + key + " out of range");
        return v;
    }
    void finish(const std::string& name) const {
        if (!values_.empty()) throw std::invalid_argument("device " + name + " has no parameter " + values_.begin()->first);
    }

private:
    std::map<std::string, double> values_;
};

std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A device given by a function of frequency.
class function_device_t : public device_t {
public:
    function_device_t(std::string description, std::function<sparams_t(double)> fn, bool passive = true)
        : description_(std::move(description)), fn_(std::move(fn)), passive_(passive) {}
    sparams_t at(double frequency) const override { return fn_(frequency); }
    std::string description() const override { return description_; }
    bool passive() const override { return passive_; }

private:
    std::string description_;
    std::function<sparams_t(double)> fn_;
    bool passive_;
};

sparams_t one_ports(complex_t gamma) { return {gamma, 0.0, 0.0, gamma}; }

class ladder_device_t : public device_t {
public:
    explicit ladder_device_t(const ladder_design_t& d) : design_(d), g_(d.prototype()) {}

    sparams_t at(double f) const override {
        const double w = 2 * pi * f;
        const double w0 = 2 * pi * design_.center;
        const double z0 = reference_impedance;
        const double q = design_.q;
        abcd_t m = design_.input.chain(f);
        for (int k = 1; k <= design_.order; ++k) {
            const double g = g_[static_cast<std::size_t>(k - 1)];
            const bool series = k % 2 == 1;
            const complex_t jw(0.0, w);
            if (design_.low_pass) {
                // Series inductor or shunt capacitor; loss as their Q at the cutoff.
                if (series) {
                    const double l = g * z0 / w0;
                    m = m * series_impedance(jw * l + (q > 0 ? w0 * l / q : 0.0));
                } else {
                    const double c = g / (w0 * z0);
                    m = m * shunt_admittance(jw * c + (q > 0 ? w0 * c / q : 0.0));
                }
            } else if (series) {
                const double l = g * z0 / (w0 * design_.fbw);
                const double c = design_.fbw / (w0 * g * z0);
                m = m * series_impedance(jw * l + 1.0 / (jw * c) + (q > 0 ? w0 * l / q : 0.0));
            } else {
                const double c = g / (w0 * design_.fbw * z0);
                const double l = design_.fbw * z0 / (w0 * g);
                m = m * shunt_admittance(jw * c + 1.0 / (jw * l) + (q > 0 ? w0 * c / q : 0.0));
            }
        }
        m = m * design_.output.chain(f);
        return to_sparams(m);
    }
    std::string description() const override {
        return std::string(design_.low_pass ? "lowpass,cutoff=" : "bandpass,center=") + number(design_.center) +
               (design_.low_pass ? "" : ",fbw=" + number(design_.fbw)) + ",order=" + std::to_string(design_.order) +
               ",ripple=" + number(design_.ripple_db) + ",q=" + number(design_.q) +
               ",delay=" + number(design_.input.delay) + ",loss=" + number(design_.input.loss_db_at_1ghz);
    }

private:
    ladder_design_t design_;
    std::vector<double> g_;
};

using maker_t = device_ptr (*)(parameters_t&);

ladder_design_t ladder_from(parameters_t& p, bool low_pass) {
    ladder_design_t d;
    d.low_pass = low_pass;
    if (low_pass) d.center = 3e9;
    d.center = p.take(low_pass ? "cutoff" : "center", d.center, 1e6, 1e11);
    if (!low_pass) d.fbw = p.take("fbw", d.fbw, 1e-3, 1.5);
    // Odd orders only: an even Chebyshev ladder does not end on the port impedance.
    d.order = 2 * static_cast<int>(p.take("order", d.order, 1, 15) / 2) + 1;
    d.ripple_db = p.take("ripple", d.ripple_db, 1e-4, 3);
    d.q = p.take("q", d.q, 0, 1e7);
    d.input.delay = d.output.delay = p.take("delay", d.input.delay, 0, 1e-6);
    d.input.loss_db_at_1ghz = d.output.loss_db_at_1ghz = p.take("loss", d.input.loss_db_at_1ghz, 0, 100);
    return d;
}

const std::map<std::string, maker_t>& makers() {
    static const std::map<std::string, maker_t> table{
        {"bandpass", [](parameters_t& p) { return make_ladder(ladder_from(p, false)); }},
        {"lowpass", [](parameters_t& p) { return make_ladder(ladder_from(p, true)); }},
        {"thru",
         [](parameters_t&) -> device_ptr {
             return std::make_shared<function_device_t>("thru", [](double) { return sparams_t{0.0, 1.0, 1.0, 0.0}; });
         }},
        {"line",
         [](parameters_t& p) -> device_ptr {
             line_t line{p.take("delay", 1e-9, 0, 1e-3), p.take("loss", 0.5, 0, 100)};
             return std::make_shared<function_device_t>(
                 "line,delay=" + number(line.delay) + ",loss=" + number(line.loss_db_at_1ghz),
                 [line](double f) { return to_sparams(line.chain(f)); });
         }},
        {"open",
         [](parameters_t&) -> device_ptr {
             return std::make_shared<function_device_t>("open", [](double) { return one_ports(1.0); });
         }},
        {"short",
         [](parameters_t&) -> device_ptr {
             return std::make_shared<function_device_t>("short", [](double) { return one_ports(-1.0); });
         }},
        {"match",
         [](parameters_t&) -> device_ptr {
             return std::make_shared<function_device_t>("match", [](double) { return one_ports(0.0); });
         }},
        {"attenuator",
         [](parameters_t& p) -> device_ptr {
             const double db = p.take("db", 10, 0, 200);
             const double t = std::pow(10.0, -db / 20);
             return std::make_shared<function_device_t>("attenuator,db=" + number(db),
                                                        [t](double) { return sparams_t{0.0, t, t, 0.0}; });
         }},
        {"notch",
         [](parameters_t& p) -> device_ptr {
             // A series resonator shunting the line: its resistance at
             // resonance sets the depth, its inductance the width.
             const double f0 = p.take("center", 4.5e9, 1e6, 1e11);
             const double q = p.take("q", 200, 1, 1e7);
             const double l = p.take("inductance", 20e-9, 1e-12, 1e-3);
             const line_t line{p.take("delay", 0.4e-9, 0, 1e-6), p.take("loss", 0.12, 0, 100)};
             const double w0 = 2 * pi * f0;
             const double c = 1 / (w0 * w0 * l), r = w0 * l / q;
             return std::make_shared<function_device_t>(
                 "notch,center=" + number(f0) + ",q=" + number(q) + ",inductance=" + number(l),
                 [=](double f) {
                     const complex_t jw(0.0, 2 * pi * f);
                     const complex_t z = r + jw * l + 1.0 / (jw * c);
                     return to_sparams(line.chain(f) * shunt_admittance(1.0 / z) * line.chain(f));
                 });
         }},
        {"amplifier",
         [](parameters_t& p) -> device_ptr {
             // Gain rolling off as one pole above 6 GHz, finite reverse
             // isolation, a constant mismatch at both ports.
             const double gain = p.take("gain", 20, -50, 60);
             const double isolation = p.take("isolation", 40, 0, 200);
             const double match = p.take("match", 15, 0, 100);
             const double g = std::pow(10.0, gain / 20), iso = std::pow(10.0, -isolation / 20);
             const double rho = std::pow(10.0, -match / 20);
             return std::make_shared<function_device_t>(
                 "amplifier,gain=" + number(gain) + ",isolation=" + number(isolation) + ",match=" + number(match),
                 [=](double f) {
                     const complex_t delay = std::polar(1.0, -2 * pi * f * 0.2e-9);
                     const complex_t pole = 1.0 / complex_t(1.0, f / 6e9);
                     const complex_t gamma = rho * std::polar(1.0, -2 * pi * f * 0.1e-9);
                     return sparams_t{gamma, g * delay * pole, iso * delay, gamma};
                 },
                 false);
         }},
    };
    return table;
}

bool ends_with(const std::string& s, const char* tail) {
    const std::size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

sweep_data_t device_t::sweep(const std::vector<double>& frequency) const {
    sweep_data_t data;
    data.frequency = frequency;
    data.s.resize(frequency.size());
    for (std::size_t i = 0; i < frequency.size(); ++i) data.s[i] = at(frequency[i]);
    return data;
}

abcd_t line_t::chain(double frequency) const {
    if (delay == 0 && loss_db_at_1ghz == 0) return {};
    const double f = std::fabs(frequency);
    const complex_t gl(loss_db_at_1ghz * std::sqrt(f / 1e9) * nepers_per_db, 2 * pi * f * delay);
    const complex_t ch = std::cosh(gl), sh = std::sinh(gl);
    return {ch, reference_impedance * sh, sh / reference_impedance, ch, 1.0};
}

std::vector<double> ladder_design_t::prototype() const {
    // Closed form of the Chebyshev prototype (g0 = 1).
    const int n = order;
    const double beta = std::log(1 / std::tanh(ripple_db / (40 / std::log(10.0))));
    const double gamma = std::sinh(beta / (2 * n));
    std::vector<double> g(static_cast<std::size_t>(n) + 1);
    std::vector<double> a(static_cast<std::size_t>(n) + 1), b(static_cast<std::size_t>(n) + 1);
    for (int k = 1; k <= n; ++k) {
        a[static_cast<std::size_t>(k)] = std::sin((2 * k - 1) * pi / (2 * n));
        b[static_cast<std::size_t>(k)] = gamma * gamma + std::pow(std::sin(k * pi / n), 2);
    }
    g[0] = 2 * a[1] / gamma;
    for (int k = 2; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        g[i - 1] = 4 * a[i - 1] * a[i] / (b[i - 1] * g[i - 2]);
    }
    g[static_cast<std::size_t>(n)] = n % 2 == 1 ? 1.0 : std::pow(1 / std::tanh(beta / 4), 2);
    return g;
}

double ladder_design_t::ideal_transmission(double frequency) const {
    const double omega = low_pass ? frequency / center : (frequency / center - center / frequency) / fbw;
    const double eps2 = std::pow(10.0, ripple_db / 10) - 1;
    const double x = std::fabs(omega);
    const double t = x <= 1 ? std::cos(order * std::acos(x)) : std::cosh(order * std::acosh(x));
    return 1 / (1 + eps2 * t * t);
}

device_ptr make_ladder(const ladder_design_t& design) { return std::make_shared<ladder_device_t>(design); }

device_ptr make_device(std::string_view spec) {
    const std::string text = trim(spec);
    const std::string low = lower(text);
    if (ends_with(low, ".s1p") || ends_with(low, ".s2p")) return load_touchstone_device(text);
    std::vector<std::string> items;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        items.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    const std::string name = lower(trim(items.front()));
    items.erase(items.begin());
    const auto it = makers().find(name);
    if (it == makers().end()) throw std::invalid_argument("unknown device: " + name);
    parameters_t p(items);
    device_ptr device = it->second(p);
    p.finish(name);
    return device;
}

std::vector<std::string> device_names() {
    std::vector<std::string> names;
    for (const auto& m : makers()) names.push_back(m.first);
    return names;
}

}  // namespace zorsim::physics
