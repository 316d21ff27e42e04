// IEEE 488.2 common commands.
#include "commands.h"
#include "instrument.h"

namespace zorsim {

using scpi::context_t;
using scpi::scpi_error;

namespace {

// An 8-bit register value for *ESE / *SRE.
std::uint8_t register_param(context_t& ctx) {
    ctx.expect_params(1, 1);
    std::int64_t v = ctx.integer_param(0);
    if (v < 0 || v > 255) throw scpi_error(-222);
    return static_cast<std::uint8_t>(v);
}

}  // namespace

void register_common_commands(scpi::command_table_t& t) {
    t.add_query("*IDN?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer(instrument_of(ctx).identity);
    });
    t.add_command("*RST", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        instrument_of(ctx).reset();
    });
    t.add_command("*CLS", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        instrument_of(ctx).clear_status();
    });
    t.add(
        "*ESE", [](context_t& ctx) { instrument_of(ctx).ese = register_param(ctx); },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(instrument_of(ctx).ese);
        });
    t.add_query("*ESR?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto& inst = instrument_of(ctx);
        std::uint8_t esr = inst.esr;
        inst.esr = 0;
        ctx.answer_integer(esr);
    });
    t.add(
        "*OPC",
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            // Every operation completes at once here.
            instrument_of(ctx).esr |= esr_operation_complete;
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(1);
        });
    t.add(
        "*SRE",
        [](context_t& ctx) {
            // Bit 6 (MSS) cannot be enabled.
            instrument_of(ctx).sre = static_cast<std::uint8_t>(register_param(ctx) & ~stb_master_summary);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(instrument_of(ctx).sre);
        });
    t.add_query("*STB?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(instrument_of(ctx).status_byte());
    });
    t.add_query("*TST?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(0);
    });
    t.add_command("*WAI", [](context_t& ctx) { ctx.expect_params(0, 0); });
}

}  // namespace zorsim
