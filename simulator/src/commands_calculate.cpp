// CALCulate: what a trace measures and how it is computed and shown:
// parameter, format, conversion, math and memory, offsets, electrical delay,
// smoothing, statistics, the equation editor and the measurement class.
// Values are per channel and trace number (TRACe# or MEASure#).
#include "commands.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::integer_setting;
using scpi::real_setting;
using scpi::string_setting;

void register_calculate_commands(scpi::command_table_t& t) {
    // The measured parameter answers as a bare word ("S21"), like any other
    // mnemonic. Traces 1..4 start as S11, S21, S12, S22, and so on round.
    t.add_setting(choice_setting(":CALCulate#:PARameter#:DEFine", {"S11", "S21", "S12", "S22"}, "S11")
                      .with_default_for([](const std::vector<int>& s) -> scpi::setting_value_t {
                          return static_cast<std::int64_t>((s.at(1) - 1) % 4);
                      }));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:FORMat",
                                        {"MLOGarithmic", "PHASe", "GDELay", "SLINear", "SLOGarithmic", "SCOMplex",
                                         "SMITh", "SADMittance", "PLINear", "PLOGarithmic", "POLar", "MLINear", "SWR",
                                         "REAL", "IMAGinary", "UPHase", "PPHase"},
                                        "MLOG"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:CONVersion[:STATe]", false));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:CONVersion:FUNCtion",
                                        {"OFF", "ZREFlection", "ZTRansmit", "ZTSHunt", "YREFlection", "YTRansmit",
                                         "YTSHunt", "INVersion", "CONJugation"},
                                        "ZREF"));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MATH:FUNCtion",
                                        {"NORMal", "ADD", "SUBTract", "MULTiply", "DIVide"}, "NORM"));
    // No data to copy here: storing the memory trace only checks its form.
    t.add_command(":CALCulate#:TRACe#:MATH:MEMorize", [](context_t& ctx) { ctx.expect_params(0, 0); });
    t.add_command(":CALCulate#:MEASure#:MATH:MEMorize", [](context_t& ctx) { ctx.expect_params(0, 0); });
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude", 0.0).range(-1000, 1000).with_unit("DB"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude:SLOPe", 0.0).range(-1e6, 1e6));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:OFFSet:PHASe", 0.0).range(-360, 360));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:EDELay[:TIME]", 0.0).range(-10, 10).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:EDELay:DISTance", 0.0).range(-3e9, 3e9));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:CORRection:EDELay:UNIT", {"METer", "FEET", "INCH"}, "MET"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:SMOothing[:STATe]", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:SMOothing:APERture", 1.5).range(0.05, 25));  // % of span
    add_trace_setting(t, integer_setting(":CALCulate#:TRACe#:SMOothing:POINts", 3).range(1, 100001));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MSTatistics[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:EQUation[:STATe]", false));
    // Equations are strings: sent and answered between quotes.
    add_trace_setting(t, string_setting(":CALCulate#:TRACe#:EQUation:TEXT", ""));
    // The measurement class of a channel, answered as a bare word.
    t.add_setting(choice_setting(":CALCulate#:INSTrument", {"SPARameter"}, "SPAR"));
}

}  // namespace zorsim
