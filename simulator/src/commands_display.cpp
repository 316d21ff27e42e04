// DISPlay: selections (a single window, channel and trace so far).
#include "commands.h"

namespace zorsim {

using scpi::context_t;

void register_display_commands(scpi::command_table_t& t) {
    auto answer_one = [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(1);
    };
    t.add_query(":DISPlay:CHANnel:SELect?", answer_one);
    t.add_query(":DISPlay:TRACe:SELect?", answer_one);
    t.add_query(":DISPlay:WINDow:SELect?", answer_one);
}

}  // namespace zorsim
