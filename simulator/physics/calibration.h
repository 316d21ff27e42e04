// The test set's systematic errors and their calibration: the twelve-term
// model of a two-port analyzer, the raw data it makes of a device, and the
// error terms solved back from measured standards.
#pragma once

#include <cstdint>
#include <vector>

#include "cal_kit.h"
#include "network.h"

namespace zorsim::physics {

// The twelve error terms at one frequency. Forward = port 1 drives:
// directivity, source match and reflection tracking of port 1, load match
// of port 2, transmission tracking and isolation port 1 -> 2. Reverse is
// the same with the ports swapped.
struct error_terms_t {
    complex_t directivity_f{0.0}, source_match_f{0.0}, reflection_tracking_f{1.0};
    complex_t load_match_f{0.0}, transmission_tracking_f{1.0}, isolation_f{0.0};
    complex_t directivity_r{0.0}, source_match_r{0.0}, reflection_tracking_r{1.0};
    complex_t load_match_r{0.0}, transmission_tracking_r{1.0}, isolation_r{0.0};
};

// What the uncorrected receivers report for a device of true S-parameters
// `s` seen through the error terms `e`.
sparams_t raw_from_true(const error_terms_t& e, const sparams_t& s);

// An analyzer's test set: error terms smooth over frequency (cable delays,
// slow ripple of the couplers' directivity and match), fixed by a seed so
// an analyzer keeps its own.
class test_set_t {
public:
    explicit test_set_t(std::uint64_t seed);
    error_terms_t at(double frequency) const;

private:
    struct term_t {
        double magnitude, ripple, ripple_period, phase, delay;
        complex_t at(double frequency) const;
    };
    term_t terms_[12];
};

enum class cal_method_t { none, response_open, response_short, response_thru, one_port, two_port };

// A calibration at one frequency: the method, the port it covers (1 or 2,
// for the reflection methods) and its error terms. Terms the method does
// not solve keep the identity values of error_terms_t.
struct calibration_point_t {
    cal_method_t method = cal_method_t::none;
    int port = 1;
    error_terms_t terms;
};

// Raw measurements of the standards at one frequency. Reflection standards
// per port (index 0 = port 1); the thru as the raw two-port; isolation as
// the raw S21/S12 with loads on both ports (zero when not measured).
struct standard_measurements_t {
    complex_t open[2], short_[2], load[2];
    sparams_t thru;
    complex_t isolation_f{0.0}, isolation_r{0.0};
};

// The error terms of each method from raw measurements and the kit's
// models at `frequency`. The response methods set only the tracking they
// measure; one-port solves directivity, source match and reflection
// tracking of `port`; two-port (SOLT) all twelve terms.
calibration_point_t solve_response_open(const cal_kit_t& kit, double frequency, int port, complex_t measured);
calibration_point_t solve_response_short(const cal_kit_t& kit, double frequency, int port, complex_t measured);
calibration_point_t solve_response_thru(const cal_kit_t& kit, double frequency, const sparams_t& measured);
calibration_point_t solve_one_port(const cal_kit_t& kit, double frequency, int port,
                                   const standard_measurements_t& measured);
calibration_point_t solve_two_port(const cal_kit_t& kit, double frequency, const standard_measurements_t& measured);

// Corrected S-parameters from raw ones: each method corrects the
// parameters it covers and leaves the others raw.
sparams_t correct(const calibration_point_t& cal, const sparams_t& raw);

}  // namespace zorsim::physics
