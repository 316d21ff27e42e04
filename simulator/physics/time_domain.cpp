#include "time_domain.h"

#include <unsupported/Eigen/FFT>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zorsim::physics {

namespace {

constexpr double speed_of_light = 299792458.0;

// exp(j 2 pi cycles), keeping only the fraction of the cycles: products
// like k^2 * step reach 1e10 cycles and would lose the phase otherwise.
complex_t turn(long double cycles) {
    const long double fraction = cycles - std::floor(cycles);
    return std::polar(1.0, 2.0 * pi * static_cast<double>(fraction));
}

// Modified Bessel function I0 by its power series (all terms positive, so
// summing to the last representable term is exact enough).
double bessel_i0(double x) {
    const double quarter_x2 = x * x / 4.0;
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 500; ++k) {
        term *= quarter_x2 / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

double grid_step(const std::vector<double>& frequency) {
    return frequency.size() < 2 ? 0.0 : (frequency.back() - frequency.front()) / static_cast<double>(frequency.size() - 1);
}

// The windowed coefficients and their normalisation for a transform.
struct weighted_t {
    std::vector<complex_t> coefficient;  // per frequency point
    complex_t dc{0.0};                   // low-pass only
    double scale = 1.0;                  // divides the sum
};

// Low-pass half window: a Kaiser of 2n+1 points centred on DC.
std::vector<double> half_window(std::size_t n, double beta) {
    const std::vector<double> full = kaiser_window(2 * n + 1, beta);
    return std::vector<double>(full.begin() + static_cast<std::ptrdiff_t>(n), full.end());  // [0] is DC
}

// Evaluates sum_k c[k] exp(j 2 pi f_k t) at the instants of the axis.
std::vector<complex_t> sum_over_axis(const std::vector<complex_t>& c, double f0, double df, double start, double dt,
                                     std::size_t points) {
    std::vector<complex_t> y = chirp_z(c, df * start, df * dt, points);
    for (std::size_t m = 0; m < points; ++m)
        y[m] *= turn(static_cast<long double>(f0) * (static_cast<long double>(start) + static_cast<long double>(dt) * m));
    return y;
}

}  // namespace

std::vector<double> kaiser_window(std::size_t n, double beta) {
    std::vector<double> w(n, 1.0);
    if (n < 2) return w;
    const double norm = bessel_i0(beta);
    for (std::size_t i = 0; i < n; ++i) {
        const double r = 2.0 * static_cast<double>(i) / static_cast<double>(n - 1) - 1.0;
        w[i] = bessel_i0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / norm;
    }
    return w;
}

std::vector<complex_t> chirp_z(const std::vector<complex_t>& a, double first, double step, std::size_t count) {
    const std::size_t n = a.size();
    if (n == 0 || count == 0) return std::vector<complex_t>(count, complex_t(0.0));
    std::size_t length = 1;
    while (length < n + count - 1) length *= 2;
    // k m = (k^2 + m^2 - (m - k)^2) / 2 turns the sum into a convolution
    // with the chirp exp(-j pi step n^2).
    auto chirp = [step](std::size_t i) {
        const long double k = static_cast<long double>(i);
        return turn(static_cast<long double>(step) * k * k / 2.0L);
    };
    std::vector<complex_t> u(length, complex_t(0.0)), v(length, complex_t(0.0));
    for (std::size_t k = 0; k < n; ++k)
        u[k] = a[k] * turn(static_cast<long double>(first) * static_cast<long double>(k)) * chirp(k);
    for (std::size_t i = 0; i < count; ++i) v[i] = std::conj(chirp(i));
    for (std::size_t i = 1; i < n; ++i) v[length - i] = std::conj(chirp(i));
    Eigen::FFT<double> fft;
    std::vector<complex_t> uf, vf, product(length), convolution;
    fft.fwd(uf, u);
    fft.fwd(vf, v);
    for (std::size_t i = 0; i < length; ++i) product[i] = uf[i] * vf[i];
    fft.inv(convolution, product);
    std::vector<complex_t> y(count);
    for (std::size_t m = 0; m < count; ++m) y[m] = convolution[m] * chirp(m);
    return y;
}

std::vector<double> time_axis(double start, double stop, std::size_t points) {
    std::vector<double> t(points, start);
    for (std::size_t m = 1; m < points; ++m)
        t[m] = start + (stop - start) * static_cast<double>(m) / static_cast<double>(points - 1);
    return t;
}

complex_t extrapolate_dc(const std::vector<double>& frequency, const std::vector<complex_t>& data) {
    if (data.empty()) return 0.0;
    if (data.size() < 2 || frequency[1] <= frequency[0]) return std::real(data[0]);
    const double f1 = frequency[0], f2 = frequency[1];
    const double m1 = std::abs(data[0]), m2 = std::abs(data[1]);
    const double p1 = std::arg(data[0]);
    double p2 = std::arg(data[1]);
    while (p2 - p1 > pi) p2 -= 2.0 * pi;
    while (p2 - p1 < -pi) p2 += 2.0 * pi;
    const double slope = f1 / (f2 - f1);
    const double magnitude = m1 - slope * (m2 - m1);
    const double phase = p1 - slope * (p2 - p1);
    return magnitude * std::cos(phase);
}

std::vector<complex_t> transform(transform_t kind, const std::vector<double>& frequency,
                                 const std::vector<complex_t>& data, double beta, double start, double stop,
                                 std::size_t points) {
    const std::size_t n = std::min(frequency.size(), data.size());
    if (n == 0 || points == 0) return std::vector<complex_t>(points, complex_t(0.0));
    const double df = grid_step(frequency);
    const double dt = points > 1 ? (stop - start) / static_cast<double>(points - 1) : 0.0;

    if (kind == transform_t::band_pass_impulse) {
        const std::vector<double> w = kaiser_window(n, beta);
        std::vector<complex_t> c(n);
        for (std::size_t k = 0; k < n; ++k) c[k] = w[k] * data[k];
        const double scale = std::accumulate(w.begin(), w.end(), 0.0);
        // Referred to the centre frequency, so the result's phase does not
        // spin with the carrier.
        const double centre = (frequency.front() + frequency[n - 1]) / 2.0;
        std::vector<complex_t> y = sum_over_axis(c, frequency.front() - centre, df, start, dt, points);
        for (auto& value : y) value /= scale;
        return y;
    }

    // Low-pass: the response is real, so negative frequencies are the
    // conjugates of the positive ones: h(t) = w0 X0 + 2 Re sum w_k X_k e^(j2pi f_k t).
    const std::vector<double> w = half_window(n, beta);
    const complex_t dc = extrapolate_dc(frequency, data);
    std::vector<complex_t> c(n);
    for (std::size_t k = 0; k < n; ++k) c[k] = w[k + 1] * data[k];
    std::vector<complex_t> y(points);
    if (kind == transform_t::low_pass_impulse) {
        const double scale = w[0] + 2.0 * std::accumulate(w.begin() + 1, w.end(), 0.0);
        const std::vector<complex_t> sum = sum_over_axis(c, frequency.front(), df, start, dt, points);
        for (std::size_t m = 0; m < points; ++m) y[m] = (w[0] * std::real(dc) + 2.0 * std::real(sum[m])) / scale;
        return y;
    }
    // Step: the integral of the impulse's Fourier series (period 1/df) from
    // half a period before zero, so it settles at w0 X0 = X0 once the
    // response has passed.
    const double period = df > 0.0 ? 1.0 / df : 0.0;
    const double from = -period / 2.0;
    for (std::size_t k = 0; k < n; ++k)
        c[k] = frequency[k] > 0.0 ? c[k] * df / complex_t(0.0, 2.0 * pi * frequency[k]) : complex_t(0.0);
    complex_t at_from{0.0};
    for (std::size_t k = 0; k < n; ++k) at_from += c[k] * turn(static_cast<long double>(frequency[k]) * from);
    const std::vector<complex_t> sum = sum_over_axis(c, frequency.front(), df, start, dt, points);
    for (std::size_t m = 0; m < points; ++m) {
        const double t = start + dt * static_cast<double>(m);
        y[m] = df * w[0] * std::real(dc) * (t - from) + 2.0 * std::real(sum[m] - at_from);
    }
    return y;
}

namespace {

// The impulse a flat response gives with this window on this grid, at any
// instant: the window's weights are computed once, the sum is direct (one
// cosine per point), so a width search over many instants stays cheap.
class flat_impulse_t {
public:
    flat_impulse_t(transform_t kind, double start, double stop, std::size_t points, double beta)
        : frequency_(time_axis(start, stop, points)) {
        if (kind == transform_t::band_pass_impulse) {
            // Symmetric about the centre: the envelope is a cosine sum.
            weight_ = kaiser_window(points, beta);
            const double centre = (start + stop) / 2.0;
            for (double& f : frequency_) f -= centre;
            scale_ = std::accumulate(weight_.begin(), weight_.end(), 0.0);
            return;
        }
        // Low-pass (the step integrates this impulse): DC and both sides.
        const std::vector<double> w = half_window(points, beta);
        dc_ = w[0];
        weight_.assign(w.begin() + 1, w.end());
        for (double& value : weight_) value *= 2.0;
        scale_ = dc_ + std::accumulate(weight_.begin(), weight_.end(), 0.0);
    }
    // Relative to the peak (at t = 0). The grid is uniform, so the phasor
    // turns by one fixed step per point; it is taken afresh every block of
    // points to keep rounding from building up.
    double operator()(double t) const {
        constexpr std::size_t block = 64;
        const std::size_t n = weight_.size();
        const double df = n > 1 ? (frequency_[n - 1] - frequency_[0]) / static_cast<double>(n - 1) : 0.0;
        const complex_t step = std::polar(1.0, 2.0 * pi * static_cast<double>(turn_fraction(df, t)));
        double sum = dc_;
        complex_t phasor;
        for (std::size_t k = 0; k < n; ++k) {
            if (k % block == 0) phasor = std::polar(1.0, 2.0 * pi * static_cast<double>(turn_fraction(frequency_[k], t)));
            sum += weight_[k] * phasor.real();
            phasor *= step;
        }
        return std::fabs(sum) / scale_;
    }

private:
    // f t in cycles, only its fraction (f t can be large against one).
    static long double turn_fraction(double f, double t) {
        const long double cycles = static_cast<long double>(f) * static_cast<long double>(t);
        return cycles - std::floor(cycles);
    }
    std::vector<double> frequency_;
    std::vector<double> weight_;
    double dc_ = 0.0;
    double scale_ = 1.0;
};

}  // namespace

double impulse_width(transform_t kind, double start, double stop, std::size_t points, double beta) {
    if (points < 2 || stop <= start) return 0.0;
    const double span = kind == transform_t::band_pass_impulse ? stop - start : stop;
    const flat_impulse_t impulse(kind, start, stop, points, beta);
    // Walk out from the peak to the first instant below half, then bisect.
    double low = 0.0, high = 0.1 / span;
    while (impulse(high) > 0.5 && high < 100.0 / span) {
        low = high;
        high += 0.1 / span;
    }
    for (int i = 0; i < 60; ++i) {
        const double middle = (low + high) / 2.0;
        (impulse(middle) > 0.5 ? low : high) = middle;
    }
    return low + high;  // twice the half width
}

double beta_for_width(transform_t kind, double start, double stop, std::size_t points, double width) {
    // The width rises smoothly with beta: regula falsi (Illinois variant)
    // inside the bracket reaches the last digit in a few steps.
    double low = 0.0, high = 13.0;
    double g_low = impulse_width(kind, start, stop, points, low) - width;
    double g_high = impulse_width(kind, start, stop, points, high) - width;
    if (g_low >= 0.0) return low;
    if (g_high <= 0.0) return high;
    int side = 0;
    for (int i = 0; i < 100 && high - low > 1e-15; ++i) {
        const double beta = (low * g_high - high * g_low) / (g_high - g_low);
        const double g = impulse_width(kind, start, stop, points, beta) - width;
        if (std::fabs(g) <= 1e-15 * width) return beta;  // as close as the width can be told
        if (g < 0.0) {
            low = beta;
            g_low = g;
            if (side == -1) g_high /= 2.0;
            side = -1;
        } else {
            high = beta;
            g_high = g;
            if (side == 1) g_low /= 2.0;
            side = 1;
        }
    }
    return (low + high) / 2.0;
}

double gate_weight(double t, double start, double stop, gate_shape_t shape, gate_type_t type) {
    // Edge length as a share of the gate's span: steepest to gentlest.
    static constexpr double edge_share[] = {0.02, 0.1, 0.2, 0.3};
    const double span = stop - start;
    double weight = 0.0;
    if (span > 0.0 && t >= start && t <= stop) {
        const double edge = edge_share[static_cast<int>(shape)] * span;
        const double inside = std::min(t - start, stop - t);
        weight = inside >= edge ? 1.0 : 0.5 - 0.5 * std::cos(pi * inside / edge);
    }
    return type == gate_type_t::notch ? 1.0 - weight : weight;
}

std::vector<complex_t> gate(const std::vector<double>& frequency, const std::vector<complex_t>& data, double start,
                            double stop, gate_shape_t shape, gate_type_t type) {
    const std::size_t n = std::min(frequency.size(), data.size());
    if (n < 2) return std::vector<complex_t>(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    const double df = grid_step(frequency);
    const double dt = 1.0 / (static_cast<double>(n) * df);
    // Samples of the time response over one period, from -period/2; the
    // carrier exp(j 2 pi f0 t) multiplies both ways and cancels.
    const std::vector<complex_t> samples(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<complex_t> response = chirp_z(samples, 0.0, 1.0 / static_cast<double>(n), n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = (i < (n + 1) / 2 ? static_cast<double>(i) : static_cast<double>(i) - static_cast<double>(n)) * dt;
        response[i] *= gate_weight(t, start, stop, shape, type) / static_cast<double>(n);
    }
    return chirp_z(response, 0.0, -1.0 / static_cast<double>(n), n);
}

double distance(double time, double velocity_factor, bool reflection) {
    return time * speed_of_light * velocity_factor * (reflection ? 0.5 : 1.0);
}

double travel_time(double distance, double velocity_factor, bool reflection) {
    return distance / (speed_of_light * velocity_factor) * (reflection ? 2.0 : 1.0);
}

}  // namespace zorsim::physics
