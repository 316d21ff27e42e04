// Registration of the analyzer's SCPI commands, one function per area, each
// in its own source file (commands_<area>.cpp). To add an area: declare its
// function here, define it in a new file, call it from command_table().
#pragma once

#include <zorsim/scpi.h>

#include <string>

namespace zorsim {

class instrument_t;

// The instrument a handler acts on.
instrument_t& instrument_of(scpi::context_t& ctx);

void register_common_commands(scpi::command_table_t& table);     // IEEE 488.2 *XXX
void register_system_commands(scpi::command_table_t& table);     // SYSTem, STATus
void register_stimulus_commands(scpi::command_table_t& table);   // SENSe frequency/sweep, OUTPut
void register_calculate_commands(scpi::command_table_t& table);  // CALCulate: parameter, format, math, offsets
void register_marker_commands(scpi::command_table_t& table);     // CALCulate markers and marker search
void register_limit_commands(scpi::command_table_t& table);      // CALCulate limit, ripple and bandwidth tests
void register_time_domain_commands(scpi::command_table_t& table);  // CALCulate transform and gating
void register_correction_commands(scpi::command_table_t& table);   // SENSe/SOURce correction, calibration kits
void register_display_commands(scpi::command_table_t& table);    // DISPlay: layout, windows, trace scales
void register_memory_commands(scpi::command_table_t& table);     // MMEMory: files and folders of the instrument
void register_simulation_commands(scpi::command_table_t& table); // SYSTem:SIMulation: simulator-only

// Registers a setting whose pattern holds ":TRACe#:" under that pattern and
// under the same pattern with ":MEASure#:" instead, sharing one value: the
// analyzer takes either node for the trace of a CALCulate command.
const scpi::setting_t& add_trace_setting(scpi::command_table_t& table, scpi::setting_t setting);
// The same for a command (set and query forms; either may be empty).
void add_trace_command(scpi::command_table_t& table, const std::string& pattern, scpi::handler_t set,
                       scpi::handler_t query);

// Turns the time domain (transforms and gates) of the channel's traces off
// when its sweep is no longer linear, with a settings-conflict error.
void end_time_domain_unless_linear(scpi::context_t& ctx, int channel);

// Marker-to-setting on a trace that shows the time domain: CENTer, STARt,
// STOP and SPAN (a delta marker's distance to the reference marker) move the
// transform's time window, DELay takes the marker's time as electrical
// delay; a CW frequency cannot come from a time (settings conflict).
void marker_to_time_setting(scpi::context_t& ctx, const std::string& what, double x, double reference_x);

// Suffix ranges of the analyzer's numbered nodes (channels, traces, ...).
constexpr int max_channels = 16;
constexpr int max_traces = 16;
constexpr int max_windows = 16;
constexpr int max_ports = 2;
constexpr int max_markers = 10;  // 1..9 and the reference marker 10

// Runs the searches of the channel's tracking markers again (after a sweep).
void track_marker_searches(instrument_t& inst, int channel);

// The table with every area registered; built once, then only read.
const scpi::command_table_t& command_table();

}  // namespace zorsim
