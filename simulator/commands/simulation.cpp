// Simulator-only commands (no analyzer has them): the device on the ports,
// the speed of sweeps, and the receiver noise. Listed in the README.
#include "commands.h"

#include <simulator/physics/devices.h>

#include <stdexcept>

namespace zorsim {

namespace {

struct simulation_command_t {
    const char* pattern;
    scpi::handler_t set;
    scpi::handler_t query;
};

simulation_t& simulation_of(context_t& ctx) { return instrument_of(ctx).simulation; }

template <bool simulation_t::*flag>
void set_flag(context_t& ctx) {
    ctx.expect_params(1, 1);
    simulation_of(ctx).*flag = ctx.boolean_param(0);
}

template <bool simulation_t::*flag>
void answer_flag(context_t& ctx) {
    ctx.expect_params(0, 0);
    ctx.answer_boolean(simulation_of(ctx).*flag);
}

}  // namespace

void register_simulation_commands(scpi::command_table_t& t) {
    static const simulation_command_t commands[] = {
        // The device under test: a name with parameters ("bandpass",
        // "line,delay=2e-9,loss=0.3") or a Touchstone file path.
        {":SYSTem:SIMulation:DUT",
         [](context_t& ctx) {
             ctx.expect_params(1, 1);
             try {
                 simulation_of(ctx).dut = physics::make_device(ctx.string_param(0));
             } catch (const std::exception& e) {
                 throw scpi_error(-224, std::string("Illegal parameter value; ") + e.what());
             }
         },
         [](context_t& ctx) {
             ctx.expect_params(0, 0);
             ctx.answer_string(simulation_of(ctx).dut->description());
         }},
        {":SYSTem:SIMulation:DUT:CATalog", nullptr,
         [](context_t& ctx) {
             ctx.expect_params(0, 0);
             std::string names;
             for (const auto& n : physics::device_names()) names += (names.empty() ? "" : ",") + n;
             ctx.answer_string(names);
         }},
        // INSTant sweeps take no time; REALtime (the default) as long as the sweep time says.
        {":SYSTem:SIMulation:SPEed",
         [](context_t& ctx) {
             ctx.expect_params(1, 1);
             simulation_of(ctx).instant = ctx.choice_param(0, {"REALtime", "INSTant"}) == 1;
         },
         [](context_t& ctx) {
             ctx.expect_params(0, 0);
             ctx.answer(simulation_of(ctx).instant ? "INST" : "REAL");
         }},
        {":SYSTem:SIMulation:NOISe", set_flag<&simulation_t::noise>, answer_flag<&simulation_t::noise>},
        // The test set's systematic errors on the raw data (ON by default, as
        // an uncalibrated analyzer measures); OFF makes raw data the device's own.
        {":SYSTem:SIMulation:ERRors", set_flag<&simulation_t::errors>, answer_flag<&simulation_t::errors>},
        {":SYSTem:SIMulation:SEED",
         [](context_t& ctx) {
             ctx.expect_params(1, 1);
             const std::int64_t v = ctx.integer_param(0);
             if (v < 0) throw scpi_error(-222);
             simulation_of(ctx).seed = static_cast<std::uint64_t>(v);
         },
         [](context_t& ctx) {
             ctx.expect_params(0, 0);
             ctx.answer_integer(static_cast<std::int64_t>(simulation_of(ctx).seed));
         }},
    };
    for (const auto& c : commands) t.add(c.pattern, c.set, c.query);
}

}  // namespace zorsim
