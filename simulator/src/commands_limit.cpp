// CALCulate limit, ripple-limit and bandwidth-limit tests, per channel and
// trace, and the limit table.
#include "commands.h"
#include "instrument.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::context_t;
using scpi::real_setting;
using scpi::scpi_error;

namespace {

constexpr int max_limit_segments = 100;
constexpr std::size_t fields_per_segment = 5;  // type, start and stop stimulus, start and stop response

void set_limit_table(context_t& ctx) {
    // "<n>,<segment 1>,...,<segment n>", each segment five numbers; the type
    // is 0 (off), 1 (upper) or 2 (lower).
    const auto& params = ctx.params();
    if (params.empty()) throw scpi_error(-109);
    const std::int64_t count = ctx.integer_param(0);
    if (count < 0 || count > max_limit_segments) throw scpi_error(-222);
    const std::size_t expected = 1 + static_cast<std::size_t>(count) * fields_per_segment;
    if (params.size() < expected) throw scpi_error(-109);
    if (params.size() > expected) throw scpi_error(-108);
    std::string text = scpi::format_integer(count);
    for (std::size_t i = 1; i < expected; ++i) {
        text += ',';
        if ((i - 1) % fields_per_segment == 0) {
            const std::int64_t type = ctx.integer_param(i);
            if (type < 0 || type > 2) throw scpi_error(-222);
            text += scpi::format_integer(type);
        } else {
            text += scpi::format_real(ctx.real_param(i));
        }
    }
    instrument_of(ctx).limit_tables[{ctx.suffix(0), ctx.suffix(1)}] = text;
}

void answer_limit_table(context_t& ctx) {
    ctx.expect_params(0, 0);
    const auto& tables = instrument_of(ctx).limit_tables;
    auto it = tables.find({ctx.suffix(0), ctx.suffix(1)});
    ctx.answer(it == tables.end() ? "0" : it->second);
}

}  // namespace

void register_limit_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:LIMit[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:LIMit:DISPlay[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:LIMit:SOUNd[:STATe]", false));
    t.add(":CALCulate#:TRACe#:LIMit:DATA", set_limit_table, answer_limit_table);
    t.add(":CALCulate#:MEASure#:LIMit:DATA", set_limit_table, answer_limit_table);

    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:RLIMit[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:RLIMit:DISPlay:LINE", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:RLIMit:SOUNd[:STATe]", false));

    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:BLIMit[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:BLIMit:DISPlay:VALue", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:BLIMit:DISPlay:MARKer", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:BLIMit:DB", 3.0).range(0, 500).with_unit("DB"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:BLIMit:MINimum", 1e4).range(0, 1e12).with_unit("HZ"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:BLIMit:MAXimum", 9e9).range(0, 1e12).with_unit("HZ"));
}

}  // namespace zorsim
