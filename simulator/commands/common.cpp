// IEEE 488.2 common commands.
#include "commands.h"

#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>

namespace zorsim {

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
            // Complete once the running sweeps end (checked as messages arrive).
            auto& inst = instrument_of(ctx);
            inst.opc_pending = true;
            update_sweep_status(inst);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            wait_for_sweeps(instrument_of(ctx));
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
    t.add_command("*WAI", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        wait_for_sweeps(instrument_of(ctx));
    });
    // A bus trigger sweeps every channel with a trace (or only the active
    // one, as the trigger scope says); other sources ignore it.
    t.add_command("*TRG", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto& inst = instrument_of(ctx);
        if (inst.settings().get(settings::trigger_source) != settings::trigger_source_t::bus) throw scpi_error(-211);
        if (inst.settings().get(settings::trigger_scope) == settings::trigger_scope_t::active) {
            trigger_sweep(inst, inst.setup.layout.active_channel);
            return;
        }
        for (int channel : inst.setup.layout.channels()) trigger_sweep(inst, channel);
    });
    t.add_query("*OPT?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer("0");
    });
}

}  // namespace zorsim
