// Numbers and files: engineering notation both ways, the limit-mask syntax
// of the command line, and the Touchstone and CSV writers.
#pragma once

#include <string>

#include "measurement.h"

namespace zor_measure {

// "4.5G", "300M", "1e9", "-3": a number with an optional SI prefix. Throws
// std::invalid_argument with a readable reason.
double parse_engineering(const std::string& text);

// "4.500 GHz" with `digits` significant digits.
std::string engineering(double value, const std::string& unit, int digits = 4);

// "upper,START,STOP,DB[,DB_AT_STOP]" or "lower,..." (frequencies may carry
// prefixes). Throws std::invalid_argument.
limit_segment_t parse_segment(const std::string& text);

// The default mask for a sweep from start to stop: the magnitude below
// +0.5 dB everywhere (a passive device) and above -10 dB over the middle 5 %.
std::vector<limit_segment_t> default_mask(double start, double stop);

enum class touchstone_format_t { real_imaginary, db_angle };

// Touchstone 1.1 two-port file: "# Hz S RI R 50" (or DB), one line per
// frequency with S11 S21 S12 S22. Needs all four parameters.
void write_touchstone(const std::string& path, const measurement_t& m, touchstone_format_t format);

// One row per frequency; per parameter its real and imaginary part,
// magnitude in dB and phase in degrees.
void write_csv(const std::string& path, const measurement_t& m);

double magnitude_db(std::complex<double> value);
double phase_degrees(std::complex<double> value);

}  // namespace zor_measure
