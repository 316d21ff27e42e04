// The measurement chain, one way from the device to what a query answers:
//
//   device S -> (a) test set and receivers: systematic errors + noise = raw
//            -> (b) correction(raw) = corrected
//            -> trace: the measured parameter, math against memory,
//               electrical delay, phase and magnitude offsets, port extensions
//            -> (c) time domain (transform and gating)
//            -> format -> smoothing -> formatted data
//
// Stages (a), (b) and (c) are seams: each is a plain function over the
// chain's data, identity (a: plus receiver noise) until the calibration and
// time-domain models fill them in through chain_stages_t.
#pragma once

#include "devices.h"
#include "network.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace zorsim::physics {

// ---------------------------------------------------------------- stimulus

enum class sweep_type_t { linear, logarithmic, power, cw_time, segment };

// One segment of a segment sweep: its own range and points, and its own IF
// bandwidth (0: the channel's).
struct segment_t {
    double start = 0, stop = 0;
    int points = 2;
    double if_bandwidth = 0;
};

struct stimulus_t {
    sweep_type_t type = sweep_type_t::linear;
    int points = 201;
    double start = 3e5, stop = 9e9;  // Hz
    double cw = 1e9;                 // Hz: the frequency of CW-time and power sweeps
    double power = 0;                // dBm: the source level of frequency sweeps
    double power_start = -10, power_stop = 0;  // dBm: a power sweep
    double if_bandwidth = 1e4;       // Hz
    double sweep_delay = 0;          // s
    double fixed_time = -1;          // s: a sweep time set by hand; negative: from the points
    std::vector<segment_t> segments; // a segment sweep (an empty table sweeps linearly)
};

// Points of one sweep: the segments' sum in a segment sweep.
std::size_t point_count(const stimulus_t& s);
// IF bandwidth at point k (the segment's own in a segment sweep).
double point_if_bandwidth(const stimulus_t& s, std::size_t k);

// The frequency of each point (all equal in CW-time and power sweeps).
std::vector<double> frequencies(const stimulus_t& s);
// What the x axis shows: frequency, time from the sweep's start (CW: the
// first point at 0, the last at the sweep time less the delay) or source
// power (power sweep).
std::vector<double> x_axis(const stimulus_t& s, int averages_per_point = 1);
// Source power at each point, dBm.
double point_power(const stimulus_t& s, std::size_t k, std::size_t n);

// Time for one sweep: each point waits for its IF filter to settle
// (about 1/IFBW, the segment's own in a segment sweep) plus the
// synthesizer's step, `averages_per_point` times; then the sweep delay.
// A time set by hand wins.
double sweep_time(const stimulus_t& s, int averages_per_point = 1);

// ---------------------------------------------------------------- stage (a): test set and receivers

struct receiver_t {
    bool noise = true;
    std::uint64_t seed = 1;
    // Averages the reading sees (sweep and point averaging): the noise of
    // a mean of N readings, sigma / sqrt(N).
    int averages = 1;
};

// Standard deviation of the complex trace noise at one point: the receivers'
// floor (-120 dBm in a 10 Hz bandwidth) rises with the IF bandwidth and
// falls with the source power.
double noise_sigma(double if_bandwidth, double power_dbm, int averages);

// The seams: (a) systematic errors of the test set on the device's S;
// (b) the correction of raw data; (c) the time domain on one trace's
// complex data (x axis in Hz). Empty: identity.
using sweep_stage_t = std::function<void(sweep_data_t&)>;
using trace_stage_t = std::function<void(const std::vector<double>& x, std::vector<complex_t>& data)>;
struct chain_stages_t {
    sweep_stage_t test_set;    // (a) raw = test set sees device
    sweep_stage_t correction;  // (b) corrected = correction(raw)
    trace_stage_t time_domain; // (c) on corrected/math data before formatting
};

// (a): the device on the stimulus, through the test set, plus receiver
// noise (seeded: the same seed gives the same sweep).
sweep_data_t measure_raw(const device_t& device, const stimulus_t& s, const receiver_t& r,
                         const chain_stages_t& stages);
// (b)
sweep_data_t correct(sweep_data_t raw, const chain_stages_t& stages);

// ---------------------------------------------------------------- trace

enum class math_t { normal, add, subtract, multiply, divide };

struct trace_settings_t {
    int row = 2, column = 1;  // S21
    math_t math = math_t::normal;
    double electrical_delay = 0;  // s
    double phase_offset = 0;      // degrees
    double magnitude_offset = 0;  // dB
    double magnitude_slope = 0;   // dB/GHz
    double port_extension[2] = {0, 0};  // s, one way, per port
};

// The measured parameter out of the corrected sweep.
std::vector<complex_t> parameter(const sweep_data_t& corrected, int row, int column);
// Math against memory (ignored when the memory's length differs), then
// electrical delay, offsets and port extensions, in place. `frequency` per point.
void apply_trace(std::vector<complex_t>& data, const std::vector<complex_t>& memory,
                 const std::vector<double>& frequency, const trace_settings_t& t);

// ---------------------------------------------------------------- format and smoothing

enum class format_t {
    mlog, phase, gdelay, slin, slog, scomplex, smith, sadmittance, plin, plog, polar, mlin, swr, real, imag,
    uphase, pphase
};

// Two values per point: the formatted value and a second one (0 for the
// scalar formats; for Smith and polar: magnitude and degrees (lin),
// dB and degrees (log), or real and imaginary parts).
// Group delay: -d(phase)/d(omega) over `aperture` points (at least 2) of
// `frequency`, 0 where the frequency does not change.
void format_data(const std::vector<complex_t>& data, const std::vector<double>& frequency, format_t format,
                 std::vector<double>& out, std::size_t gd_aperture = 2);
// A moving average of both values over `aperture_percent` of the points.
void smooth(std::vector<double>& formatted, double aperture_percent);

}  // namespace zorsim::physics
