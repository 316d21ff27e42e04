#include "band.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace zorsim::analysis {

band_t band_around(const trace_t& t, std::size_t around, double reference, double offset, bool notch) {
    const double nan = std::nan("");
    const band_t none{nan, nan, nan, nan};
    const std::size_t n = std::min(t.x.size(), t.y.size());
    const double level = reference + offset;
    auto inside = [&](std::size_t i) { return notch ? t.y[i] < level : t.y[i] > level; };
    if (around >= n || !inside(around)) return none;
    std::size_t lo = around, hi = around;
    while (lo > 0 && inside(lo - 1)) --lo;
    while (hi + 1 < n && inside(hi + 1)) ++hi;
    if (lo == 0 || hi + 1 == n) return none;
    // Between a point outside and its neighbour inside.
    auto edge = [&](std::size_t out, std::size_t in) {
        const double a = t.y[out] - level, b = t.y[in] - level;
        return t.x[out] + (t.x[in] - t.x[out]) * (a / (a - b));
    };
    const double left = edge(lo - 1, lo), right = edge(hi + 1, hi);
    band_t band;
    band.width = right - left;
    band.center = (left + right) / 2;
    band.q = band.width > 0 ? band.center / band.width : nan;
    band.loss = notch ? *std::min_element(std::next(t.y.begin(), static_cast<std::ptrdiff_t>(lo)),
                                          std::next(t.y.begin(), static_cast<std::ptrdiff_t>(hi) + 1))
                      : reference;
    return band;
}

}  // namespace zorsim::analysis
