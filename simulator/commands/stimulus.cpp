// Stimulus: SENSe frequency range and sweep, SOURce power, averaging,
// triggering and the RF output switch. Everything but the trigger system and
// the output switch is per channel (SENSe# and SOURce# are the channel).
#include "commands.h"

#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>

#include <algorithm>

namespace zorsim {

namespace {

using settings::max_frequency;
using settings::max_power;
using settings::min_frequency;
using settings::min_power;

double start_of(context_t& ctx) { return ctx.settings().get(settings::frequency_start, {ctx.suffix(0)}); }
double stop_of(context_t& ctx) { return ctx.settings().get(settings::frequency_stop, {ctx.suffix(0)}); }

void set_range(context_t& ctx, double start, double stop) {
    ctx.settings().set(settings::frequency_start, {ctx.suffix(0)}, start);
    ctx.settings().set(settings::frequency_stop, {ctx.suffix(0)}, stop);
}

constexpr std::size_t max_segments = 201;
constexpr std::int64_t max_points = 100001;

// :SENSe<ch>:SEGMent:DATA <n>{,<start>,<stop>,<points>,<IF bandwidth>}: the
// segment table, segments in rising frequency without overlap (one may
// start where the last stopped); an IF bandwidth of 0 keeps the channel's.
// A faulty table is refused whole.
void write_segments(context_t& ctx) {
    if (ctx.params().empty()) throw scpi_error(-109);
    const std::int64_t count = ctx.integer_param(0);
    if (count < 0 || count > static_cast<std::int64_t>(max_segments)) throw scpi_error(-222);
    const auto n = static_cast<std::size_t>(count);
    ctx.expect_params(1 + 4 * n, 1 + 4 * n);
    std::vector<physics::segment_t> table(n);
    std::int64_t total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        physics::segment_t& seg = table[i];
        seg.start = ctx.real_param(1 + 4 * i, "HZ");
        seg.stop = ctx.real_param(2 + 4 * i, "HZ");
        const std::int64_t points = ctx.integer_param(3 + 4 * i);
        seg.if_bandwidth = ctx.real_param(4 + 4 * i, "HZ");
        const bool in_range = seg.start >= min_frequency && seg.stop <= max_frequency && seg.start <= seg.stop &&
                              (i == 0 || seg.start >= table[i - 1].stop) && points >= 1 && points <= max_points &&
                              (seg.if_bandwidth == 0 || (seg.if_bandwidth >= 10 && seg.if_bandwidth <= 1e6));
        if (!in_range) throw scpi_error(-222, "Data out of range; segment " + std::to_string(i + 1));
        seg.points = static_cast<int>(points);
        total += points;
    }
    if (total > max_points) throw scpi_error(-222, "Data out of range; more than 100001 points");
    auto& tables = instrument_of(ctx).setup.segment_tables;
    if (table.empty()) tables.erase(ctx.suffix(0));
    else tables[ctx.suffix(0)] = std::move(table);
}

const std::vector<physics::segment_t>& segment_table(context_t& ctx) {
    static const std::vector<physics::segment_t> none;
    const auto& tables = instrument_of(ctx).setup.segment_tables;
    const auto found = tables.find(ctx.suffix(0));
    return found == tables.end() ? none : found->second;
}

void read_segments(context_t& ctx) {
    ctx.expect_params(0, 0);
    const auto& table = segment_table(ctx);
    ctx.answer_integer(static_cast<std::int64_t>(table.size()));
    for (const auto& seg : table) {
        ctx.answer_real(seg.start);
        ctx.answer_real(seg.stop);
        ctx.answer_integer(seg.points);
        ctx.answer_real(seg.if_bandwidth);
    }
}

void answer_service_limit(context_t& ctx, double value) {
    ctx.expect_params(0, 0);
    ctx.answer_real(value);
}

}  // namespace

void register_stimulus_commands(scpi::command_table_t& t) {
    // Start and stop push each other along as a real sweep does: a start
    // above the stop moves the stop up to it, and the other way round.
    t.add_setting(real_setting(settings::frequency_start, 3e5).range(min_frequency, max_frequency).with_unit("HZ").on_change(
        [](context_t& ctx) {
            if (stop_of(ctx) < start_of(ctx)) set_range(ctx, start_of(ctx), start_of(ctx));
        }));
    t.add_setting(real_setting(settings::frequency_stop, 9e9).range(min_frequency, max_frequency).with_unit("HZ").on_change(
        [](context_t& ctx) {
            if (start_of(ctx) > stop_of(ctx)) set_range(ctx, stop_of(ctx), stop_of(ctx));
        }));
    // Center and span are views of start and stop. A new center keeps the
    // span where the frequency limits allow and narrows it where they do not;
    // a new span keeps the center likewise.
    t.add(
        "[:SENSe#]:FREQuency:CENTer",
        [](context_t& ctx) {
            const double center = bounded_param(ctx, min_frequency, max_frequency, "HZ");
            const double half = std::min({(stop_of(ctx) - start_of(ctx)) / 2, center - min_frequency,
                                          max_frequency - center});
            set_range(ctx, center - half, center + half);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real((start_of(ctx) + stop_of(ctx)) / 2);
        });
    t.add(
        "[:SENSe#]:FREQuency:SPAN",
        [](context_t& ctx) {
            const double span = bounded_param(ctx, 0, max_frequency - min_frequency, "HZ");
            const double center = (start_of(ctx) + stop_of(ctx)) / 2;
            const double half = std::min({span / 2, center - min_frequency, max_frequency - center});
            set_range(ctx, center - half, center + half);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real(stop_of(ctx) - start_of(ctx));
        });
    // Independent of the span and the points here (a real sweep would derive it).
    t.add_setting(real_setting(settings::frequency_step, 4.49985e7).range(0, max_frequency).with_unit("HZ"));
    t.add_setting(real_setting(settings::frequency_cw, 1e9).range(min_frequency, max_frequency).with_unit("HZ"));

    t.add_setting(integer_setting(settings::sweep_points, 201).range(2, 100001));
    // The segment table a SEGMent sweep follows (none: it sweeps as LINear);
    // the store behind the command is per channel, so *RST drops it.
    t.add("[:SENSe#]:SEGMent:DATA", write_segments, read_segments);
    t.add_query("[:SENSe#]:SEGMent:COUNt?", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(segment_table(ctx).size()));
    });
    t.add_setting(choice_setting(settings::sweep_type, physics::sweep_type_t::linear)
                      .on_change([](context_t& ctx) { end_time_domain_unless_linear(ctx, ctx.suffix(0)); }));
    // The time one sweep takes: from the points, IF bandwidth, settling and
    // point averaging while automatic; a time given by hand ends that.
    t.add(
        std::string(settings::sweep_time.pattern),
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            const double v = ctx.real_param(0, "S");
            if (!(v >= 0 && v <= 1000)) throw scpi_error(-222);
            ctx.settings().set(settings::sweep_time, {ctx.suffix(0)}, v);
            ctx.settings().set(settings::sweep_time_auto, {ctx.suffix(0)}, false);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real(channel_sweep_time(instrument_of(ctx), ctx.suffix(0)));
        });
    t.add_setting(real_setting(settings::sweep_time, 0.0).range(0, 1000).with_unit("S").on_change([](context_t& ctx) {
        ctx.settings().set(settings::sweep_time_auto, {ctx.suffix(0)}, false);
    }));
    t.add_setting(boolean_setting(settings::sweep_time_auto, true));
    t.add_setting(real_setting(settings::sweep_delay, 0.0).range(0, 100).with_unit("S"));
    // SINGle takes one sweep, then holds.
    t.add_setting(choice_setting(settings::sweep_mode, settings::sweep_mode_t::continuous)
                      .on_change([](context_t& ctx) {
                          if (ctx.settings().get(settings::sweep_mode, {ctx.suffix(0)}) == settings::sweep_mode_t::single)
                              trigger_sweep(instrument_of(ctx), ctx.suffix(0));
                      }));

    t.add_setting(real_setting(settings::source_power, 0.0).range(min_power, max_power).with_unit("DBM"));
    t.add_setting(real_setting(settings::source_power_start, -10.0).range(min_power, max_power).with_unit("DBM"));
    t.add_setting(real_setting(settings::source_power_stop, 0.0).range(min_power, max_power).with_unit("DBM"));
    t.add_setting(real_setting(settings::source_power_slope, 0.0).range(-2, 2));  // dB/GHz
    t.add_setting(boolean_setting(settings::source_power_slope_state, false));
    t.add_setting(boolean_setting(settings::source_port_coupling, true));
    t.add_setting(boolean_setting(settings::output_state, true));

    t.add_setting(boolean_setting(settings::averaging, false));
    t.add_setting(integer_setting(settings::average_count, 16).range(1, 999));
    // SWEep averages successive sweeps, POINt each point before the next.
    t.add_setting(choice_setting(settings::average_mode, settings::average_mode_t::sweep));
    t.add_command("[:SENSe#]:AVERage:CLEar", [](context_t& ctx) { ctx.expect_params(0, 0); });
    t.add_setting(real_setting(settings::if_bandwidth, 1e4).range(10, 1e6).with_unit("HZ"));

    t.add_setting(choice_setting(settings::trigger_source, settings::trigger_source_t::internal));
    t.add_setting(choice_setting(settings::trigger_scope, settings::trigger_scope_t::all));
    t.add_setting(choice_setting(settings::trigger_slope, 0));
    t.add_setting(real_setting(settings::trigger_delay, 0.0).range(0, 1).with_unit("S"));
    t.add_setting(choice_setting(settings::trigger_output_polarity, 0));
    // A triggered sweep ends on its own; aborting ends the running ones now.
    t.add_command(":ABORt", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        abort_sweeps(instrument_of(ctx));
    });
    t.add_command(":INITiate#[:IMMediate]", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        trigger_sweep(instrument_of(ctx), ctx.suffix(0));
    });
    // One sweep of the active channel, whatever the trigger source.
    t.add_command(":TRIGger[:SEQuence]:SINGle", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        auto& inst = instrument_of(ctx);
        trigger_sweep(inst, inst.setup.layout.active_channel);
    });
    // The stimulus value of every point of the channel (Hz; the x axis of
    // CW-time and power sweeps at CALCulate:TRACe:DATA:XAXis?).
    t.add_query("[:SENSe#]:FREQuency:DATA?", [](context_t& ctx) {
        answer_values(ctx, channel_sweep(instrument_of(ctx), ctx.suffix(0)).corrected.frequency);
    });
    // The frequency limits, under the node spelling the service menu uses.
    t.add_query(":SERVice:SWEep:FREQency:MINimum?", [](context_t& ctx) { answer_service_limit(ctx, min_frequency); });
    t.add_query(":SERVice:SWEep:FREQency:MAXimum?", [](context_t& ctx) { answer_service_limit(ctx, max_frequency); });
}

}  // namespace zorsim
