// What the analysis works on: one formatted trace as the screen shows it.
// Every function here is pure: a trace and numbers in, numbers out; no
// settings, no SCPI, no instrument.
#pragma once

#include <cstddef>
#include <vector>

namespace zorsim::analysis {

struct trace_t {
    std::vector<double> x;   // stimulus per point, rising
    std::vector<double> y;   // the formatted value per point
    std::vector<double> y2;  // the second value of two-value formats (Smith, polar), else 0
    std::size_t points() const { return x.size(); }
};

// The point nearest to `at`, clamped into the sweep (log sweeps are not
// uniform, so by search). 0 for an empty trace.
std::size_t nearest(const std::vector<double>& x, double at);
// `values` at `at`, linear between the points around it, clamped into the
// sweep; 0 when there are no values.
double interpolate(const std::vector<double>& x, const std::vector<double>& values, double at);

// Which side of a level counts: the polarity of a peak, or the direction
// of a crossing (positive: rising). In the order the analyzer lists them.
enum class polarity_t { positive, negative, both };

}  // namespace zorsim::analysis
