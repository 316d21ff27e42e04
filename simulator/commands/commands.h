// The analyzer's SCPI commands, one file per subsystem, each registering
// its rows into one table: read the settings, call the measurement chain,
// the physics or the analysis, answer. To add a subsystem: declare its
// function here, define it in its own file, call it from analyzer_commands().
#pragma once

#include <simulator/instrument/instrument.h>
#include <simulator/physics/chain.h>
#include <simulator/scpi/table.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim {

// The vocabulary every command file speaks.
using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::integer_setting;
using scpi::real_setting;
using scpi::scpi_error;
using scpi::string_setting;

// What the commands ask of every instrument they act on, beside the table:
// the hooks to run after each sweep.
struct command_set_t {
    scpi::command_table_t table;
    std::vector<instrument_t::sweep_hook_t> after_sweep;
};

// Built once, then only read.
const command_set_t& analyzer_commands();

// The instrument a handler acts on.
instrument_t& instrument_of(scpi::context_t& ctx);

void register_common_commands(scpi::command_table_t& table);       // IEEE 488.2 *XXX
void register_system_commands(scpi::command_table_t& table);       // SYSTem, STATus, SERVice
void register_stimulus_commands(scpi::command_table_t& table);     // SENSe frequency/sweep, SOURce, TRIGger, OUTPut
void register_format_commands(scpi::command_table_t& table);       // FORMat: how trace data travel
void register_calculate_commands(scpi::command_table_t& table);    // CALCulate: parameter, format, math, data
void register_marker_commands(command_set_t& set);                 // CALCulate markers and marker search
void register_limit_commands(scpi::command_table_t& table);        // CALCulate limit, ripple and bandwidth tests
void register_time_domain_commands(scpi::command_table_t& table);  // CALCulate transform and gating
void register_correction_commands(scpi::command_table_t& table);   // SENSe/SOURce correction and calibration
void register_kit_commands(scpi::command_table_t& table);          // SENSe calibration kits
void register_display_commands(scpi::command_table_t& table);      // DISPlay: layout, windows, trace scales
void register_memory_commands(scpi::command_table_t& table);       // MMEMory: files and folders of the instrument
void register_simulation_commands(scpi::command_table_t& table);   // SYSTem:SIMulation: simulator-only

// A setting or command whose pattern holds ":TRACe#:" is registered under
// that pattern and under the same pattern with ":MEASure#:" instead: the
// analyzer takes either node for the trace of a CALCulate command.
const scpi::setting_t& add_trace_setting(scpi::command_table_t& table, scpi::setting_t setting);
void add_trace_command(scpi::command_table_t& table, const std::string& pattern, scpi::handler_t set,
                       scpi::handler_t query);

// Trace data on the wire as :FORMat[:DATA] and :FORMat:BORDer say.
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

// The one number of a set command within [lo, hi], in `unit` (SI prefixes
// taken); MINimum and MAXimum name the ends.
double bounded_param(scpi::context_t& ctx, double lo, double hi, std::string_view unit);

// Turns the time domain (transforms and gates) of the channel's traces off
// when its sweep is no longer linear, with a settings-conflict error.
void end_time_domain_unless_linear(scpi::context_t& ctx, int channel);

// Marker-to-setting on a trace that shows the time domain: CENTer, STARt,
// STOP and SPAN (a delta marker's distance to the reference marker) move the
// transform's time window, DELay takes the marker's time as electrical
// delay; a CW frequency cannot come from a time (settings conflict).
void marker_to_time_setting(scpi::context_t& ctx, const std::string& what, double x, double reference_x);

}  // namespace zorsim
