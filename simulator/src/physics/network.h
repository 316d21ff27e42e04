// Two-port quantities shared by the simulated analyzer's physics: the
// device, the test set, calibration and the time domain. No SCPI here:
// command handlers read from and write to the physics, never the reverse.
#pragma once

#include <complex>
#include <vector>

namespace zorsim::physics {

using complex_t = std::complex<double>;

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

}  // namespace zorsim::physics
