// Two-port quantities shared by the simulated analyzer's physics: the
// device, the test set, calibration and the time domain. No SCPI here:
// command handlers read from and write to the physics, never the reverse.
#pragma once

#include <complex>
#include <vector>

namespace zorsim::physics {

using complex_t = std::complex<double>;

constexpr double pi = 3.14159265358979323846;

// Reference impedance of the analyzer's ports, ohms.
constexpr double reference_impedance = 50.0;

// S-parameters of a two-port at one frequency.
struct sparams_t {
    complex_t s11, s21, s12, s22;
};

// A frequency grid (Hz, ascending) and the two-port's S-parameters on it.
struct sweep_data_t {
    std::vector<double> frequency;
    std::vector<sparams_t> s;
};

// The chain matrix of a two-port: (V1, I1) = [[a, b], [c, d]] (V2, -I2).
// Its determinant is carried along rather than computed from a*d - b*c,
// which cancels catastrophically where a filter reflects almost everything
// (1 for every reciprocal element, so a reciprocal cascade stays exactly so).
struct abcd_t {
    complex_t a{1.0}, b{0.0}, c{0.0}, d{1.0};
    complex_t det{1.0};
};

inline abcd_t operator*(const abcd_t& x, const abcd_t& y) {
    return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c, x.c * y.b + x.d * y.d,
            x.det * y.det};
}

inline abcd_t series_impedance(complex_t z) { return {1.0, z, 0.0, 1.0, 1.0}; }
inline abcd_t shunt_admittance(complex_t y) { return {1.0, 0.0, y, 1.0, 1.0}; }

// S-parameters of a chain matrix between two ports of impedance z0.
inline sparams_t to_sparams(const abcd_t& m, double z0 = reference_impedance) {
    const complex_t bz = m.b / z0, cz = m.c * z0;
    const complex_t den = m.a + bz + cz + m.d;
    return {(m.a + bz - cz - m.d) / den, 2.0 / den, 2.0 * m.det / den, (-m.a + bz - cz + m.d) / den};
}

// The S-parameter selected by its row and column (1 or 2).
inline const complex_t& element(const sparams_t& s, int row, int column) {
    if (row == 1) return column == 1 ? s.s11 : s.s12;
    return column == 1 ? s.s21 : s.s22;
}

}  // namespace zorsim::physics
