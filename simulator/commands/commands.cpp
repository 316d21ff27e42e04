#include "commands.h"

#include "instrument.h"

#include <stdexcept>
#include <string>

namespace zorsim {

instrument_t& instrument_of(scpi::context_t& ctx) { return ctx.device_as<instrument_t>(); }

const scpi::setting_t& add_trace_setting(scpi::command_table_t& table, scpi::setting_t setting) {
    const std::string node = ":TRACe#:";
    const std::size_t at = setting.pattern.find(node);
    if (at == std::string::npos) throw std::invalid_argument("no :TRACe#: in " + setting.pattern);
    std::string alias = setting.pattern;
    alias.replace(at, node.size(), ":MEASure#:");
    const scpi::setting_t& stored = table.add_setting(std::move(setting));
    const scpi::command_t& command = *table.commands().back();
    table.add(alias, command.set, command.query);
    return stored;
}

void add_trace_command(scpi::command_table_t& t, const std::string& pattern, scpi::handler_t set, scpi::handler_t query) {
    const std::string node = ":TRACe#:";
    std::string alias = pattern;
    alias.replace(alias.find(node), node.size(), ":MEASure#:");
    t.add(pattern, set, query);
    t.add(alias, set, query);
}

namespace {

scpi::command_table_t* build_table() {
    auto* table = new scpi::command_table_t;
    table->set_suffix_range("SENSe", 1, max_channels);
    table->set_suffix_range("CALCulate", 1, max_channels);
    table->set_suffix_range("CHANnel", 1, max_channels);
    table->set_suffix_range("TRACe", 1, max_traces);
    table->set_suffix_range("WINDow", 1, max_windows);
    table->set_suffix_range("PORT", 1, max_ports);
    table->set_suffix_range("SOURce", 1, max_channels);
    table->set_suffix_range("MEASure", 1, max_traces);
    table->set_suffix_range("PARameter", 1, max_traces);
    table->set_suffix_range("MARKer", 1, max_markers);
    register_common_commands(*table);
    register_system_commands(*table);
    register_stimulus_commands(*table);
    register_calculate_commands(*table);
    register_marker_commands(*table);
    register_limit_commands(*table);
    register_time_domain_commands(*table);
    register_correction_commands(*table);
    register_display_commands(*table);
    register_memory_commands(*table);
    register_simulation_commands(*table);
    return table;
}

}  // namespace

const scpi::command_table_t& command_table() {
    // Never destroyed: analyzers living in statics may outlast it otherwise.
    static const scpi::command_table_t* table = build_table();
    return *table;
}

}  // namespace zorsim
