// Between the commands and the physics: reads a channel's and a trace's
// settings, takes the channel's sweep (sweep.h) and hands out the trace at
// each stage of the chain. Markers, searches, limit tests, statistics, data
// queries and the display all read from here, so they all see the same numbers.
#pragma once

#include "instrument.h"

#include <simulator/physics/chain.h>
#include <simulator/physics/time_domain.h>

#include <cstddef>
#include <vector>

namespace zorsim {

// One trace at the end of the chain.
struct trace_view_t {
    std::vector<double> x;          // x axis: Hz, s (CW time or the time domain) or dBm (power sweep)
    std::vector<double> frequency;  // Hz per point
    std::vector<physics::complex_t> corrected;  // the measured parameter, corrected (or written)
    std::vector<double> formatted;  // two values per point, smoothed
    physics::format_t format = physics::format_t::mlog;
    std::size_t points() const { return x.size(); }
    double y(std::size_t k) const { return formatted[2 * k]; }
};

// The channel's stimulus: its settings and its segment table.
physics::stimulus_t stimulus_of(const instrument_t& inst, int channel);
// The trace's measured parameter (row, column), math, delays and offsets.
physics::trace_settings_t trace_settings_of(const scpi::settings_store_t& settings, int channel, int trace);
// The trace's transform: low-pass impulse or step, or band-pass impulse.
physics::transform_t transform_of(const scpi::settings_store_t& settings, int channel, int trace);
// The time domain needs a linear frequency sweep (a uniform grid).
bool time_domain_possible(const scpi::settings_store_t& settings, int channel);
// The trace shows the time domain: its transform is on, on a linear sweep.
bool shows_time(const scpi::settings_store_t& settings, int channel, int trace);
// The x axis the trace shows: the channel's stimulus, or the transform's
// instants (s, as many as points) while it shows the time domain.
std::vector<double> trace_axis(instrument_t& inst, int channel, int trace);

// Data written to the trace when they hold `count` values, else null.
using written_member_t = std::vector<double> written_data_t::*;
const std::vector<double>* written_values(const instrument_t& inst, written_member_t which, int channel, int trace,
                                          std::size_t count);

// The trace's corrected data (written data win over the sweep).
std::vector<physics::complex_t> corrected_trace(instrument_t& inst, int channel, int trace);
// The whole chain for one trace.
trace_view_t trace_view(instrument_t& inst, int channel, int trace);
// The formatted view of given complex data on the trace's settings (the
// memory trace's formatted view).
std::vector<double> formatted_of(instrument_t& inst, int channel, int trace,
                                 const std::vector<physics::complex_t>& data, const std::vector<double>& frequency);

}  // namespace zorsim
