// A channel's calibration as the instrument keeps it: the standards
// measured so far, the calibration in use (solved or written), the method
// the next save solves, and the error terms being written by hand.
#pragma once

#include <simulator/physics/sweep_calibration.h>

#include <cstdint>
#include <vector>

namespace zorsim {

struct channel_calibration_t : physics::sweep_calibration_t {
    physics::measured_standards_t standards;
    std::uint64_t generation = 0;  // counts calibrations saved
    // The method the next save solves, and its port.
    physics::cal_method_t chosen = physics::cal_method_t::two_port;
    int chosen_port = 1;
    // Terms being written by hand, on `coefficient_frequency`.
    std::vector<double> coefficient_frequency;
    std::vector<physics::error_terms_t> coefficients;
};

}  // namespace zorsim
