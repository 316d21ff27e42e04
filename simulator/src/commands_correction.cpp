// Error correction (per channel), port extension and source power
// correction (per channel and port), and the calibration kit settings.
#include "commands.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::integer_setting;
using scpi::real_setting;
using scpi::string_setting;

void register_correction_commands(scpi::command_table_t& t) {
    t.add_setting(boolean_setting("[:SENSe#]:CORRection[:STATe]", false));
    t.add_setting(real_setting("[:SENSe#]:CORRection:EXTension:PORT#:VELFactor", 1.0).range(0.01, 10));
    t.add_setting(boolean_setting(":SOURce#:POWer:PORT#:CORRection[:STATe]", false));
    t.add_setting(integer_setting(":SOURce#:POWer:PORT#:CORRection:COLLect:AVERage", 1).range(1, 100));
    // The kit of a channel's calibration. Name and description are strings:
    // sent and answered between quotes.
    t.add_setting(string_setting("[:SENSe#]:CORRection:COLLect:CKIT:NAME", "User Kit 1"));
    t.add_setting(string_setting("[:SENSe#]:CORRection:COLLect:CKIT:DESCription", ""));
    t.add_setting(choice_setting("[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:IMPedance", {"SYSTem", "LINE"}, "SYST"));
    t.add_setting(choice_setting("[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:RPLane", {"THRU", "REFLect"}, "THRU"));
    t.add_setting(boolean_setting("[:SENSe#]:CORRection:COLLect:ECAL:ORIentation[:STATe]", true));
}

}  // namespace zorsim
