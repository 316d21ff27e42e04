// MMEMory: the instrument's own files and folders.
#include "commands.h"
#include "instrument.h"

namespace zorsim {

void register_memory_commands(scpi::command_table_t& table) { (void)table; }

}  // namespace zorsim
