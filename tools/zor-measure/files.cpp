#include "files.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace zor_measure {

namespace {

struct prefix_t {
    char symbol;
    double factor;
};
constexpr prefix_t prefixes[] = {{'T', 1e12}, {'G', 1e9}, {'M', 1e6}, {'k', 1e3}, {'m', 1e-3}, {'u', 1e-6}, {'n', 1e-9}};

// "%.17g" reads back as the same double: the files hold what the driver read.
std::string exact(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = text.find(separator, at);
        pieces.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) return pieces;
        at = end + 1;
    }
}

std::ofstream open_for_writing(const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot write " + path);
    return file;
}

void finish(std::ofstream& file, const std::string& path) {
    file.flush();
    if (!file) throw std::runtime_error("writing " + path + " failed");
}

}  // namespace

double parse_engineering(const std::string& text) {
    std::string digits = text;
    double factor = 1;
    for (const auto& p : prefixes) {
        if (!digits.empty() && digits.back() == p.symbol) {
            factor = p.factor;
            digits.pop_back();
            break;
        }
    }
    char* end = nullptr;
    const double value = digits.empty() ? 0 : std::strtod(digits.c_str(), &end);
    if (digits.empty() || end != digits.c_str() + digits.size() || !std::isfinite(value))
        throw std::invalid_argument("not a number: '" + text + "'");
    return value * factor;
}

std::string engineering(double value, const std::string& unit, int digits) {
    const char* symbols[] = {"p", "n", "µ", "m", "", "k", "M", "G", "T"};
    int exponent = 0;
    if (value != 0 && std::isfinite(value)) {
        exponent = static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3)) * 3;
        exponent = std::max(-12, std::min(12, exponent));
    }
    const double scaled = value / std::pow(10.0, exponent);
    const int whole = scaled == 0 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(scaled)))) + 1;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s%s", std::max(0, digits - whole), scaled, symbols[exponent / 3 + 4],
                  unit.c_str());
    return text;
}

limit_segment_t parse_segment(const std::string& text) {
    const auto fields = split(text, ',');
    if (fields.size() != 4 && fields.size() != 5)
        throw std::invalid_argument("limit '" + text + "': expected upper|lower,START,STOP,DB[,DB_AT_STOP]");
    limit_segment_t s;
    if (fields[0] == "upper") {
        s.kind = limit_segment_t::upper;
    } else if (fields[0] == "lower") {
        s.kind = limit_segment_t::lower;
    } else {
        throw std::invalid_argument("limit '" + text + "': the type is upper or lower, not '" + fields[0] + "'");
    }
    s.start = parse_engineering(fields[1]);
    s.stop = parse_engineering(fields[2]);
    s.start_db = parse_engineering(fields[3]);
    s.stop_db = fields.size() == 5 ? parse_engineering(fields[4]) : s.start_db;
    if (!(s.stop > s.start)) throw std::invalid_argument("limit '" + text + "': the stop lies not above the start");
    return s;
}

std::vector<limit_segment_t> default_mask(double start, double stop) {
    const double center = (start + stop) / 2, half = (stop - start) * 0.025;
    return {{limit_segment_t::upper, start, stop, 0.5, 0.5},
            {limit_segment_t::lower, center - half, center + half, -10, -10}};
}

double magnitude_db(std::complex<double> value) { return 20 * std::log10(std::max(std::abs(value), 1e-15)); }
double phase_degrees(std::complex<double> value) { return std::arg(value) * 180 / 3.14159265358979323846; }

void write_touchstone(const std::string& path, const measurement_t& m, touchstone_format_t format) {
    const char* order[] = {"S11", "S21", "S12", "S22"};
    const trace_data_t* traces[4];
    for (int i = 0; i < 4; ++i) {
        traces[i] = m.trace(order[i]);
        if (traces[i] == nullptr) throw std::runtime_error("a Touchstone two-port file needs " + std::string(order[i]));
    }
    std::ofstream file = open_for_writing(path);
    file << "! Two-port S-parameters measured by zor-measure\n";
    file << "! Analyzer: " << m.identity << "\n";
    const bool ri = format == touchstone_format_t::real_imaginary;
    file << (ri ? "# Hz S RI R 50\n" : "# Hz S DB R 50\n");
    for (std::size_t p = 0; p < m.frequency.size(); ++p) {
        file << exact(m.frequency[p]);
        for (const auto* t : traces) {
            const std::complex<double> v = t->values[p];
            if (ri) {
                file << ' ' << exact(v.real()) << ' ' << exact(v.imag());
            } else {
                file << ' ' << exact(magnitude_db(v)) << ' ' << exact(phase_degrees(v));
            }
        }
        file << '\n';
    }
    finish(file, path);
}

void write_csv(const std::string& path, const measurement_t& m) {
    std::ofstream file = open_for_writing(path);
    file << "frequency_hz";
    for (const auto& t : m.traces)
        file << ',' << t.parameter << "_re," << t.parameter << "_im," << t.parameter << "_db," << t.parameter
             << "_deg";
    file << '\n';
    for (std::size_t p = 0; p < m.frequency.size(); ++p) {
        file << exact(m.frequency[p]);
        for (const auto& t : m.traces) {
            const std::complex<double> v = t.values[p];
            file << ',' << exact(v.real()) << ',' << exact(v.imag()) << ',' << exact(magnitude_db(v)) << ','
                 << exact(phase_degrees(v));
        }
        file << '\n';
    }
    finish(file, path);
}

}  // namespace zor_measure
