// CALCulate: what a trace measures and how it is computed and shown:
// parameter, format, conversion, math and memory, offsets, electrical delay,
// smoothing, statistics, the equation editor and the measurement class, and
// the trace data itself (corrected, formatted and memory).
// Values are per channel and trace number (TRACe# or MEASure#).
#include "commands.h"
#include "measurement.h"
#include "physics/equation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::integer_setting;
using scpi::real_setting;
using scpi::scpi_error;
using scpi::string_setting;

namespace {

constexpr int settings_conflict = -221;

const char* const format_key = ":CALCulate#:TRACe#:FORMat";
const char* const statistics_type_key = ":CALCulate#:TRACe#:FUNCtion:TYPE";
const char* const range_start_key = ":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STARt";
const char* const range_stop_key = ":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STOP";

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

void store(context_t& ctx, const char* which, const values_t& values) {
    store_values(instrument_of(ctx), which, ctx.suffix(0), ctx.suffix(1), values);
}

values_t corrected(context_t& ctx) { return pairs_of(corrected_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1))); }

values_t formatted(context_t& ctx) { return trace_view(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1)).formatted; }

using physics::statistics;
using physics::statistics_t;

void refuse_invalid_equation(const std::string& text, int code) {
    if (text.empty()) return;
    const auto equation = physics::equation_t::compile(text);
    if (!equation.valid()) throw scpi_error(code, std::string(scpi::error_message(code)) + "; equation: " + equation.error());
}

void memorize(context_t& ctx) {
    ctx.expect_params(0, 0);
    store(ctx, memory_store, corrected(ctx));
}

values_t written(context_t& ctx) { return values_param(ctx, 2 * points_now(ctx)); }

}  // namespace

void register_calculate_commands(scpi::command_table_t& t) {
    // The measured parameter answers as a bare word ("S21"), like any other
    // mnemonic. Traces 1..4 start as S11, S21, S12, S22, and so on round.
    t.add_setting(choice_setting(":CALCulate#:PARameter#:DEFine", {"S11", "S21", "S12", "S22"}, "S11")
                      .with_default_for([](const std::vector<int>& s) -> scpi::setting_value_t {
                          return static_cast<std::int64_t>((s.at(1) - 1) % 4);
                      }));
    // Formatted data written by hand belongs to the format it was written
    // in: a new format shows the corrected data again.
    add_trace_setting(t, choice_setting(format_key,
                                        {"MLOGarithmic", "PHASe", "GDELay", "SLINear", "SLOGarithmic", "SCOMplex",
                                         "SMITh", "SADMittance", "PLINear", "PLOGarithmic", "POLar", "MLINear", "SWR",
                                         "REAL", "IMAGinary", "UPHase", "PPHase"},
                                        "MLOG")
                             .on_change([](context_t& ctx) { store(ctx, formatted_store, {}); }));
    register_data_format_commands(t);
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:CONVersion[:STATe]", false));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:CONVersion:FUNCtion",
                                        {"OFF", "ZREFlection", "ZTRansmit", "ZTSHunt", "YREFlection", "YTRansmit",
                                         "YTSHunt", "INVersion", "CONJugation"},
                                        "ZREF"));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MATH:FUNCtion", {"NORMal", "ADD", "SUBTract", "MULTiply", "DIVide"}, "NORM"));
    // Both store the present corrected data as the trace's memory.
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:MEMorize", memorize, nullptr);
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:NORMalize", memorize, nullptr);
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude", 0.0).range(-1000, 1000).with_unit("DB"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude:SLOPe", 0.0).range(-1e6, 1e6));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:OFFSet:PHASe", 0.0).range(-360, 360));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:EDELay[:TIME]", 0.0).range(-10, 10).with_unit("S"));
    // EDELay:DISTance and :UNIT are views of the time (commands_time_domain.cpp).
    // Port extensions move each port's reference plane out by a delay.
    t.add_setting(boolean_setting("[:SENSe#]:CORRection:EXTension[:STATe]", false));
    t.add_setting(real_setting("[:SENSe#]:CORRection:EXTension:PORT#:TIME", 0.0).range(-10, 10).with_unit("S"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:SMOothing[:STATe]", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:SMOothing:APERture", 1.5).range(0.05, 25));  // % of span
    add_trace_setting(t, integer_setting(":CALCulate#:TRACe#:SMOothing:POINts", 3).range(1, 100001));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MSTatistics[:STATe]", false));
    // An equation replaces the trace's data (see physics/equation.h). Any
    // text may be stored while the equation is off (VALid? tells); switching
    // on a text that does not compile, or storing one while on, is refused.
    // An empty text is no equation: on, it leaves the data as they are (so a
    // program may switch on first and send the text next).
    add_trace_setting(t, boolean_setting(equation_state_key, false).with_check([](context_t& ctx, const auto& value) {
        if (std::get<bool>(value)) refuse_invalid_equation(ctx.settings().text(equation_text_key, trace_of(ctx)), -221);
    }));
    // Equations are strings: sent and answered between quotes.
    add_trace_setting(t, string_setting(equation_text_key, "").with_check([](context_t& ctx, const auto& value) {
        if (ctx.settings().boolean(equation_state_key, trace_of(ctx)))
            refuse_invalid_equation(std::get<std::string>(value), -224);
    }));
    add_trace_command(t, ":CALCulate#:TRACe#:EQUation:VALid", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(physics::equation_t::compile(ctx.settings().text(equation_text_key, trace_of(ctx))).valid());
    });
    // The measurement class of a channel, answered as a bare word.
    t.add_setting(choice_setting(":CALCulate#:INSTrument", {"SPARameter"}, "SPAR"));

    // ---- trace data, two values per point, as many points as the channel
    // sweeps. Corrected data are complex; formatted data follow the format.
    // Writing corrected data re-formats; writing formatted data holds them.
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SDATa",
        [](context_t& ctx) {
            store(ctx, corrected_store, written(ctx));
            store(ctx, formatted_store, {});
        },
        [](context_t& ctx) { answer_values(ctx, corrected_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1))); });
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:FDATa", [](context_t& ctx) { store(ctx, formatted_store, written(ctx)); },
        [](context_t& ctx) { answer_values(ctx, formatted(ctx)); });
    // The memory trace; zeros until something was stored.
    auto memory = [](context_t& ctx) {
        values_t values;
        const std::size_t n = points_now(ctx);
        if (!stored_values(instrument_of(ctx), memory_store, ctx.suffix(0), ctx.suffix(1), 2 * n, values))
            values.assign(2 * n, 0.0);
        return values;
    };
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SMEMory", [](context_t& ctx) { store(ctx, memory_store, written(ctx)); },
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
    // The stores sit behind the data commands above: the first pattern that
    // matches wins, so no client reaches them.
    t.add_setting(string_setting(":CALCulate#:TRACe#:DATA:SDATa", "").with_key(corrected_store));
    t.add_setting(string_setting(":CALCulate#:TRACe#:DATA:FDATa", "").with_key(formatted_store));
    t.add_setting(string_setting(":CALCulate#:TRACe#:DATA:SMEMory", "").with_key(memory_store));

    // ---- statistics of the formatted trace: the display's mean, standard
    // deviation and peak-to-peak over every point, and one of them, chosen
    // by FUNCtion:TYPE, over the user range (the whole trace unless the
    // range's stop lies above its start).
    add_trace_command(t, ":CALCulate#:TRACe#:MSTatistics:DATA", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const values_t values = formatted(ctx);
        const std::size_t n = values.size() / 2;
        const statistics_t s = n == 0 ? statistics_t{} : statistics(values, 0, n - 1);
        ctx.answer_real(s.mean);
        ctx.answer_real(s.deviation);
        ctx.answer_real(s.peak_to_peak);
    });
    add_trace_setting(t, choice_setting(statistics_type_key, {"PTPeak", "STDEV", "MEAN"}, "PTP"));
    add_trace_setting(t, real_setting(range_start_key, 0.0).range(-1e12, 1e12));
    add_trace_setting(t, real_setting(range_stop_key, 0.0).range(-1e12, 1e12));
    add_trace_command(t, ":CALCulate#:TRACe#:FUNCtion:DATA", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const trace_view_t view = trace_view(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
        const values_t& values = view.formatted;
        const std::size_t n = values.size() / 2;
        const double lo = ctx.settings().real(range_start_key, trace_of(ctx));
        const double hi = ctx.settings().real(range_stop_key, trace_of(ctx));
        if (n == 0) throw scpi_error(settings_conflict);
        std::size_t first = 0, last = n - 1;
        if (hi > lo) {
            first = n;
            for (std::size_t k = 0; k < n; ++k) {
                const double x = view.x[k];
                if (x < lo || x > hi) continue;
                if (first == n) first = k;
                last = k;
            }
            if (first == n) throw scpi_error(settings_conflict);  // no point in the range
        }
        const statistics_t s = statistics(values, first, last);
        const std::string type = ctx.settings().keyword(statistics_type_key, trace_of(ctx));
        ctx.answer_real(type == "MEAN" ? s.mean : type == "STDEV" ? s.deviation : s.peak_to_peak);
    });
}

}  // namespace zorsim
