// CALCulate markers: per channel, trace and marker number; the marker
// search and multi-search settings; the active marker of each trace and the
// analyzer-wide marker coupling.
#include "commands.h"
#include "instrument.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::real_setting;

namespace {
const char* const marker_state_key = ":CALCulate#:TRACe#:MARKer#[:STATe]";
}  // namespace

void register_marker_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(marker_state_key, false));
    // "MARKer<m>:ACTivate" makes marker m the trace's active marker and turns
    // it on; "MARKer:ACTivate?" names the active marker (1 until one is set).
    auto activate = [](context_t& ctx) {
        ctx.expect_params(0, 0);
        instrument_of(ctx).layout.active_markers[{ctx.suffix(0), ctx.suffix(1)}] = ctx.suffix(2);
        ctx.settings().set_value(marker_state_key, ctx.suffixes(), true);
    };
    auto active = [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto& markers = instrument_of(ctx).layout.active_markers;
        auto it = markers.find({ctx.suffix(0), ctx.suffix(1)});
        ctx.answer_integer(it == markers.end() ? 1 : it->second);
    };
    t.add(":CALCulate#:TRACe#:MARKer#:ACTivate", activate, active);
    t.add(":CALCulate#:MEASure#:MARKer#:ACTivate", activate, active);

    t.add_setting(choice_setting(":CALCulate:MARKer:COUPle", {"OFF", "CHANnel", "ALL"}, "CHAN"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MARKer#:DELTa", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MARKer#:DISCrete", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MARKer:REFerence[:STATe]", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:X", 1e9).range(-1e12, 1e12));

    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TYPE",
                                        {"OFF", "MINimum", "MAXimum", "RPEak", "LPEak", "NPEak", "TARget", "LTARget",
                                         "RTARget", "PEAK"},
                                        "OFF"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TRACking", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEXCursion", 3.0).range(0, 500));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEAK:THReshold", -100.0).range(-500, 500));
    add_trace_setting(
        t, choice_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PPOLarity", {"POSitive", "NEGative", "BOTH"}, "POS"));
    add_trace_setting(
        t, choice_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TTRansition", {"POSitive", "NEGative", "BOTH"}, "BOTH"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TARGet", 0.0).range(-500, 500));

    // Multi-search acts on all markers of a trace: no marker number.
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TYPE", {"OFF", "PEAK", "TARGet"},
                                        "OFF"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PEXCursion", 3.0).range(0, 500));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PPOLarity",
                                        {"POSitive", "NEGative", "BOTH"}, "POS"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:THReshold", -100.0).range(-500, 500));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TTRansition",
                                        {"POSitive", "NEGative", "BOTH"}, "BOTH"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TARGet", 0.0).range(-500, 500));
}

}  // namespace zorsim
