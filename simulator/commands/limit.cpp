// CALCulate limit, ripple-limit and bandwidth-limit tests, per channel and
// trace: the switches, the limit and ripple tables, and the pass/fail flags
// and reports, evaluated on the trace's formatted data.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "commands.h"
#include "instrument.h"
#include "measurement.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::context_t;
using scpi::real_setting;
using scpi::scpi_error;
using scpi::string_setting;

namespace {

constexpr int max_limit_segments = 100;
constexpr std::size_t limit_fields = 5;   // type, start and stop stimulus, start and stop response
constexpr std::size_t ripple_fields = 4;  // type, start and stop stimulus, largest ripple allowed
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();  // answered as 9.91E37

// Limit segment types and per-point test results.
enum : std::int64_t { segment_off = 0, segment_upper = 1, segment_lower = 2 };
enum : std::int64_t { result_untested = -1, result_pass = 0, result_fail = 1 };

const char* const limit_state_key = ":CALCulate#:TRACe#:LIMit[:STATe]";
const char* const ripple_state_key = ":CALCulate#:TRACe#:RLIMit[:STATe]";
const char* const ripple_table_key = "ripple table";  // per (channel, trace), as its reply text
const char* const bw_state_key = ":CALCulate#:TRACe#:BLIMit[:STATe]";
const char* const bw_threshold_key = ":CALCulate#:TRACe#:BLIMit:DB";
const char* const bw_minimum_key = ":CALCulate#:TRACe#:BLIMit:MINimum";
const char* const bw_maximum_key = ":CALCulate#:TRACe#:BLIMit:MAXimum";

std::vector<int> channel_and_trace(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }

// "<n>,<segment 1>,...,<segment n>" from the parameters of a set command,
// each segment `fields` numbers of which the first is its type, at most
// `max_type`. Answered back in the same form, reals in NR3.
std::string table_from_params(const context_t& ctx, std::size_t fields, std::int64_t max_type) {
    const auto& params = ctx.params();
    if (params.empty()) throw scpi_error(-109);
    const std::int64_t count = ctx.integer_param(0);
    if (count < 0 || count > max_limit_segments) throw scpi_error(-222);
    const std::size_t expected = 1 + static_cast<std::size_t>(count) * fields;
    if (params.size() < expected) throw scpi_error(-109);
    if (params.size() > expected) throw scpi_error(-108);
    std::string text = scpi::format_integer(count);
    for (std::size_t i = 1; i < expected; ++i) {
        text += ',';
        if ((i - 1) % fields == 0) {
            const std::int64_t type = ctx.integer_param(i);
            if (type < 0 || type > max_type) throw scpi_error(-222);
            text += scpi::format_integer(type);
        } else {
            text += scpi::format_real(ctx.real_param(i));
        }
    }
    return text;
}

// A stored table back as numbers (it was written by table_from_params).
struct segment_t {
    std::int64_t type = 0;
    std::vector<double> values;  // the fields after the type
};

std::vector<segment_t> segments_of(const std::string& text, std::size_t fields) {
    std::vector<double> numbers;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        if (*p == '+') ++p;  // from_chars takes no plus sign
        double value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc()) break;
        numbers.push_back(value);
        p = next;
        if (p < end && *p == ',') ++p;
    }
    std::vector<segment_t> segments;
    for (std::size_t at = 1; at + fields <= numbers.size(); at += fields) {
        segment_t s;
        s.type = static_cast<std::int64_t>(numbers[at]);
        s.values.assign(numbers.begin() + static_cast<std::ptrdiff_t>(at + 1),
                        numbers.begin() + static_cast<std::ptrdiff_t>(at + fields));
        segments.push_back(std::move(s));
    }
    return segments;
}

std::string limit_table_text(context_t& ctx) {
    const auto& tables = instrument_of(ctx).limit_tables;
    const auto it = tables.find({ctx.suffix(0), ctx.suffix(1)});
    return it == tables.end() ? "0" : it->second;
}

// The trace every test is evaluated against: the formatted trace (first
// value of each point) from the measurement chain.
struct trace_t {
    std::vector<double> x;
    std::vector<double> y;
};

trace_t formatted_trace(context_t& ctx) {
    const trace_view_t view = trace_view(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
    trace_t trace;
    trace.x = view.x;
    trace.y.resize(view.points());
    for (std::size_t k = 0; k < trace.y.size(); ++k) trace.y[k] = view.y(k);
    return trace;
}

bool within(double x, double a, double b) { return x >= std::min(a, b) && x <= std::max(a, b); }

// The limit test at each point: its upper and lower limits (0 where no
// segment sets one) and its result.
struct point_result_t {
    double x = 0;
    std::int64_t result = result_untested;
    double upper = 0;
    double lower = 0;
};

std::vector<point_result_t> limit_test(context_t& ctx) {
    const trace_t trace = formatted_trace(ctx);
    const bool on = ctx.settings().boolean(limit_state_key, channel_and_trace(ctx));
    const auto segments = segments_of(limit_table_text(ctx), limit_fields);
    std::vector<point_result_t> report(trace.x.size());
    for (std::size_t i = 0; i < trace.x.size(); ++i) {
        point_result_t& p = report[i];
        p.x = trace.x[i];
        bool has_upper = false, has_lower = false, failed = false;
        for (const auto& s : segments) {
            if (s.type == segment_off) continue;
            const double x0 = s.values[0], x1 = s.values[1], y0 = s.values[2], y1 = s.values[3];
            if (!within(p.x, x0, x1)) continue;
            const double limit = x1 == x0 ? y0 : y0 + (y1 - y0) * (p.x - x0) / (x1 - x0);
            if (s.type == segment_upper) {
                p.upper = has_upper ? std::min(p.upper, limit) : limit;
                has_upper = true;
                failed = failed || trace.y[i] > limit;
            } else {
                p.lower = has_lower ? std::max(p.lower, limit) : limit;
                has_lower = true;
                failed = failed || trace.y[i] < limit;
            }
        }
        if (on && (has_upper || has_lower)) p.result = failed ? result_fail : result_pass;
    }
    return report;
}

std::vector<double> failed_points(context_t& ctx) {
    std::vector<double> x;
    for (const auto& p : limit_test(ctx))
        if (p.result == result_fail) x.push_back(p.x);
    return x;
}

// The ripple test per segment: the spread of the trace over the segment's
// points against the largest spread allowed.
struct ripple_result_t {
    double ripple = 0;
    double allowed = 0;
    std::int64_t result = result_untested;
};

std::string ripple_table_text(context_t& ctx) { return ctx.settings().text(ripple_table_key, channel_and_trace(ctx)); }

std::vector<ripple_result_t> ripple_test(context_t& ctx) {
    const trace_t trace = formatted_trace(ctx);
    const bool on = ctx.settings().boolean(ripple_state_key, channel_and_trace(ctx));
    std::vector<ripple_result_t> report;
    for (const auto& s : segments_of(ripple_table_text(ctx), ripple_fields)) {
        ripple_result_t r;
        r.allowed = s.values[2];
        bool any = false;
        double lo = 0, hi = 0;
        for (std::size_t i = 0; i < trace.x.size(); ++i) {
            if (!within(trace.x[i], s.values[0], s.values[1])) continue;
            lo = any ? std::min(lo, trace.y[i]) : trace.y[i];
            hi = any ? std::max(hi, trace.y[i]) : trace.y[i];
            any = true;
        }
        r.ripple = hi - lo;
        if (on && s.type != segment_off && any) r.result = r.ripple > r.allowed ? result_fail : result_pass;
        report.push_back(r);
    }
    return report;
}

// The width of the band around the trace's peak where it stays within the
// threshold below the peak, its edges interpolated between points; NaN
// when the band reaches past either end of the sweep.
double bandwidth(context_t& ctx) {
    const trace_t trace = formatted_trace(ctx);
    if (trace.x.size() < 2) return not_a_number;
    const double threshold = ctx.settings().real(bw_threshold_key, channel_and_trace(ctx));
    const auto peak = static_cast<std::size_t>(std::max_element(trace.y.begin(), trace.y.end()) - trace.y.begin());
    const double level = trace.y[peak] - threshold;
    auto edge = [&](std::size_t from, std::size_t to) {  // neighbouring points, `from` above the level
        const double f = (trace.y[from] - level) / (trace.y[from] - trace.y[to]);
        return trace.x[from] + f * (trace.x[to] - trace.x[from]);
    };
    std::size_t left = peak;
    while (left > 0 && trace.y[left - 1] >= level) --left;
    std::size_t right = peak;
    while (right + 1 < trace.y.size() && trace.y[right + 1] >= level) ++right;
    if (left == 0 || right + 1 == trace.y.size()) return not_a_number;
    return edge(right, right + 1) - edge(left, left - 1);
}

bool bandwidth_fails(context_t& ctx) {
    if (!ctx.settings().boolean(bw_state_key, channel_and_trace(ctx))) return false;
    const double bw = bandwidth(ctx);
    return std::isnan(bw) || bw < ctx.settings().real(bw_minimum_key, channel_and_trace(ctx)) ||
           bw > ctx.settings().real(bw_maximum_key, channel_and_trace(ctx));
}

// Registers a query under ":TRACe#:" and under ":MEASure#:".
void add_trace_query(scpi::command_table_t& t, const std::string& pattern, scpi::handler_t query) {
    t.add_query(pattern, query);
    std::string alias = pattern;
    alias.replace(alias.find(":TRACe#:"), 8, ":MEASure#:");
    t.add_query(alias, query);
}

}  // namespace

void register_limit_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(limit_state_key, false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:LIMit:DISPlay[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:LIMit:SOUNd[:STATe]", false));
    add_trace_command(
        t, ":CALCulate#:TRACe#:LIMit:DATA",
        [](context_t& ctx) {
            instrument_of(ctx).limit_tables[{ctx.suffix(0), ctx.suffix(1)}] =
                table_from_params(ctx, limit_fields, segment_lower);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer(limit_table_text(ctx));
        });
    add_trace_query(t, ":CALCulate#:TRACe#:LIMit:FAIL", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(!failed_points(ctx).empty());
    });
    add_trace_query(t, ":CALCulate#:TRACe#:LIMit:REPort:POINts", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(failed_points(ctx).size()));
    });
    // The stimulus of each failed point; 9.91E37 alone when none failed.
    add_trace_query(t, ":CALCulate#:TRACe#:LIMit:REPort[:DATA]", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto x = failed_points(ctx);
        if (x.empty()) ctx.answer_real(not_a_number);
        for (double v : x) ctx.answer_real(v);
    });
    // Per point: stimulus, result (-1 untested, 0 pass, 1 fail), upper and
    // lower limit (0 where none applies).
    add_trace_query(t, ":CALCulate#:TRACe#:LIMit:REPort:ALL", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        for (const auto& p : limit_test(ctx)) {
            ctx.answer_real(p.x);
            ctx.answer_integer(p.result);
            ctx.answer_real(p.upper);
            ctx.answer_real(p.lower);
        }
    });

    add_trace_setting(t, boolean_setting(ripple_state_key, false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:RLIMit:DISPlay:LINE", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:RLIMit:SOUNd[:STATe]", false));
    // Segment type 0 is off, 1 on.
    add_trace_command(
        t, ":CALCulate#:TRACe#:RLIMit:DATA",
        [](context_t& ctx) {
            ctx.settings().set_value(ripple_table_key, channel_and_trace(ctx),
                                     table_from_params(ctx, ripple_fields, 1));
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer(ripple_table_text(ctx));
        });
    // Where the ripple tables live, so *RST empties them with the other
    // settings. Its own set and query forms are never reached: the commands
    // above match the same header and were registered first.
    t.add_setting(string_setting(":CALCulate#:TRACe#:RLIMit:DATA", "0").with_key(ripple_table_key));
    add_trace_query(t, ":CALCulate#:TRACe#:RLIMit:FAIL", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto report = ripple_test(ctx);
        ctx.answer_boolean(std::any_of(report.begin(), report.end(),
                                       [](const ripple_result_t& r) { return r.result == result_fail; }));
    });
    // The segment count, then per segment: ripple, ripple allowed, result.
    add_trace_query(t, ":CALCulate#:TRACe#:RLIMit:REPort[:DATA]", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto report = ripple_test(ctx);
        ctx.answer_integer(static_cast<std::int64_t>(report.size()));
        for (const auto& r : report) {
            ctx.answer_real(r.ripple);
            ctx.answer_real(r.allowed);
            ctx.answer_integer(r.result);
        }
    });

    add_trace_setting(t, boolean_setting(bw_state_key, false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:BLIMit:DISPlay:VALue", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:BLIMit:DISPlay:MARKer", false));
    add_trace_setting(t, real_setting(bw_threshold_key, 3.0).range(0, 500).with_unit("DB"));
    add_trace_setting(t, real_setting(bw_minimum_key, 1e4).range(0, 1e12).with_unit("HZ"));
    add_trace_setting(t, real_setting(bw_maximum_key, 9e9).range(0, 1e12).with_unit("HZ"));
    add_trace_query(t, ":CALCulate#:TRACe#:BLIMit:FAIL", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_boolean(bandwidth_fails(ctx));
    });
    // The measured bandwidth; 9.91E37 when the band has no edge in the sweep.
    add_trace_query(t, ":CALCulate#:TRACe#:BLIMit:REPort[:DATA]", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_real(bandwidth(ctx));
    });
}

}  // namespace zorsim
