// Stimulus: SENSe frequency range, sweep, and the RF output switch.
#include "commands.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::integer_setting;
using scpi::real_setting;

// Frequency limits of the ZOR4220 family.
constexpr double min_frequency = 1e4;
constexpr double max_frequency = 9e9;

void register_stimulus_commands(scpi::command_table_t& t) {
    t.add_setting(real_setting("[:SENSe#]:FREQuency:STARt", 3e5).range(min_frequency, max_frequency).with_unit("HZ"));
    t.add_setting(real_setting("[:SENSe#]:FREQuency:STOP", 9e9).range(min_frequency, max_frequency).with_unit("HZ"));
    t.add_setting(integer_setting("[:SENSe#]:SWEep:POINts", 201).range(2, 100001));
    t.add_setting(choice_setting("[:SENSe#]:SWEep:TYPE", {"LINear", "LOGarithmic", "POWer", "CW", "SEGMent"}, "LIN"));
    t.add_setting(boolean_setting(":OUTPut[:STATe]", true));
}

}  // namespace zorsim
