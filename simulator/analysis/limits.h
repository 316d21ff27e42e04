// The limit-line and ripple-limit tests of a formatted trace.
#pragma once

#include "trace.h"

#include <vector>

namespace zorsim::analysis {

// A verdict as the analyzer reports it: -1 untested, 0 pass, 1 fail.
enum class verdict_t { untested = -1, pass = 0, fail = 1 };

// A limit-table segment: its type (0 off, 1 upper, 2 lower, as the table
// holds it), start and stop stimulus, start and stop response; the line runs
// straight between them.
enum class limit_type_t { off, upper, lower };
struct limit_segment_t {
    limit_type_t type = limit_type_t::off;
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};

// One point of the limit test: the tightest upper and lower line over it
// (0 where no segment sets one) and its verdict: untested where the test is
// off or no segment covers the point.
struct point_verdict_t {
    double x = 0;
    verdict_t result = verdict_t::untested;
    double upper = 0;
    double lower = 0;
};
std::vector<point_verdict_t> limit_test(const trace_t& t, const std::vector<limit_segment_t>& segments, bool on);

// A ripple-table segment: on or off, its stimulus range, and the largest
// spread of the trace allowed over it.
struct ripple_segment_t {
    bool on = false;
    double x0 = 0, x1 = 0, allowed = 0;
};
struct ripple_verdict_t {
    double ripple = 0;  // the spread over the segment's points
    double allowed = 0;
    verdict_t result = verdict_t::untested;
};
std::vector<ripple_verdict_t> ripple_test(const trace_t& t, const std::vector<ripple_segment_t>& segments, bool on);

}  // namespace zorsim::analysis
