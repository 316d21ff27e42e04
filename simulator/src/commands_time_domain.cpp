// CALCulate time domain: the transform and the gate, per channel and trace.
// Start, stop, center and span are kept apart here (a real transform couples
// them); each has its own range.
#include "commands.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::real_setting;

namespace {

// Low-pass transforms need a harmonic grid: every point a multiple of the
// start, so start = stop / points. Where that start falls below the lowest
// frequency, the start goes to the lowest frequency and the stop up to
// points times it, clipped to the highest frequency (the grid is then the
// best the hardware allows). The trace suffix only addresses the command.
void set_low_pass_frequencies(context_t& ctx) {
    ctx.expect_params(0, 0);
    const std::vector<int> channel = {ctx.suffix(0)};
    const char* const start_key = "[:SENSe#]:FREQuency:STARt";
    const char* const stop_key = "[:SENSe#]:FREQuency:STOP";
    const scpi::setting_t* start_setting = ctx.device().table().find_setting(start_key);
    if (start_setting == nullptr) throw scpi::scpi_error(-200);
    const double lowest = start_setting->min;
    const double highest = start_setting->max;
    const double points = static_cast<double>(std::max<std::int64_t>(1, ctx.settings().integer("[:SENSe#]:SWEep:POINts", channel)));
    double stop = ctx.settings().real(stop_key, channel);
    double start = stop / points;
    if (start < lowest) {
        start = lowest;
        stop = std::min(highest, lowest * points);
    }
    ctx.settings().set_value(start_key, channel, start);
    ctx.settings().set_value(stop_key, channel, stop);
}

}  // namespace

void register_time_domain_commands(scpi::command_table_t& t) {
    constexpr double max_time = 1e-3;  // s, either side of zero
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:TRANsform:TIME:STATe", false));
    // The transform type; impulse and step are stimuli of the low-pass type,
    // which is the default so that a stimulus reads back through the type.
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:TRANsform:TIME[:TYPE]", {"LPASs", "BPASs"}, "LPAS"));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:TRANsform:TIME:STIMulus", {"IMPulse", "STEP"}, "IMP"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:STARt", -1e-8).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:STOP", 1e-8).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:CENTer", 0.0).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:SPAN", 2e-8).range(0, 2 * max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:IMPulse:WIDTh", 1e-10).range(1e-12, 1e-6).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:TRANsform:TIME:KBESsel", 6.0).range(0, 13));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:TRANsform:COUPle[:STATe]", false));
    t.add_command(":CALCulate#:TRACe#:TRANsform:TIME:LPFRequency", set_low_pass_frequencies);
    t.add_command(":CALCulate#:MEASure#:TRANsform:TIME:LPFRequency", set_low_pass_frequencies);

    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STATe", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STARt", -1e-8).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:STOP", 1e-8).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:CENTer", 0.0).range(-max_time, max_time).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:SPAN", 2e-8).range(0, 2 * max_time).with_unit("S"));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:SHAPE",
                                        {"MAXimum", "WIDE", "NORMal", "MINimum"}, "NORM"));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:FILTer[:GATE]:TIME:TYPE", {"BPASs", "NOTCh"}, "BPAS"));
}

}  // namespace zorsim
