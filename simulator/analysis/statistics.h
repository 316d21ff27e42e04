// Statistics of a formatted trace, as the display's statistics and the
// trace's statistics function give them.
#pragma once

#include <cstddef>
#include <vector>

namespace zorsim::analysis {

struct statistics_t {
    double mean = 0, deviation = 0, peak_to_peak = 0;
};
// Of values first..last (the population's deviation); zeros when the
// range is empty or not inside `values`.
statistics_t statistics(const std::vector<double>& values, std::size_t first, std::size_t last);

// The first and last point whose x lies within [lo, hi]; false when none does.
bool points_within(const std::vector<double>& x, double lo, double hi, std::size_t& first, std::size_t& last);

}  // namespace zorsim::analysis
