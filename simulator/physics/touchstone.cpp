#include "touchstone.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zorsim::physics {

namespace {

constexpr std::size_t max_file_bytes = 256u << 20;

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == ',')) ++i;
        const std::size_t b = i;
        while (i < line.size() && !(line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == ',')) ++i;
        if (i > b) out.push_back(line.substr(b, i - b));
    }
    return out;
}

bool to_number(std::string_view w, double& v) {
    const char* b = w.data();
    const char* e = b + w.size();
    if (b != e && *b == '+') ++b;
    const auto [p, ec] = std::from_chars(b, e, v);
    return ec == std::errc() && p == e && std::isfinite(v);
}

// 2x2 complex matrices for renormalization.
struct m2_t {
    complex_t a, b, c, d;
};
m2_t mul(const m2_t& x, const m2_t& y) {
    return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c, x.c * y.b + x.d * y.d};
}
m2_t inverse(const m2_t& m) {
    const complex_t det = m.a * m.d - m.b * m.c;
    return {m.d / det, -m.b / det, -m.c / det, m.a / det};
}

// S referred to `r` ohms, referred to 50 ohms instead.
sparams_t renormalized(const sparams_t& s, double r) {
    const m2_t sm{s.s11, s.s12, s.s21, s.s22};
    const m2_t ip{1.0 + sm.a, sm.b, sm.c, 1.0 + sm.d}, im{1.0 - sm.a, -sm.b, -sm.c, 1.0 - sm.d};
    m2_t z = mul(ip, inverse(im));
    z = {z.a * r, z.b * r, z.c * r, z.d * r};
    const double z0 = reference_impedance;
    const m2_t zm{z.a - z0, z.b, z.c, z.d - z0}, zp{z.a + z0, z.b, z.c, z.d + z0};
    const m2_t out = mul(zm, inverse(zp));
    return {out.a, out.c, out.b, out.d};
}

class table_device_t : public device_t {
public:
    table_device_t(sweep_data_t data, std::string description)
        : data_(std::move(data)), description_(std::move(description)) {}

    sparams_t at(double f) const override {
        const auto& x = data_.frequency;
        if (f <= x.front()) return data_.s.front();
        if (f >= x.back()) return data_.s.back();
        const std::size_t hi = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), f) - x.begin());
        const std::size_t lo = hi - 1;
        const double t = (f - x[lo]) / (x[hi] - x[lo]);
        const sparams_t& a = data_.s[lo];
        const sparams_t& b = data_.s[hi];
        auto mix = [t](complex_t u, complex_t v) { return u + t * (v - u); };
        return {mix(a.s11, b.s11), mix(a.s21, b.s21), mix(a.s12, b.s12), mix(a.s22, b.s22)};
    }
    std::string description() const override { return description_; }
    // A measured file may hold anything, gain included.
    bool passive() const override { return false; }

private:
    sweep_data_t data_;
    std::string description_;
};

}  // namespace

sweep_data_t parse_touchstone(std::string_view text, int ports) {
    if (ports != 1 && ports != 2) throw std::invalid_argument("Touchstone: only 1 and 2 ports");
    double unit = 1e9;
    touchstone_format_t format = touchstone_format_t::ma;
    double r = reference_impedance;
    bool options_seen = false;
    const std::size_t per_point = ports == 1 ? 3 : 9;
    std::vector<double> numbers;
    std::vector<std::size_t> line_of;  // for messages
    std::size_t line_number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        const std::size_t bang = line.find('!');
        if (bang != std::string_view::npos) line = line.substr(0, bang);
        const auto w = words(line);
        if (w.empty()) continue;
        if (w[0][0] == '#') {
            // Only the first option line counts; later ones are ignored.
            if (options_seen) continue;
            options_seen = true;
            std::vector<std::string> opts;
            if (w[0].size() > 1) opts.push_back(upper(w[0].substr(1)));
            for (std::size_t i = 1; i < w.size(); ++i) opts.push_back(upper(w[i]));
            for (std::size_t i = 0; i < opts.size(); ++i) {
                const std::string& o = opts[i];
                if (o == "HZ") unit = 1;
                else if (o == "KHZ") unit = 1e3;
                else if (o == "MHZ") unit = 1e6;
                else if (o == "GHZ") unit = 1e9;
                else if (o == "MA") format = touchstone_format_t::ma;
                else if (o == "DB") format = touchstone_format_t::db;
                else if (o == "RI") format = touchstone_format_t::ri;
                else if (o == "S") continue;
                else if (o == "R" && i + 1 < opts.size() && to_number(opts[i + 1], r) && r > 0) ++i;
                else throw std::invalid_argument("Touchstone line " + std::to_string(line_number) +
                                                 ": option " + o + " not supported");
            }
            continue;
        }
        for (auto word : w) {
            double v = 0;
            if (!to_number(word, v))
                throw std::invalid_argument("Touchstone line " + std::to_string(line_number) + ": not a number: " +
                                            std::string(word));
            numbers.push_back(v);
            line_of.push_back(line_number);
        }
    }
    if (numbers.empty() || numbers.size() % per_point != 0)
        throw std::invalid_argument("Touchstone: " + std::to_string(numbers.size()) + " numbers, not a whole number of " +
                                    std::to_string(per_point) + "-value points");
    sweep_data_t data;
    const std::size_t n = numbers.size() / per_point;
    data.frequency.resize(n);
    data.s.resize(n);
    auto pair = [format](double x, double y) {
        switch (format) {
        case touchstone_format_t::ri: return complex_t(x, y);
        case touchstone_format_t::db: return std::polar(std::pow(10.0, x / 20), y * pi / 180);
        default: return std::polar(x, y * pi / 180);
        }
    };
    for (std::size_t k = 0; k < n; ++k) {
        const double* v = &numbers[k * per_point];
        const double f = v[0] * unit;
        if (k > 0 && !(f > data.frequency[k - 1]))
            throw std::invalid_argument("Touchstone line " + std::to_string(line_of[k * per_point]) +
                                        ": frequencies must rise");
        data.frequency[k] = f;
        sparams_t s;
        if (ports == 1) {
            s.s11 = s.s22 = pair(v[1], v[2]);
        } else {
            // Two-port order in the file: S11 S21 S12 S22.
            s = {pair(v[1], v[2]), pair(v[3], v[4]), pair(v[5], v[6]), pair(v[7], v[8])};
        }
        if (r != reference_impedance) {
            if (ports == 1) {
                const complex_t z = r * (1.0 + s.s11) / (1.0 - s.s11);
                s.s11 = s.s22 = (z - reference_impedance) / (z + reference_impedance);
            } else {
                s = renormalized(s, r);
            }
        }
        data.s[k] = s;
    }
    return data;
}

std::string write_touchstone(const sweep_data_t& data, int ports, touchstone_format_t format) {
    static const char* const names[] = {"MA", "DB", "RI"};
    std::string out = "! written by the simulated analyzer\n# HZ S ";
    out += names[static_cast<int>(format)];
    out += " R 50\n";
    char buf[64];
    auto put = [&](double v) {
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, r.ptr);
        out += ' ';
    };
    auto put_pair = [&](complex_t c) {
        if (format == touchstone_format_t::ri) {
            put(c.real());
            put(c.imag());
        } else {
            put(format == touchstone_format_t::db ? 20 * std::log10(std::abs(c)) : std::abs(c));
            put(std::arg(c) * 180 / pi);
        }
    };
    for (std::size_t k = 0; k < data.frequency.size(); ++k) {
        put(data.frequency[k]);
        const sparams_t& s = data.s[k];
        put_pair(s.s11);
        if (ports == 2) {
            put_pair(s.s21);
            put_pair(s.s12);
            put_pair(s.s22);
        }
        out.back() = '\n';
    }
    return out;
}

device_ptr make_table_device(sweep_data_t data, std::string description) {
    if (data.frequency.empty() || data.frequency.size() != data.s.size())
        throw std::invalid_argument("device table without points");
    return std::make_shared<table_device_t>(std::move(data), std::move(description));
}

device_ptr load_touchstone_device(const std::string& path) {
    const std::string low = upper(path);
    const int ports = low.size() >= 4 && low.compare(low.size() - 4, 4, ".S1P") == 0 ? 1 : 2;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::invalid_argument("cannot open " + path);
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > max_file_bytes) throw std::invalid_argument(path + " is too large");
    }
    return make_table_device(parse_touchstone(text, ports), path);
}

}  // namespace zorsim::physics
