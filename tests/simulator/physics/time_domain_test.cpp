// The time-domain physics against closed forms: the chirp-z transform, the
// low-pass impulse and step of lines, impulse widths and gating.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

#include <simulator/physics/time_domain.h>

namespace zorsim::physics {
namespace {

const complex_t j{0.0, 1.0};

// A harmonic grid: n points, every one a multiple of `first`.
std::vector<double> harmonic_grid(double first, std::size_t n) {
    return time_axis(first, first * static_cast<double>(n), n);
}

std::vector<complex_t> line(const std::vector<double>& f, complex_t at_dc, double delay) {
    std::vector<complex_t> x;
    for (double fk : f) x.push_back(at_dc * std::exp(-2.0 * pi * j * fk * delay));
    return x;
}

TEST(TimeDomain, ChirpZEqualsTheDirectSum) {
    std::mt19937_64 generator(5);
    std::vector<complex_t> a(37);
    for (auto& value : a) value = {static_cast<double>(generator() % 1000) / 500.0 - 1.0, static_cast<double>(generator() % 1000) / 500.0 - 1.0};
    for (const auto& [first, step, count] : {std::tuple{0.0, 1.0 / 37, 37}, {0.13, -0.0071, 53}, {-2.7, 0.31, 5}}) {
        const std::vector<complex_t> y = chirp_z(a, first, step, static_cast<std::size_t>(count));
        ASSERT_EQ(y.size(), static_cast<std::size_t>(count));
        for (int m = 0; m < count; ++m) {
            complex_t direct = 0.0;
            for (std::size_t k = 0; k < a.size(); ++k) direct += a[k] * std::exp(2.0 * pi * j * static_cast<double>(k) * (first + m * step));
            EXPECT_LT(std::abs(y[static_cast<std::size_t>(m)] - direct), 1e-9) << first << " " << m;
        }
    }
}

TEST(TimeDomain, LowPassImpulseOfALinePeaksAtItsDelay) {
    const std::vector<double> f = harmonic_grid(10e6, 201);
    const double delay = 1.234e-9, start = -1e-9, stop = 5e-9;
    const std::size_t points = 1001;
    const double step = (stop - start) / (points - 1);
    for (double beta : {0.0, 6.0, 13.0}) {
        const auto h = transform(transform_t::low_pass_impulse, f, line(f, 1.0, delay), beta, start, stop, points);
        const auto peak = std::max_element(h.begin(), h.end(), [](complex_t a, complex_t b) { return a.real() < b.real(); });
        const double at = start + step * static_cast<double>(peak - h.begin());
        EXPECT_LE(std::abs(at - delay), step) << beta;
        EXPECT_NEAR(peak->real(), 1.0, 1e-3) << beta;
        EXPECT_EQ(peak->imag(), 0.0);
    }
}

TEST(TimeDomain, StepOfAShortAtTheEndOfALineSettlesAtMinusOne) {
    const std::vector<double> f = harmonic_grid(20e6, 300);
    const double delay = 2e-9;  // one way: the short shows at twice this
    const auto s = transform(transform_t::low_pass_step, f, line(f, -1.0, 2 * delay), 6.0, 0.0, 10e-9, 501);
    for (std::size_t m = 0; m < s.size(); ++m) {
        const double t = 10e-9 * static_cast<double>(m) / 500.0;
        if (t < 3.5e-9) {
            EXPECT_NEAR(s[m].real(), 0.0, 1e-2) << t;
        }
        if (t > 4.5e-9) {
            EXPECT_NEAR(s[m].real(), -1.0, 1e-2) << t;
        }
    }
    // The DC value the step settles at comes from the lowest points.
    EXPECT_NEAR(extrapolate_dc(f, line(f, -1.0, 2 * delay)).real(), -1.0, 1e-3);
}

TEST(TimeDomain, ImpulseWidthFollowsTheWindow) {
    // Rectangular window: a sinc, half maximum at 0.6033 / (two-sided span).
    struct row_t {
        transform_t kind;
        double start, stop, want;
    } rows[] = {
        {transform_t::low_pass_impulse, 10e6, 4e9, 0.6033 / 4e9},
        {transform_t::band_pass_impulse, 3e9, 6e9, 1.2067 / 3e9},
    };
    for (const auto& row : rows) {
        const double rectangular = impulse_width(row.kind, row.start, row.stop, 401, 0.0);
        EXPECT_NEAR(rectangular / row.want, 1.0, 0.01);
        const double wide = impulse_width(row.kind, row.start, row.stop, 401, 6.0);
        EXPECT_GT(wide, 1.3 * rectangular);
        EXPECT_NEAR(beta_for_width(row.kind, row.start, row.stop, 401, wide), 6.0, 1e-3);
        // The width is that of the transform's own impulse: count the
        // instants of a fine axis where a flat response is above half.
        const std::vector<double> f = time_axis(row.start, row.stop, 401);
        const std::size_t points = 2001;
        const double step = 4 * wide / (points - 1);
        const auto h = transform(row.kind, f, std::vector<complex_t>(f.size(), 1.0), 6.0, -2 * wide, 2 * wide, points);
        const auto above = std::count_if(h.begin(), h.end(), [](complex_t v) { return std::abs(v) > 0.5; });
        EXPECT_NEAR(static_cast<double>(above) * step, wide, 1.5 * step);
    }
}

// A third-order Butterworth band-pass at 4.5 GHz (20 % wide) behind a
// delay, and a small echo well after it.
std::vector<complex_t> filter_with_echo(const std::vector<double>& f) {
    std::vector<complex_t> x;
    for (double fk : f) {
        const double f0 = 4.5e9, bandwidth = 0.2;
        const complex_t p = j * (fk / f0 - f0 / fk) / bandwidth;
        const complex_t h = 1.0 / (((p + 2.0) * p + 2.0) * p + 1.0);
        x.push_back(h * std::exp(-2.0 * pi * j * fk * 3e-9) + 0.05 * std::exp(-2.0 * pi * j * fk * 40e-9));
    }
    return x;
}

TEST(TimeDomain, GateAroundTheMainResponseKeepsThePassband) {
    const std::vector<double> f = time_axis(2e9, 7e9, 801);
    const std::vector<complex_t> data = filter_with_echo(f);
    const auto kept = gate(f, data, -2e-9, 20e-9, gate_shape_t::normal, gate_type_t::band_pass);
    const auto removed = gate(f, data, -2e-9, 20e-9, gate_shape_t::normal, gate_type_t::notch);
    double passband_error = 0.0, echo = 0.0;
    int passband_points = 0;
    for (std::size_t k = 0; k < f.size(); ++k) {
        const complex_t clean = data[k] - 0.05 * std::exp(-2.0 * pi * j * f[k] * 40e-9);
        if (std::abs(f[k] - 4.5e9) < 0.3e9) {
            ++passband_points;
            passband_error = std::max(passband_error, std::abs(20 * std::log10(std::abs(kept[k]) / std::abs(clean))));
        }
        echo = std::max(echo, std::abs(kept[k] - clean));
        EXPECT_LT(std::abs(kept[k] + removed[k] - data[k]), 1e-9);  // gate and notch split the data
    }
    EXPECT_GT(passband_points, 50);
    EXPECT_LT(passband_error, 0.1);
    EXPECT_LT(echo, 0.02);  // the echo (0.05) is gone
}

TEST(TimeDomain, GateShapesAndDistances) {
    // Steeper shapes reach full weight nearer the gate's edge.
    double previous = 2.0;
    for (auto shape : {gate_shape_t::minimum, gate_shape_t::normal, gate_shape_t::wide, gate_shape_t::maximum}) {
        const double near_edge = gate_weight(0.05e-9, 0.0, 1e-9, shape, gate_type_t::band_pass);
        EXPECT_LT(near_edge, previous);
        previous = near_edge;
        EXPECT_EQ(gate_weight(0.5e-9, 0.0, 1e-9, shape, gate_type_t::band_pass), 1.0);
        EXPECT_EQ(gate_weight(1.5e-9, 0.0, 1e-9, shape, gate_type_t::band_pass), 0.0);
        EXPECT_EQ(gate_weight(0.5e-9, 0.0, 1e-9, shape, gate_type_t::notch), 0.0);
    }
    EXPECT_NEAR(distance(1e-9, 0.66, true), 0.0989316, 1e-6);
    EXPECT_NEAR(distance(1e-9, 1.0, false), 0.299792458, 1e-12);
}

}  // namespace
}  // namespace zorsim::physics
