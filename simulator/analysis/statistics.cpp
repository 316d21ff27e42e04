#include "statistics.h"

#include <algorithm>
#include <cmath>

namespace zorsim::analysis {

statistics_t statistics(const std::vector<double>& values, std::size_t first, std::size_t last) {
    statistics_t s;
    if (last < first || last >= values.size()) return s;
    const double count = static_cast<double>(last - first + 1);
    double lo = values[first], hi = lo, sum = 0;
    for (std::size_t k = first; k <= last; ++k) {
        sum += values[k];
        lo = std::min(lo, values[k]);
        hi = std::max(hi, values[k]);
    }
    s.mean = sum / count;
    double squares = 0;
    for (std::size_t k = first; k <= last; ++k) squares += (values[k] - s.mean) * (values[k] - s.mean);
    s.deviation = std::sqrt(squares / count);
    s.peak_to_peak = hi - lo;
    return s;
}

bool points_within(const std::vector<double>& x, double lo, double hi, std::size_t& first, std::size_t& last) {
    bool found = false;
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (x[k] < lo || x[k] > hi) continue;
        if (!found) first = k;
        last = k;
        found = true;
    }
    return found;
}

}  // namespace zorsim::analysis
