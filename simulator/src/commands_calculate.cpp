// CALCulate: trace formats.
#include "commands.h"

namespace zorsim {

void register_calculate_commands(scpi::command_table_t& t) {
    t.add_setting(scpi::choice_setting(":CALCulate#:TRACe#:FORMat",
                                       {"MLOGarithmic", "PHASe", "GDELay", "SLINear", "SLOGarithmic", "SCOMplex",
                                        "SMITh", "SADMittance", "PLINear", "PLOGarithmic", "POLar", "MLINear", "SWR",
                                        "REAL", "IMAGinary", "UPHase", "PPHase"},
                                       "MLOG"));
}

}  // namespace zorsim
