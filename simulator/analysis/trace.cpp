#include "trace.h"

#include <algorithm>

namespace zorsim::analysis {

std::size_t nearest(const std::vector<double>& x, double at) {
    if (x.size() < 2) return 0;
    const double f = std::min(std::max(at, x.front()), x.back());
    const auto hi = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), f) - x.begin());
    if (hi == 0) return 0;
    if (hi >= x.size()) return x.size() - 1;
    return f - x[hi - 1] <= x[hi] - f ? hi - 1 : hi;
}

double interpolate(const std::vector<double>& x, const std::vector<double>& values, double at) {
    if (values.empty()) return 0;
    if (x.size() < 2 || values.size() < x.size() || x.back() <= x.front()) return values.front();
    const double f = std::min(std::max(at, x.front()), x.back());
    auto hi = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), f) - x.begin());
    hi = std::min(std::max<std::size_t>(hi, 1), x.size() - 1);
    const std::size_t lo = hi - 1;
    const double t = x[hi] == x[lo] ? 0 : (f - x[lo]) / (x[hi] - x[lo]);
    return values[lo] + t * (values[hi] - values[lo]);
}

}  // namespace zorsim::analysis
