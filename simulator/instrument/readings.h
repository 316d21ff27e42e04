// What the analyzer reads off a trace, as the commands answer it and the
// screen shows it: the formatted trace, where the markers stand and what
// they read, and the limit test's verdicts.
#pragma once

#include "instrument.h"
#include "measurement.h"

#include <simulator/analysis/limits.h>
#include <simulator/analysis/trace.h>

#include <vector>

namespace zorsim {

// The trace as the display shows it: its x axis and both formatted values
// of each point, from the measurement chain.
analysis::trace_t formatted_trace(instrument_t& inst, int channel, int trace);
analysis::trace_t formatted_trace(const trace_view_t& view);

double marker_x(const instrument_t& inst, int channel, int trace, int marker);
// Moves the marker and turns it on.
void place_marker(instrument_t& inst, int channel, int trace, int marker, double x);
// The response under a marker: between the points unless the marker keeps
// to the discrete points. The second value when `second`.
double marker_response(const instrument_t& inst, const analysis::trace_t& t, int channel, int trace, int marker,
                       bool second = false);

// What a marker reads. Delta markers, and every marker in reference mode,
// read relative to the reference marker while it is on (delta mode turns
// it on; turned off later, the others read absolute values again).
struct marker_reading_t {
    double y = 0;
    double y2 = 0;  // the second value of two-value formats (Smith, polar), 0 otherwise
    bool relative = false;
};
marker_reading_t marker_reading(const instrument_t& inst, const analysis::trace_t& t, int channel, int trace,
                                int marker);

// The limit test at each point of the trace (untested while it is off).
std::vector<analysis::point_verdict_t> limit_report(const instrument_t& inst, const analysis::trace_t& t, int channel,
                                                    int trace);

}  // namespace zorsim
