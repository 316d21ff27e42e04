#include "commands.h"

#include <simulator/instrument/settings.h>

#include <stdexcept>
#include <string>

namespace zorsim {

instrument_t& instrument_of(scpi::context_t& ctx) { return ctx.device_as<instrument_t>(); }

namespace {

std::string measure_alias(const std::string& pattern) {
    const std::string node = ":TRACe#:";
    const std::size_t at = pattern.find(node);
    if (at == std::string::npos) throw std::invalid_argument("no :TRACe#: in " + pattern);
    std::string alias = pattern;
    alias.replace(at, node.size(), ":MEASure#:");
    return alias;
}

command_set_t* build_commands() {
    auto* set = new command_set_t;
    scpi::command_table_t& table = set->table;
    table.set_suffix_range("SENSe", 1, settings::max_channels);
    table.set_suffix_range("CALCulate", 1, settings::max_channels);
    table.set_suffix_range("CHANnel", 1, settings::max_channels);
    table.set_suffix_range("TRACe", 1, settings::max_traces);
    table.set_suffix_range("WINDow", 1, settings::max_windows);
    table.set_suffix_range("PORT", 1, settings::max_ports);
    table.set_suffix_range("SOURce", 1, settings::max_channels);
    table.set_suffix_range("MEASure", 1, settings::max_traces);
    table.set_suffix_range("PARameter", 1, settings::max_traces);
    table.set_suffix_range("MARKer", 1, settings::max_markers);
    register_common_commands(table);
    register_system_commands(table);
    register_stimulus_commands(table);
    register_format_commands(table);
    register_calculate_commands(table);
    register_marker_commands(*set);
    register_limit_commands(table);
    register_time_domain_commands(table);
    register_correction_commands(table);
    register_kit_commands(table);
    register_display_commands(table);
    register_memory_commands(table);
    register_simulation_commands(table);
    return set;
}

}  // namespace

const scpi::setting_t& add_trace_setting(scpi::command_table_t& table, scpi::setting_t setting) {
    const std::string alias = measure_alias(setting.pattern);
    const scpi::setting_t& stored = table.add_setting(std::move(setting));
    const scpi::command_t& command = *table.commands().back();
    table.add(alias, command.set, command.query);
    return stored;
}

void add_trace_command(scpi::command_table_t& table, const std::string& pattern, scpi::handler_t set,
                       scpi::handler_t query) {
    table.add(pattern, set, query);
    table.add(measure_alias(pattern), set, query);
}

double bounded_param(context_t& ctx, double lo, double hi, std::string_view unit) {
    ctx.expect_params(1, 1);
    if (ctx.is_word(0, "MINimum")) return lo;
    if (ctx.is_word(0, "MAXimum")) return hi;
    if (ctx.param(0).type == scpi::param_type_t::character) throw scpi_error(-224);
    const double v = ctx.real_param(0, unit);
    if (!(v >= lo && v <= hi)) throw scpi_error(-222);
    return v;
}

const command_set_t& analyzer_commands() {
    // Never destroyed: analyzers living in statics may outlast it otherwise.
    static const command_set_t* set = build_commands();
    return *set;
}

}  // namespace zorsim
