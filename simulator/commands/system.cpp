// SYSTem (error queue, preset), STATus (OPERation and QUEStionable registers)
// and the capability queries of the SERVice node.
#include "commands.h"

#include <simulator/instrument/settings.h>

namespace zorsim {

namespace {

void answer_next_error(context_t& ctx) {
    ctx.expect_params(0, 0);
    auto e = instrument_of(ctx).errors.pop();
    if (!e) {
        ctx.answer("0," + scpi::quote_string("No error"));
        return;
    }
    ctx.answer(std::to_string(e->code) + "," + scpi::quote_string(e->message));
}

std::uint16_t register_value(context_t& ctx) {
    ctx.expect_params(1, 1);
    std::int64_t v = ctx.integer_param(0);
    if (v < 0 || v > 65535) throw scpi_error(-222);
    return static_cast<std::uint16_t>(v & 0x7FFF);
}

using register_of_t = status_register_t& (*)(instrument_t&);

// CONDition?, [:EVENt]?, ENABle, PTRansition, NTRansition of one register.
void add_status_register(scpi::command_table_t& t, const std::string& root, register_of_t reg) {
    t.add_query(root + ":CONDition?", [reg](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(reg(instrument_of(ctx)).condition);
    });
    t.add_query(root + "[:EVENt]?", [reg](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(reg(instrument_of(ctx)).read_event());
    });
    auto add_field = [&](const std::string& node, std::uint16_t status_register_t::*field) {
        t.add(
            root + node,
            [reg, field](context_t& ctx) { reg(instrument_of(ctx)).*field = register_value(ctx); },
            [reg, field](context_t& ctx) {
                ctx.expect_params(0, 0);
                ctx.answer_integer(reg(instrument_of(ctx)).*field);
            });
    };
    add_field(":ENABle", &status_register_t::enable);
    add_field(":PTRansition", &status_register_t::ptransition);
    add_field(":NTRansition", &status_register_t::ntransition);
}

}  // namespace

void register_system_commands(scpi::command_table_t& t) {
    t.add_query(":SYSTem:ERRor[:NEXT]?", answer_next_error);
    t.add_query(":SYSTem:ERRor:COUNt?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(instrument_of(ctx).errors.size()));
    });
    t.add_query(":SYSTem:ERRor:ALL?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto& inst = instrument_of(ctx);
        if (inst.errors.empty()) ctx.answer("0," + scpi::quote_string("No error"));
        while (auto e = inst.errors.pop()) ctx.answer(std::to_string(e->code) + "," + scpi::quote_string(e->message));
    });
    t.add_query(":SYSTem:VERSion?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer("1999.0");
    });
    t.add_command(":SYSTem:PRESet", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        instrument_of(ctx).reset();
    });

    add_status_register(t, ":STATus:OPERation", [](instrument_t& i) -> status_register_t& { return i.operation; });
    add_status_register(t, ":STATus:QUEStionable",
                        [](instrument_t& i) -> status_register_t& { return i.questionable; });
    t.add_command(":STATus:PRESet", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto& inst = instrument_of(ctx);
        inst.operation.preset();
        inst.questionable.preset();
    });
    t.add_query(":STATus:QUEue[:NEXT]?", answer_next_error);

    // Capabilities under the service menu's nodes, taken from the limits the
    // other commands enforce so the two cannot disagree.
    t.add_query(":SERVice:SWEep:POINts?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const scpi::setting_t* points = ctx.device().table().find_setting(settings::sweep_points.pattern);
        if (points == nullptr || !points->has_range) throw scpi_error(-300);
        ctx.answer_integer(static_cast<std::int64_t>(points->max));
    });
    t.add_query(":SERVice:CHANnel:COUNt?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(settings::max_channels);
    });
}

}  // namespace zorsim
