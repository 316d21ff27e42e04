// The time domain of frequency data: windows, the low-pass (impulse and
// step) and band-pass transforms over an arbitrary time axis, the impulse
// width a window implies, gating and distances.
//
// Frequency data are on a uniform grid. Low-pass wants a harmonic grid
// (every frequency a multiple of the first); its DC value is extrapolated
// from the lowest points. The time axis is evaluated with a chirp-z
// transform, so any start, stop and number of points costs one set of FFTs.
#pragma once

#include <cstddef>
#include <vector>

#include "network.h"

namespace zorsim::physics {

// Symmetric Kaiser window of n points (beta 0 is rectangular).
std::vector<double> kaiser_window(std::size_t n, double beta);

// y[m] = sum_k a[k] exp(j 2 pi k (first + m * step)), m = 0..count-1, with
// first and step in cycles per index k. Bluestein's algorithm on FFTs.
std::vector<complex_t> chirp_z(const std::vector<complex_t>& a, double first, double step, std::size_t count);

// `points` evenly spaced instants from start to stop (s).
std::vector<double> time_axis(double start, double stop, std::size_t points);

enum class transform_t { low_pass_impulse, low_pass_step, band_pass_impulse };

// The DC value low-pass transforms use: magnitude and unwrapped phase
// extrapolated linearly from the two lowest points, projected on the real
// axis (a real response is real at DC).
complex_t extrapolate_dc(const std::vector<double>& frequency, const std::vector<complex_t>& data);

// The time response of `data` (on the uniform grid `frequency`) at
// `points` instants from `start` to `stop` (s), with a Kaiser window of
// `beta` (the half of it above DC for low-pass). Impulses are scaled so that a flat
// response (a flush short or a thru) peaks at its own value; the step so
// that it settles at the response's DC value. Low-pass results are real
// (imaginary part zero); band-pass is complex, its magnitude the envelope.
std::vector<complex_t> transform(transform_t kind, const std::vector<double>& frequency,
                                 const std::vector<complex_t>& data, double beta, double start, double stop,
                                 std::size_t points);

// Width between the half-maximum points of the impulse a flat response
// gives with this window, over a grid from `start` to `stop` (Hz) of `points`.
// A low-pass step reports the width of the impulse it integrates.
double impulse_width(transform_t kind, double start, double stop, std::size_t points, double beta);
// The Kaiser beta (0..13) whose impulse is `width` wide, or the nearest end.
double beta_for_width(transform_t kind, double start, double stop, std::size_t points, double width);

enum class gate_shape_t { minimum, normal, wide, maximum };
enum class gate_type_t { band_pass, notch };

// The gate's weight at time t: one inside [start, stop] away from its
// edges, falling in raised-cosine edges whose length the shape sets
// (a notch is one minus that).
double gate_weight(double t, double start, double stop, gate_shape_t shape, gate_type_t type);

// Frequency data after gating their time response: the data go to time on
// the grid's own period, are weighted by the gate there and come back.
std::vector<complex_t> gate(const std::vector<double>& frequency, const std::vector<complex_t>& data, double start,
                            double stop, gate_shape_t shape, gate_type_t type);

// Distance of an instant along a line of this velocity factor; a
// reflection travels the way twice, so it counts half.
double distance(double time, double velocity_factor, bool reflection);
// The instant of a distance: the inverse of distance().
double travel_time(double distance, double velocity_factor, bool reflection);

}  // namespace zorsim::physics
