// CALCulate time domain: the transform and the gate, per channel and trace.
// Start, stop, center and span are kept apart here (a real transform couples
// them); each has its own range.
#include "commands.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::real_setting;

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
