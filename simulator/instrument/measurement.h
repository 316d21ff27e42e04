// Between the SCPI commands and the physics: reads a channel's and a trace's
// settings once, runs the measurement chain when a sweep is due, and hands
// the commands the trace at each of its stages. Markers, searches, limit
// tests, statistics and data queries all read from here, so they all see
// the same numbers.
#pragma once

#include "instrument.h"
#include "physics/chain.h"

#include <string>
#include <vector>

namespace zorsim {

// Stores of data written by a client (packed doubles in a string setting,
// per channel and trace, so *RST drops them).
extern const char* const corrected_store;
extern const char* const formatted_store;
extern const char* const memory_store;
// A channel's segment table: four packed doubles a segment (start, stop,
// points, IF bandwidth or 0).
extern const char* const segment_store;
// A trace's equation: on/off and its text.
extern const char* const equation_state_key;
extern const char* const equation_text_key;

// One trace at the end of the chain.
struct trace_view_t {
    std::vector<double> x;          // x axis: Hz, s (CW time) or dBm (power sweep)
    std::vector<double> frequency;  // Hz per point
    std::vector<physics::complex_t> corrected;  // the measured parameter, corrected (or written)
    std::vector<double> formatted;  // two values per point, smoothed
    physics::format_t format = physics::format_t::mlog;
    std::size_t points() const { return x.size(); }
    double y(std::size_t k) const { return formatted[2 * k]; }
};

physics::stimulus_t stimulus_of(const scpi::settings_store_t& settings, int channel);
// The trace's measured parameter (row, column), math, delays and offsets.
physics::trace_settings_t trace_settings_of(const scpi::settings_store_t& settings, int channel, int trace);
// The time domain needs a linear frequency sweep (a uniform grid).
bool time_domain_possible(const scpi::settings_store_t& settings, int channel);
// The trace shows the time domain: its transform is on, on a linear sweep.
bool shows_time(const scpi::settings_store_t& settings, int channel, int trace);
// The x axis the trace shows: the channel's stimulus, or the transform's
// instants (s, as many as points) while it shows the time domain.
std::vector<double> trace_axis(instrument_t& inst, int channel, int trace);
physics::format_t format_from_keyword(const std::string& keyword);
std::vector<physics::segment_t> segment_table(const scpi::settings_store_t& settings, int channel);
void set_segment_table(scpi::settings_store_t& settings, int channel, const std::vector<physics::segment_t>& table);

// The channel's last sweep; runs one when it is due (continuous mode: the
// settings changed or, in real time, the next sweep finished; otherwise
// only when none was taken yet or the number of points changed).
const channel_sweep_t& channel_sweep(instrument_t& inst, int channel);
// Raw data of a standard connected in place of the device, measured on the
// channel's present stimulus (the calibration's standards).
physics::sweep_data_t measure_standard(instrument_t& inst, int channel, const physics::device_t& standard);
// The questionable register's calibration bit: set while a channel corrects
// with a calibration that is interpolated or does not cover its sweep.
void update_calibration_status(instrument_t& inst);
// Triggers one sweep of the channel now; it ends after its sweep time
// (at once in instant mode). Only a free-running channel sweeps again on its own.
void trigger_sweep(instrument_t& inst, int channel);
// Blocks until every triggered sweep has ended (*WAI, *OPC?).
void wait_for_sweeps(instrument_t& inst);
// A channel that sweeps again and again on its own (continuous, internal trigger).
bool is_free_running(const scpi::settings_store_t& settings, int channel);
// Sweeping/measuring bits of the operation register (a triggered sweep
// running, or a free-running channel in real time) and a pending *OPC
// (triggered sweeps only), from the clock.
void update_sweep_status(instrument_t& inst);
// Seconds one sweep of the channel takes with its present settings.
double channel_sweep_time(const instrument_t& inst, int channel);

// Packed doubles of a store when they hold `count` values.
bool stored_values(const instrument_t& inst, const char* store, int channel, int trace, std::size_t count,
                   std::vector<double>& values);
void store_values(instrument_t& inst, const char* store, int channel, int trace, const std::vector<double>& values);

// The trace's corrected data (written data win over the sweep).
std::vector<physics::complex_t> corrected_trace(instrument_t& inst, int channel, int trace);
// The whole chain for one trace; `format` overrides the trace's format
// (for the memory trace's formatted view pass memory instead).
trace_view_t trace_view(instrument_t& inst, int channel, int trace);
// The formatted view of given complex data on the trace's settings.
std::vector<double> formatted_of(instrument_t& inst, int channel, int trace,
                                 const std::vector<physics::complex_t>& data, const std::vector<double>& frequency);

}  // namespace zorsim

namespace zorsim {

// Trace data on the wire as :FORMat[:DATA] says: ASCII numbers joined by
// commas, or an IEEE 488.2 definite-length block of 32- or 64-bit IEEE
// floats in the byte order of :FORMat:BORDer (NORMal: most significant
// byte first; SWAPped: least first).
void answer_values(scpi::context_t& ctx, const double* values, std::size_t count);
inline void answer_values(scpi::context_t& ctx, const std::vector<double>& values) {
    answer_values(ctx, values.data(), values.size());
}
// Complex data as (re, im) pairs: std::complex is laid out as two doubles.
inline void answer_values(scpi::context_t& ctx, const std::vector<physics::complex_t>& values) {
    answer_values(ctx, reinterpret_cast<const double*>(values.data()), 2 * values.size());
}
// Exactly `count` values from a write, as numbers or one such block.
std::vector<double> values_param(scpi::context_t& ctx, std::size_t count);
// Appends one number as the analyzer's ASCII replies write reals.
void append_real(std::string& out, double value);
char* put_real(char* p, double value);  // the same into a buffer of 24 chars; returns the end

// The wire format settings, registered once.
void register_data_format_commands(scpi::command_table_t& table);

}  // namespace zorsim
