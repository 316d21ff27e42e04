#include "commands.h"

#include "instrument.h"

namespace zorsim {

instrument_t& instrument_of(scpi::context_t& ctx) { return ctx.device_as<instrument_t>(); }

namespace {

scpi::command_table_t* build_table() {
    auto* table = new scpi::command_table_t;
    table->set_suffix_range("SENSe", 1, max_channels);
    table->set_suffix_range("CALCulate", 1, max_channels);
    table->set_suffix_range("CHANnel", 1, max_channels);
    table->set_suffix_range("TRACe", 1, max_traces);
    table->set_suffix_range("WINDow", 1, max_windows);
    table->set_suffix_range("PORT", 1, max_ports);
    register_common_commands(*table);
    register_system_commands(*table);
    register_stimulus_commands(*table);
    register_calculate_commands(*table);
    register_display_commands(*table);
    return table;
}

}  // namespace

const scpi::command_table_t& command_table() {
    // Never destroyed: analyzers living in statics may outlast it otherwise.
    static const scpi::command_table_t* table = build_table();
    return *table;
}

}  // namespace zorsim
