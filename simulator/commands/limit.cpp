// CALCulate limit, ripple-limit and bandwidth-limit tests, per channel and
// trace: the switches, the limit and ripple tables (kept as numbers), and
// the pass/fail flags and reports, evaluated on the trace's formatted data.
#include "commands.h"
#include "limit.h"

#include <simulator/analysis/band.h>
#include <simulator/analysis/limits.h>
#include <simulator/instrument/readings.h>
#include <simulator/instrument/settings.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace zorsim {

namespace {

constexpr std::int64_t max_limit_segments = 100;
constexpr std::size_t limit_fields = 5;   // type, start and stop stimulus, start and stop response
constexpr std::size_t ripple_fields = 4;  // type, start and stop stimulus, largest ripple allowed
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();  // answered as 9.91E37

trace_key_t trace_key(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }
std::vector<int> at_trace(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }

// "<n>,<segment 1>,...,<segment n>": each segment `fields` numbers of which
// the first is its type, at most `max_type`. `number(i, integer)` gives the
// i-th number (rounded to an integer when asked) or throws; `available`
// says how many there are. Checked in order, as a table arrives.
template <class Number>
std::vector<double> read_table(std::size_t available, Number number, std::size_t fields, std::int64_t max_type) {
    const double count = number(0, true);
    if (count < 0 || count > max_limit_segments) throw scpi_error(-222);
    const std::size_t expected = 1 + static_cast<std::size_t>(count) * fields;
    if (available < expected) throw scpi_error(-109);
    if (available > expected) throw scpi_error(-108);
    std::vector<double> numbers{count};
    for (std::size_t i = 1; i < expected; ++i) {
        const bool type = (i - 1) % fields == 0;
        const double v = number(i, type);
        if (type && (v < 0 || v > static_cast<double>(max_type))) throw scpi_error(-222);
        numbers.push_back(v);
    }
    return numbers;
}

std::vector<double> table_params(const context_t& ctx, std::size_t fields, std::int64_t max_type) {
    return read_table(
        ctx.params().size(),
        [&ctx](std::size_t i, bool integer) {
            return integer ? static_cast<double>(ctx.integer_param(i)) : ctx.real_param(i);
        },
        fields, max_type);
}

const std::vector<analysis::limit_segment_t>& limit_table(const instrument_t& inst, trace_key_t trace) {
    static const std::vector<analysis::limit_segment_t> none;
    const auto found = inst.setup.limit_tables.find(trace);
    return found == inst.setup.limit_tables.end() ? none : found->second;
}

const std::vector<analysis::ripple_segment_t>& ripple_table(const instrument_t& inst, trace_key_t trace) {
    static const std::vector<analysis::ripple_segment_t> none;
    const auto found = inst.setup.ripple_tables.find(trace);
    return found == inst.setup.ripple_tables.end() ? none : found->second;
}

std::vector<analysis::point_verdict_t> limit_test_of(context_t& ctx) {
    instrument_t& inst = instrument_of(ctx);
    return limit_report(inst, formatted_trace(inst, ctx.suffix(0), ctx.suffix(1)), ctx.suffix(0), ctx.suffix(1));
}

std::vector<double> failed_points(context_t& ctx) {
    std::vector<double> x;
    for (const auto& p : limit_test_of(ctx))
        if (p.result == analysis::verdict_t::fail) x.push_back(p.x);
    return x;
}

std::vector<analysis::ripple_verdict_t> ripple_test_of(context_t& ctx) {
    instrument_t& inst = instrument_of(ctx);
    return analysis::ripple_test(formatted_trace(inst, ctx.suffix(0), ctx.suffix(1)),
                                 ripple_table(inst, trace_key(ctx)), ctx.settings().get(settings::ripple_test, at_trace(ctx)));
}

// The width of the band around the trace's peak where it stays within
// BLIMit:DB below the peak; NaN when the band reaches past either end of
// the sweep.
double bandwidth(context_t& ctx) {
    const analysis::trace_t t = formatted_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
    if (t.y.empty()) return not_a_number;
    const auto peak = static_cast<std::size_t>(std::max_element(t.y.begin(), t.y.end()) - t.y.begin());
    const double below = ctx.settings().get(settings::bandwidth_test_db, at_trace(ctx));
    return analysis::band_around(t, peak, t.y[peak], -below, false).width;
}

bool bandwidth_fails(context_t& ctx) {
    if (!ctx.settings().get(settings::bandwidth_test, at_trace(ctx))) return false;
    const double bw = bandwidth(ctx);
    return std::isnan(bw) || bw < ctx.settings().get(settings::bandwidth_test_minimum, at_trace(ctx)) ||
           bw > ctx.settings().get(settings::bandwidth_test_maximum, at_trace(ctx));
}

void set_ripple_table(context_t& ctx) {
    const std::vector<double> numbers = table_params(ctx, ripple_fields, 1);
    std::vector<analysis::ripple_segment_t> table;
    for (std::size_t i = 1; i < numbers.size(); i += ripple_fields)
        table.push_back({numbers[i] != 0, numbers[i + 1], numbers[i + 2], numbers[i + 3]});
    instrument_of(ctx).setup.ripple_tables[trace_key(ctx)] = std::move(table);
}

void answer_ripple_table(context_t& ctx) {
    ctx.expect_params(0, 0);
    const auto& table = ripple_table(instrument_of(ctx), trace_key(ctx));
    ctx.answer_integer(static_cast<std::int64_t>(table.size()));
    for (const auto& s : table) {
        ctx.answer_integer(s.on ? 1 : 0);
        for (double v : {s.x0, s.x1, s.allowed}) ctx.answer_real(v);
    }
}

}  // namespace

std::string limit_table_text(const instrument_t& inst, trace_key_t trace) {
    const auto& table = limit_table(inst, trace);
    std::string text = scpi::format_integer(static_cast<std::int64_t>(table.size()));
    for (const auto& s : table) {
        text += ',' + scpi::format_integer(static_cast<std::int64_t>(s.type));
        for (double v : {s.x0, s.x1, s.y0, s.y1}) text += ',' + scpi::format_real(v);
    }
    return text;
}

namespace {

constexpr auto max_limit_type = static_cast<std::int64_t>(analysis::limit_type_t::lower);

void store_limit_table(instrument_t& inst, trace_key_t trace, const std::vector<double>& numbers) {
    std::vector<analysis::limit_segment_t> table;
    for (std::size_t i = 1; i < numbers.size(); i += limit_fields)
        table.push_back({static_cast<analysis::limit_type_t>(static_cast<int>(numbers[i])), numbers[i + 1],
                         numbers[i + 2], numbers[i + 3], numbers[i + 4]});
    inst.setup.limit_tables[trace] = std::move(table);
}

}  // namespace

void load_limit_table(instrument_t& inst, trace_key_t trace, const std::vector<double>& numbers) {
    const auto table = read_table(
        numbers.size(), [&numbers](std::size_t i, bool integer) { return integer ? std::round(numbers[i]) : numbers[i]; },
        limit_fields, max_limit_type);
    store_limit_table(inst, trace, table);
}

void register_limit_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(settings::limit_test, false));
    add_trace_setting(t, boolean_setting(settings::limit_lines, false));
    add_trace_setting(t, boolean_setting(settings::limit_sound, false));
    add_trace_command(
        t, ":CALCulate#:TRACe#:LIMit:DATA",
        [](context_t& ctx) {
            store_limit_table(instrument_of(ctx), trace_key(ctx), table_params(ctx, limit_fields, max_limit_type));
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer(limit_table_text(instrument_of(ctx), trace_key(ctx)));
        });
    add_trace_command(t, ":CALCulate#:TRACe#:LIMit:FAIL", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(!failed_points(ctx).empty());
    });
    add_trace_command(t, ":CALCulate#:TRACe#:LIMit:REPort:POINts", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(failed_points(ctx).size()));
    });
    // The stimulus of each failed point; 9.91E37 alone when none failed.
    add_trace_command(t, ":CALCulate#:TRACe#:LIMit:REPort[:DATA]", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto x = failed_points(ctx);
        if (x.empty()) ctx.answer_real(not_a_number);
        for (double v : x) ctx.answer_real(v);
    });
    // Per point: stimulus, result (-1 untested, 0 pass, 1 fail), upper and
    // lower limit (0 where none applies).
    add_trace_command(t, ":CALCulate#:TRACe#:LIMit:REPort:ALL", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        for (const auto& p : limit_test_of(ctx)) {
            ctx.answer_real(p.x);
            ctx.answer_integer(static_cast<std::int64_t>(p.result));
            ctx.answer_real(p.upper);
            ctx.answer_real(p.lower);
        }
    });

    add_trace_setting(t, boolean_setting(settings::ripple_test, false));
    add_trace_setting(t, boolean_setting(settings::ripple_lines, false));
    add_trace_setting(t, boolean_setting(settings::ripple_sound, false));
    // Segment type 0 is off, 1 on.
    add_trace_command(t, ":CALCulate#:TRACe#:RLIMit:DATA", set_ripple_table, answer_ripple_table);
    add_trace_command(t, ":CALCulate#:TRACe#:RLIMit:FAIL", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto report = ripple_test_of(ctx);
        ctx.answer_boolean(std::any_of(report.begin(), report.end(), [](const analysis::ripple_verdict_t& r) {
            return r.result == analysis::verdict_t::fail;
        }));
    });
    // The segment count, then per segment: ripple, ripple allowed, result.
    add_trace_command(t, ":CALCulate#:TRACe#:RLIMit:REPort[:DATA]", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto report = ripple_test_of(ctx);
        ctx.answer_integer(static_cast<std::int64_t>(report.size()));
        for (const auto& r : report) {
            ctx.answer_real(r.ripple);
            ctx.answer_real(r.allowed);
            ctx.answer_integer(static_cast<std::int64_t>(r.result));
        }
    });

    add_trace_setting(t, boolean_setting(settings::bandwidth_test, false));
    add_trace_setting(t, boolean_setting(settings::bandwidth_test_value, false));
    add_trace_setting(t, boolean_setting(settings::bandwidth_test_marker, false));
    add_trace_setting(t, real_setting(settings::bandwidth_test_db, 3.0).range(0, 500).with_unit("DB"));
    add_trace_setting(t, real_setting(settings::bandwidth_test_minimum, 1e4).range(0, 1e12).with_unit("HZ"));
    add_trace_setting(t, real_setting(settings::bandwidth_test_maximum, 9e9).range(0, 1e12).with_unit("HZ"));
    add_trace_command(t, ":CALCulate#:TRACe#:BLIMit:FAIL", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(bandwidth_fails(ctx));
    });
    // The measured bandwidth; 9.91E37 when the band has no edge in the sweep.
    add_trace_command(t, ":CALCulate#:TRACe#:BLIMit:REPort[:DATA]", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_real(bandwidth(ctx));
    });
}

}  // namespace zorsim
