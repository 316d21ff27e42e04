#include "chain.h"

#include <algorithm>
#include <cmath>

namespace zorsim::physics {

namespace {

// A small, fast and portable generator: the same seed gives the same noise
// on every platform (the standard distributions do not promise that).
class noise_source_t {
public:
    explicit noise_source_t(std::uint64_t seed) : state_(seed) {}
    // A complex Gaussian with standard deviation `sigma` in each part.
    complex_t next(double sigma) {
        const double u1 = (static_cast<double>(bits() >> 11) + 0.5) * 0x1.0p-53;
        const double u2 = static_cast<double>(bits() >> 11) * 0x1.0p-53;
        const double r = sigma * std::sqrt(-2 * std::log(u1));
        return {r * std::cos(2 * pi * u2), r * std::sin(2 * pi * u2)};
    }

private:
    std::uint64_t bits() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

constexpr double step_settling = 5e-6;  // s per point: the synthesizer's step

}  // namespace

// ---------------------------------------------------------------- stimulus

namespace {
bool segmented(const stimulus_t& s) { return s.type == sweep_type_t::segment && !s.segments.empty(); }
}  // namespace

std::size_t point_count(const stimulus_t& s) {
    if (!segmented(s)) return static_cast<std::size_t>(std::max(s.points, 1));
    std::size_t n = 0;
    for (const auto& seg : s.segments) n += static_cast<std::size_t>(std::max(seg.points, 1));
    return n;
}

double point_if_bandwidth(const stimulus_t& s, std::size_t k) {
    if (!segmented(s)) return s.if_bandwidth;
    for (const auto& seg : s.segments) {
        const auto n = static_cast<std::size_t>(std::max(seg.points, 1));
        if (k < n) return seg.if_bandwidth > 0 ? seg.if_bandwidth : s.if_bandwidth;
        k -= n;
    }
    return s.if_bandwidth;
}

std::vector<double> frequencies(const stimulus_t& s) {
    std::vector<double> f;
    if (segmented(s)) {
        f.reserve(point_count(s));
        for (const auto& seg : s.segments) {
            const int n = std::max(seg.points, 1);
            for (int k = 0; k < n; ++k)
                f.push_back(n < 2 ? seg.start : seg.start + (seg.stop - seg.start) * k / (n - 1));
        }
        return f;
    }
    const auto n = static_cast<std::size_t>(std::max(s.points, 1));
    f.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double t = n < 2 ? 0.0 : static_cast<double>(k) / static_cast<double>(n - 1);
        switch (s.type) {
        case sweep_type_t::logarithmic: f[k] = s.start * std::pow(s.stop / s.start, t); break;
        case sweep_type_t::power:
        case sweep_type_t::cw_time: f[k] = s.cw; break;
        default: f[k] = s.start + (s.stop - s.start) * t;
        }
    }
    if (s.type == sweep_type_t::linear || s.type == sweep_type_t::logarithmic) f.back() = s.stop;
    return f;
}

double point_power(const stimulus_t& s, std::size_t k, std::size_t n) {
    if (s.type != sweep_type_t::power) return s.power;
    return n < 2 ? s.power_start
                 : s.power_start + (s.power_stop - s.power_start) * static_cast<double>(k) / static_cast<double>(n - 1);
}

double sweep_time(const stimulus_t& s, int averages_per_point) {
    if (s.fixed_time >= 0) return s.fixed_time;
    const double averages = std::max(averages_per_point, 1);
    if (!segmented(s))
        return static_cast<double>(point_count(s)) * (averages / s.if_bandwidth + step_settling) + s.sweep_delay;
    double t = s.sweep_delay;
    for (const auto& seg : s.segments) {
        const double bandwidth = seg.if_bandwidth > 0 ? seg.if_bandwidth : s.if_bandwidth;
        t += std::max(seg.points, 1) * (averages / bandwidth + step_settling);
    }
    return t;
}

std::vector<double> x_axis(const stimulus_t& s, int averages_per_point) {
    if (s.type == sweep_type_t::power) {
        const auto n = static_cast<std::size_t>(std::max(s.points, 1));
        std::vector<double> x(n);
        for (std::size_t k = 0; k < n; ++k) x[k] = point_power(s, k, n);
        return x;
    }
    if (s.type == sweep_type_t::cw_time) {
        const auto n = static_cast<std::size_t>(std::max(s.points, 1));
        const double span = s.fixed_time >= 0 ? s.fixed_time : sweep_time(s, averages_per_point) - s.sweep_delay;
        const double step = n < 2 ? 0 : span / static_cast<double>(n - 1);
        std::vector<double> x(n);
        for (std::size_t k = 0; k < n; ++k) x[k] = step * static_cast<double>(k);
        return x;
    }
    return frequencies(s);
}

// ---------------------------------------------------------------- stage (a), (b)

double noise_sigma(double if_bandwidth, double power_dbm, int averages) {
    const double floor_db = -120 + 10 * std::log10(std::max(if_bandwidth, 1.0) / 10) - power_dbm;
    return std::pow(10.0, floor_db / 20) / std::sqrt(2.0) / std::sqrt(static_cast<double>(std::max(averages, 1)));
}

sweep_data_t measure_raw(const device_t& device, const stimulus_t& s, const receiver_t& r,
                         const chain_stages_t& stages) {
    sweep_data_t data = device.sweep(frequencies(s));
    if (stages.test_set) stages.test_set(data);
    if (r.noise) {
        noise_source_t source(r.seed);
        const std::size_t n = data.s.size();
        const bool varies = s.type == sweep_type_t::power || segmented(s);
        double sigma = noise_sigma(s.if_bandwidth, s.power, r.averages);
        for (std::size_t k = 0; k < n; ++k) {
            if (varies) sigma = noise_sigma(point_if_bandwidth(s, k), point_power(s, k, n), r.averages);
            sparams_t& p = data.s[k];
            p.s11 += source.next(sigma);
            p.s21 += source.next(sigma);
            p.s12 += source.next(sigma);
            p.s22 += source.next(sigma);
        }
    }
    return data;
}

sweep_data_t correct(sweep_data_t raw, const chain_stages_t& stages) {
    if (stages.correction) stages.correction(raw);
    return raw;
}

// ---------------------------------------------------------------- trace

std::vector<complex_t> parameter(const sweep_data_t& corrected, int row, int column) {
    std::vector<complex_t> out(corrected.s.size());
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = element(corrected.s[k], row, column);
    return out;
}

void apply_trace(std::vector<complex_t>& data, const std::vector<complex_t>& memory,
                 const std::vector<double>& frequency, const trace_settings_t& t) {
    const std::size_t n = data.size();
    if (t.math != math_t::normal && memory.size() == n) {
        for (std::size_t k = 0; k < n; ++k) {
            switch (t.math) {
            case math_t::add: data[k] += memory[k]; break;
            case math_t::subtract: data[k] -= memory[k]; break;
            case math_t::multiply: data[k] *= memory[k]; break;
            case math_t::divide: data[k] /= memory[k]; break;
            default: break;
            }
        }
    }
    // A port extension moves the reference plane out by its delay: a
    // reflection sees it twice, a transmission once per port.
    const double extension = t.port_extension[t.row - 1] + t.port_extension[t.column - 1];
    const double delay = t.electrical_delay + extension;
    const bool any = delay != 0 || t.phase_offset != 0 || t.magnitude_offset != 0 || t.magnitude_slope != 0;
    if (!any || frequency.size() != n) return;
    for (std::size_t k = 0; k < n; ++k) {
        const double f = frequency[k];
        const double gain_db = t.magnitude_offset + t.magnitude_slope * f / 1e9;
        const double turn = 2 * pi * f * delay + t.phase_offset * pi / 180;
        data[k] *= std::polar(std::pow(10.0, gain_db / 20), turn);
    }
}

// ---------------------------------------------------------------- format

namespace {

// A zero magnitude (a perfect match, noise off) reads -2000 dB, not minus infinity.
double decibels(double magnitude) { return 20 * std::log10(std::max(magnitude, 1e-100)); }
constexpr double degrees_per_radian = 180 / pi;

}  // namespace

void format_data(const std::vector<complex_t>& data, const std::vector<double>& frequency, format_t format,
                 std::vector<double>& out, std::size_t gd_aperture) {
    const std::size_t n = data.size();
    out.assign(2 * n, 0.0);
    if (format == format_t::uphase || format == format_t::gdelay) {
        // Unwrapped phase (radians) into the first values.
        double previous = 0, unwrapped = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double p = std::arg(data[k]);
            if (k == 0) {
                unwrapped = p;
            } else {
                double step = p - previous;
                step -= 2 * pi * std::floor((step + pi) / (2 * pi));
                unwrapped += step;
            }
            previous = p;
            out[2 * k] = unwrapped;
        }
        if (format == format_t::uphase) {
            for (std::size_t k = 0; k < n; ++k) out[2 * k] *= degrees_per_radian;
            return;
        }
        // Group delay over an aperture centred on each point (one-sided at
        // the ends); the unwrapped phase is read before it is overwritten.
        const std::size_t half = std::max<std::size_t>(gd_aperture, 2) / 2;
        std::vector<double> phase(n);
        for (std::size_t k = 0; k < n; ++k) phase[k] = out[2 * k];
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t lo = k >= half ? k - half : 0;
            const std::size_t hi = std::min(n - 1, k + half);
            const double df = frequency.size() == n ? frequency[hi] - frequency[lo] : 0;
            out[2 * k] = df == 0 ? 0 : -(phase[hi] - phase[lo]) / (2 * pi * df);
        }
        return;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const complex_t s = data[k];
        double a = 0, b = 0;
        switch (format) {
        case format_t::mlog: a = decibels(std::abs(s)); break;
        case format_t::mlin: a = std::abs(s); break;
        case format_t::phase: a = std::arg(s) * degrees_per_radian; break;
        case format_t::pphase: {
            a = std::arg(s) * degrees_per_radian;
            if (a < 0) a += 360;
            break;
        }
        case format_t::swr: {
            const double m = std::abs(s);
            a = m < 1 ? (1 + m) / (1 - m) : HUGE_VAL;
            break;
        }
        case format_t::real: a = s.real(); break;
        case format_t::imag: a = s.imag(); break;
        case format_t::slin:
        case format_t::plin:
            a = std::abs(s);
            b = std::arg(s) * degrees_per_radian;
            break;
        case format_t::slog:
        case format_t::plog:
            a = decibels(std::abs(s));
            b = std::arg(s) * degrees_per_radian;
            break;
        default:  // Smith (impedance, admittance, complex) and polar: the complex value
            a = s.real();
            b = s.imag();
        }
        out[2 * k] = a;
        out[2 * k + 1] = b;
    }
}

void smooth(std::vector<double>& formatted, double aperture_percent) {
    const std::size_t n = formatted.size() / 2;
    if (n < 3) return;
    const auto half = static_cast<std::size_t>(std::lround(aperture_percent / 100 * static_cast<double>(n - 1) / 2));
    if (half == 0) return;
    for (std::size_t part = 0; part < 2; ++part) {
        std::vector<double> sum(n + 1, 0.0);  // prefix sums
        for (std::size_t k = 0; k < n; ++k) sum[k + 1] = sum[k] + formatted[2 * k + part];
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t lo = k >= half ? k - half : 0;
            const std::size_t hi = std::min(n - 1, k + half);
            formatted[2 * k + part] = (sum[hi + 1] - sum[lo]) / static_cast<double>(hi - lo + 1);
        }
    }
}

}  // namespace zorsim::physics
