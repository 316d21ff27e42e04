// CALCulate: what a trace measures and how it is computed and shown:
// parameter, format, conversion, math and memory, offsets, electrical delay,
// smoothing, statistics, the equation editor and the measurement class, and
// the trace data itself (corrected, formatted and memory).
// Values are per channel and trace number (TRACe# or MEASure#).
#include "commands.h"

#include <simulator/analysis/statistics.h>
#include <simulator/instrument/measurement.h>
#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>
#include <simulator/physics/equation.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim {

namespace {

constexpr int settings_conflict = -221;

using values_t = std::vector<double>;  // pairs: (re, im) or (value, second value)

std::vector<int> trace_of(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }

values_t pairs_of(const std::vector<physics::complex_t>& data) {
    values_t out(2 * data.size());
    for (std::size_t k = 0; k < data.size(); ++k) {
        out[2 * k] = data[k].real();
        out[2 * k + 1] = data[k].imag();
    }
    return out;
}

std::size_t points_now(context_t& ctx) { return channel_sweep(instrument_of(ctx), ctx.suffix(0)).x.size(); }

void store(context_t& ctx, written_member_t which, values_t values) {
    instrument_of(ctx).setup.written[{ctx.suffix(0), ctx.suffix(1)}].*which = std::move(values);
}

values_t corrected(context_t& ctx) { return pairs_of(corrected_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1))); }

values_t formatted(context_t& ctx) { return trace_view(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1)).formatted; }

// The first value of each point of formatted data.
std::vector<double> first_values(const values_t& formatted) {
    std::vector<double> out(formatted.size() / 2);
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = formatted[2 * k];
    return out;
}

void refuse_invalid_equation(const std::string& text, int code) {
    if (text.empty()) return;
    const auto equation = physics::equation_t::compile(text);
    if (!equation.valid()) throw scpi_error(code, std::string(scpi::error_message(code)) + "; equation: " + equation.error());
}

void memorize(context_t& ctx) {
    ctx.expect_params(0, 0);
    store(ctx, &written_data_t::memory, corrected(ctx));
}

values_t written(context_t& ctx) { return values_param(ctx, 2 * points_now(ctx)); }

}  // namespace

void register_calculate_commands(scpi::command_table_t& t) {
    // The measured parameter answers as a bare word ("S21"), like any other
    // mnemonic. Traces 1..4 start as S11, S21, S12, S22, and so on round.
    t.add_setting(choice_setting(settings::parameter, 0).with_default_for([](const std::vector<int>& s) -> scpi::setting_value_t {
        return static_cast<std::int64_t>((s.at(1) - 1) % 4);
    }));
    // Formatted data written by hand belongs to the format it was written
    // in: a new format shows the corrected data again.
    add_trace_setting(t, choice_setting(settings::format, physics::format_t::mlog).on_change([](context_t& ctx) {
        store(ctx, &written_data_t::formatted, {});
    }));
    add_trace_setting(t, boolean_setting(settings::conversion, false));
    add_trace_setting(t, choice_setting(settings::conversion_function, 1));
    add_trace_setting(t, choice_setting(settings::math, physics::math_t::normal));
    // Both store the present corrected data as the trace's memory.
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:MEMorize", memorize, nullptr);
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:NORMalize", memorize, nullptr);
    add_trace_setting(t, real_setting(settings::magnitude_offset, 0.0).range(-1000, 1000).with_unit("DB"));
    add_trace_setting(t, real_setting(settings::magnitude_slope, 0.0).range(-1e6, 1e6));
    add_trace_setting(t, real_setting(settings::phase_offset, 0.0).range(-360, 360));
    add_trace_setting(t, real_setting(settings::electrical_delay, 0.0).range(-10, 10).with_unit("S"));
    // EDELay:DISTance and :UNIT are views of the time (time_domain.cpp).
    // Port extensions move each port's reference plane out by a delay.
    t.add_setting(boolean_setting(settings::port_extensions, false));
    t.add_setting(real_setting(settings::port_extension, 0.0).range(-10, 10).with_unit("S"));
    add_trace_setting(t, boolean_setting(settings::smoothing, false));
    add_trace_setting(t, real_setting(settings::smoothing_aperture, 1.5).range(0.05, 25));
    add_trace_setting(t, integer_setting(settings::smoothing_points, 3).range(1, 100001));
    add_trace_setting(t, boolean_setting(settings::statistics_shown, false));
    // An equation replaces the trace's data (see physics/equation.h). Any
    // text may be stored while the equation is off (VALid? tells); switching
    // on a text that does not compile, or storing one while on, is refused.
    // An empty text is no equation: on, it leaves the data as they are (so a
    // program may switch on first and send the text next).
    add_trace_setting(t, boolean_setting(settings::equation_state, false).with_check([](context_t& ctx, const auto& value) {
        if (std::get<bool>(value)) refuse_invalid_equation(ctx.settings().get(settings::equation_text, trace_of(ctx)), -221);
    }));
    // Equations are strings: sent and answered between quotes.
    add_trace_setting(t, string_setting(settings::equation_text, "").with_check([](context_t& ctx, const auto& value) {
        if (ctx.settings().get(settings::equation_state, trace_of(ctx)))
            refuse_invalid_equation(std::get<std::string>(value), -224);
    }));
    add_trace_command(t, ":CALCulate#:TRACe#:EQUation:VALid", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(physics::equation_t::compile(ctx.settings().get(settings::equation_text, trace_of(ctx))).valid());
    });
    // The measurement class of a channel, answered as a bare word.
    t.add_setting(choice_setting(settings::measurement_class, 0));

    // ---- trace data, two values per point, as many points as the channel
    // sweeps. Corrected data are complex; formatted data follow the format.
    // Writing corrected data re-formats; writing formatted data holds them.
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SDATa",
        [](context_t& ctx) {
            store(ctx, &written_data_t::corrected, written(ctx));
            store(ctx, &written_data_t::formatted, {});
        },
        [](context_t& ctx) { answer_values(ctx, corrected_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1))); });
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:FDATa", [](context_t& ctx) { store(ctx, &written_data_t::formatted, written(ctx)); },
        [](context_t& ctx) { answer_values(ctx, formatted(ctx)); });
    // The memory trace; zeros until something was stored.
    auto memory = [](context_t& ctx) {
        const std::size_t n = points_now(ctx);
        const auto* values = written_values(instrument_of(ctx), &written_data_t::memory, ctx.suffix(0), ctx.suffix(1), 2 * n);
        return values != nullptr ? *values : values_t(2 * n, 0.0);
    };
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SMEMory", [](context_t& ctx) { store(ctx, &written_data_t::memory, written(ctx)); },
        [memory](context_t& ctx) { answer_values(ctx, memory(ctx)); });
    add_trace_command(t, ":CALCulate#:TRACe#:DATA:FMEMory", nullptr, [memory](context_t& ctx) {
        const values_t m = memory(ctx);
        std::vector<physics::complex_t> data(m.size() / 2);
        for (std::size_t k = 0; k < data.size(); ++k) data[k] = {m[2 * k], m[2 * k + 1]};
        auto& inst = instrument_of(ctx);
        const auto& sweep = channel_sweep(inst, ctx.suffix(0));
        answer_values(ctx, formatted_of(inst, ctx.suffix(0), ctx.suffix(1), data, sweep.corrected.frequency));
    });
    // The x axis the trace shows: Hz, seconds (CW time, or the time domain)
    // or dBm (power sweep).
    add_trace_command(t, ":CALCulate#:TRACe#:DATA:XAXis", nullptr, [](context_t& ctx) {
        answer_values(ctx, trace_axis(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1)));
    });

    // ---- statistics of the formatted trace: the display's mean, standard
    // deviation and peak-to-peak over every point, and one of them, chosen
    // by FUNCtion:TYPE, over the user range (the whole trace unless the
    // range's stop lies above its start).
    add_trace_command(t, ":CALCulate#:TRACe#:MSTatistics:DATA", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const std::vector<double> values = first_values(formatted(ctx));
        const auto s = values.empty() ? analysis::statistics_t{} : analysis::statistics(values, 0, values.size() - 1);
        ctx.answer_real(s.mean);
        ctx.answer_real(s.deviation);
        ctx.answer_real(s.peak_to_peak);
    });
    add_trace_setting(t, choice_setting(settings::statistics_type, settings::statistic_t::peak_to_peak));
    add_trace_setting(t, real_setting(settings::statistics_start, 0.0).range(-1e12, 1e12));
    add_trace_setting(t, real_setting(settings::statistics_stop, 0.0).range(-1e12, 1e12));
    add_trace_command(t, ":CALCulate#:TRACe#:FUNCtion:DATA", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const trace_view_t view = trace_view(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
        const std::vector<double> values = first_values(view.formatted);
        const double lo = ctx.settings().get(settings::statistics_start, trace_of(ctx));
        const double hi = ctx.settings().get(settings::statistics_stop, trace_of(ctx));
        if (values.empty()) throw scpi_error(settings_conflict);
        std::size_t first = 0, last = values.size() - 1;
        if (hi > lo && !analysis::points_within(view.x, lo, hi, first, last))
            throw scpi_error(settings_conflict);  // no point in the range
        const auto s = analysis::statistics(values, first, last);
        switch (ctx.settings().get(settings::statistics_type, trace_of(ctx))) {
            case settings::statistic_t::mean: return ctx.answer_real(s.mean);
            case settings::statistic_t::deviation: return ctx.answer_real(s.deviation);
            case settings::statistic_t::peak_to_peak: return ctx.answer_real(s.peak_to_peak);
        }
    });
}

}  // namespace zorsim
