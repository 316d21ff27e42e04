// The band around a point: where the trace stays beyond a level set
// relative to a reference, its edges interpolated between the points. The
// marker's bandwidth and notch searches and the bandwidth limit test all
// measure it here.
#pragma once

#include "trace.h"

#include <cstddef>

namespace zorsim::analysis {

struct band_t {
    double width, center, q;  // q = center / width
    // The reference (a pass band), or the lowest point inside (a notch).
    double loss;
};

// The band around point `around` where the trace stays above
// `reference + offset` (a pass band; offset negative, as -3 dB), or below it
// for a notch. A point exactly on the level is outside. Every value NaN when
// `around` is outside the band or the band reaches past either end of the sweep.
band_t band_around(const trace_t& t, std::size_t around, double reference, double offset, bool notch);

}  // namespace zorsim::analysis
