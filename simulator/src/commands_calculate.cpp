// CALCulate: what a trace measures and how it is computed and shown:
// parameter, format, conversion, math and memory, offsets, electrical delay,
// smoothing, statistics, the equation editor and the measurement class, and
// the trace data itself (corrected, formatted and memory).
// Values are per channel and trace number (TRACe# or MEASure#).
#include "commands.h"

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

constexpr double pi = 3.14159265358979323846;
constexpr int settings_conflict = -221;

const char* const points_key = "[:SENSe#]:SWEep:POINts";
const char* const start_key = "[:SENSe#]:FREQuency:STARt";
const char* const stop_key = "[:SENSe#]:FREQuency:STOP";
const char* const parameter_key = ":CALCulate#:PARameter#:DEFine";
const char* const format_key = ":CALCulate#:TRACe#:FORMat";
const char* const math_key = ":CALCulate#:TRACe#:MATH:FUNCtion";
const char* const statistics_type_key = ":CALCulate#:TRACe#:FUNCtion:TYPE";
const char* const range_start_key = ":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STARt";
const char* const range_stop_key = ":CALCulate#:TRACe#:FUNCtion:USER:RANGe:STOP";

// Trace data lives in the settings store, one value per channel and trace
// (doubles packed into the string), so *RST drops it like any setting. An
// empty value, or one sized for another number of points, means "not
// written": the analyzer then answers its own sweep.
const char* const corrected_store = "trace data: corrected";
const char* const formatted_store = "trace data: formatted";
const char* const memory_store = "trace data: memory";

using values_t = std::vector<double>;  // pairs: (re, im) or (value, second value)
using point_t = std::complex<double>;

std::vector<int> channel_of(const context_t& ctx) { return {ctx.suffix(0)}; }
std::vector<int> trace_of(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }

std::size_t points_of(const context_t& ctx) {
    return static_cast<std::size_t>(ctx.settings().integer(points_key, channel_of(ctx)));
}

// Stimulus value of point k: the sweep is linear from start to stop.
double stimulus_of(const context_t& ctx, std::size_t k, std::size_t points) {
    const double start = ctx.settings().real(start_key, channel_of(ctx));
    const double stop = ctx.settings().real(stop_key, channel_of(ctx));
    return points < 2 ? start : start + (stop - start) * static_cast<double>(k) / static_cast<double>(points - 1);
}

std::string pack(const values_t& values) {
    std::string bytes(values.size() * sizeof(double), '\0');
    if (!values.empty()) std::memcpy(&bytes[0], values.data(), bytes.size());
    return bytes;
}

// The stored values when they fit the channel's present number of points.
bool stored(const context_t& ctx, const char* store, values_t& values) {
    const std::string bytes = ctx.settings().text(store, trace_of(ctx));
    if (bytes.size() != 2 * points_of(ctx) * sizeof(double)) return false;
    values.resize(bytes.size() / sizeof(double));
    std::memcpy(values.data(), bytes.data(), bytes.size());
    return true;
}

void store(const context_t& ctx, const char* store, const values_t& values) {
    ctx.settings().set_value(store, trace_of(ctx), pack(values));
}

// What the analyzer measures when nobody wrote the data: reflections are a
// mismatch rising with frequency behind 1 ns of line, transmissions a
// one-pole low pass at 3 GHz behind 0.5 ns.
values_t swept(const context_t& ctx) {
    const std::size_t n = points_of(ctx);
    const std::int64_t parameter = ctx.settings().integer(parameter_key, trace_of(ctx));
    const bool reflection = parameter == 0 || parameter == 3;  // S11, S22
    values_t values(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        const double f = stimulus_of(ctx, k, n);
        point_t s;
        if (reflection) {
            s = std::polar(0.05 + 0.25 * f / 9e9, -2 * pi * f * 1e-9);
        } else {
            s = std::polar(1.0, -2 * pi * f * 0.5e-9) / point_t(1.0, f / 3e9);
        }
        values[2 * k] = s.real();
        values[2 * k + 1] = s.imag();
    }
    return values;
}

values_t corrected(const context_t& ctx) {
    values_t values;
    if (!stored(ctx, corrected_store, values)) values = swept(ctx);
    return values;
}

// Corrected data combined with the memory trace as the math function says;
// without a memory trace of the same size the data stand alone.
values_t with_math(const context_t& ctx, values_t data) {
    const std::string op = ctx.settings().keyword(math_key, trace_of(ctx));
    values_t memory;
    if (op == "NORM" || !stored(ctx, memory_store, memory)) return data;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const point_t d(data[i], data[i + 1]);
        const point_t m(memory[i], memory[i + 1]);
        point_t r = d;
        if (op == "ADD") r = d + m;
        else if (op == "SUBT") r = d - m;
        else if (op == "MULT") r = d * m;
        else if (op == "DIV") r = d / m;
        data[i] = r.real();
        data[i + 1] = r.imag();
    }
    return data;
}

double degrees(double radians) { return radians * 180 / pi; }
double decibels(double magnitude) { return 20 * std::log10(std::max(magnitude, 1e-20)); }

// Complex points in the display format `format` (a short form); each point
// gives two values, the second 0 where the format has only one.
values_t formatted_from(const context_t& ctx, const values_t& data, const std::string& format) {
    const std::size_t n = data.size() / 2;
    values_t out(data.size());
    double unwrapped = 0, previous = 0;
    std::vector<double> phase(n);  // unwrapped, radians
    for (std::size_t k = 0; k < n; ++k) {
        const double p = std::arg(point_t(data[2 * k], data[2 * k + 1]));
        if (k == 0) {
            unwrapped = p;
        } else {
            double step = p - previous;
            while (step > pi) step -= 2 * pi;
            while (step < -pi) step += 2 * pi;
            unwrapped += step;
        }
        previous = p;
        phase[k] = unwrapped;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const point_t s(data[2 * k], data[2 * k + 1]);
        const double mag = std::abs(s);
        const double deg = degrees(std::arg(s));
        double a = 0, b = 0;
        if (format == "MLOG") {
            a = decibels(mag);
        } else if (format == "MLIN") {
            a = mag;
        } else if (format == "PHAS") {
            a = deg;
        } else if (format == "UPH") {
            a = degrees(phase[k]);
        } else if (format == "PPH") {
            a = deg < 0 ? deg + 360 : deg;
        } else if (format == "GDEL") {
            // -dphi/domega from the neighbours (one-sided at the ends).
            const std::size_t lo = k == 0 ? 0 : k - 1;
            const std::size_t hi = k + 1 < n ? k + 1 : k;
            const double df = stimulus_of(ctx, hi, n) - stimulus_of(ctx, lo, n);
            a = hi == lo || df == 0 ? 0 : -(phase[hi] - phase[lo]) / (2 * pi * df);
        } else if (format == "SWR") {
            a = mag < 1 ? (1 + mag) / (1 - mag) : HUGE_VAL;
        } else if (format == "REAL") {
            a = s.real();
        } else if (format == "IMAG") {
            a = s.imag();
        } else if (format == "SLIN" || format == "PLIN") {
            a = mag;
            b = deg;
        } else if (format == "SLOG" || format == "PLOG") {
            a = decibels(mag);
            b = deg;
        } else {  // SMITh, SADMittance, SCOMplex, POLar: the complex value
            a = s.real();
            b = s.imag();
        }
        out[2 * k] = a;
        out[2 * k + 1] = b;
    }
    return out;
}

values_t formatted(const context_t& ctx) {
    values_t values;
    if (stored(ctx, formatted_store, values)) return values;
    return formatted_from(ctx, with_math(ctx, corrected(ctx)), ctx.settings().keyword(format_key, trace_of(ctx)));
}

// A write carries exactly two values per point of the channel.
values_t values_param(context_t& ctx) {
    const std::size_t count = 2 * points_of(ctx);
    ctx.expect_params(count, count);
    values_t values(count);
    for (std::size_t i = 0; i < count; ++i) values[i] = ctx.real_param(i);
    return values;
}

void answer_values(context_t& ctx, const values_t& values) {
    ctx.expect_params(0, 0);
    std::string text;
    text.reserve(values.size() * 20);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) text += ',';
        text += scpi::format_real(values[i]);
    }
    ctx.answer(text);
}

struct statistics_t {
    double mean = 0, deviation = 0, peak_to_peak = 0;
};

// Of the first value of formatted points first..last (population
// deviation); all zero for an empty trace.
statistics_t statistics_of(const values_t& formatted, std::size_t first, std::size_t last) {
    statistics_t s;
    if (last < first || 2 * last + 1 >= formatted.size()) return s;
    const double count = static_cast<double>(last - first + 1);
    double lo = formatted[2 * first], hi = lo, sum = 0;
    for (std::size_t k = first; k <= last; ++k) {
        const double v = formatted[2 * k];
        sum += v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    s.mean = sum / count;
    double squares = 0;
    for (std::size_t k = first; k <= last; ++k) squares += (formatted[2 * k] - s.mean) * (formatted[2 * k] - s.mean);
    s.deviation = std::sqrt(squares / count);
    s.peak_to_peak = hi - lo;
    return s;
}

// Equations are arithmetic on S-parameters and numbers:
//   sum := product (('+'|'-') product)*     product := factor (('*'|'/') factor)*
//   factor := ('+'|'-') factor | number | S<i><j> | '(' sum ')'
// Nesting is bounded so a hostile text cannot exhaust the stack.
class equation_check_t {
public:
    explicit equation_check_t(std::string_view text) : text_(text) {}

    bool valid() {
        skip();
        if (at_end()) return false;
        return sum() && (skip(), at_end());
    }

private:
    static constexpr int max_depth = 64;

    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return at_end() ? '\0' : text_[pos_]; }
    void skip() {
        while (!at_end() && text_[pos_] == ' ') ++pos_;
    }
    static bool digit(char c) { return c >= '0' && c <= '9'; }

    bool sum() {
        if (!product()) return false;
        for (skip(); peek() == '+' || peek() == '-'; skip()) {
            ++pos_;
            if (!product()) return false;
        }
        return true;
    }
    bool product() {
        if (!factor()) return false;
        for (skip(); peek() == '*' || peek() == '/'; skip()) {
            ++pos_;
            if (!factor()) return false;
        }
        return true;
    }
    bool factor() {
        if (++depth_ > max_depth) return false;
        skip();
        bool ok = false;
        const char c = peek();
        if (c == '+' || c == '-') {
            ++pos_;
            ok = factor();
        } else if (c == '(') {
            ++pos_;
            ok = sum() && (skip(), peek() == ')');
            if (ok) ++pos_;
        } else if (c == 'S' || c == 's') {
            ok = pos_ + 2 < text_.size() && (text_[pos_ + 1] == '1' || text_[pos_ + 1] == '2') &&
                 (text_[pos_ + 2] == '1' || text_[pos_ + 2] == '2');
            if (ok) pos_ += 3;
        } else {
            ok = number();
        }
        --depth_;
        return ok;
    }
    bool number() {
        std::size_t digits = 0;
        for (; digit(peek()); ++pos_) ++digits;
        if (peek() == '.') {
            for (++pos_; digit(peek()); ++pos_) ++digits;
        }
        if (digits == 0) return false;
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') ++pos_;
            if (!digit(peek())) return false;
            while (digit(peek())) ++pos_;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
};

// Registers a command under its ":TRACe#:" pattern and the ":MEASure#:" one.
void add_trace_command(scpi::command_table_t& t, std::string pattern, scpi::handler_t set, scpi::handler_t query) {
    const std::string node = ":TRACe#:";
    std::string alias = pattern;
    alias.replace(alias.find(node), node.size(), ":MEASure#:");
    t.add(pattern, set, query);
    t.add(alias, set, query);
}

void memorize(context_t& ctx) {
    ctx.expect_params(0, 0);
    store(ctx, memory_store, corrected(ctx));
}

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
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:CONVersion[:STATe]", false));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:CONVersion:FUNCtion",
                                        {"OFF", "ZREFlection", "ZTRansmit", "ZTSHunt", "YREFlection", "YTRansmit",
                                         "YTSHunt", "INVersion", "CONJugation"},
                                        "ZREF"));
    add_trace_setting(t, choice_setting(math_key, {"NORMal", "ADD", "SUBTract", "MULTiply", "DIVide"}, "NORM"));
    // Both store the present corrected data as the trace's memory.
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:MEMorize", memorize, nullptr);
    add_trace_command(t, ":CALCulate#:TRACe#:MATH:NORMalize", memorize, nullptr);
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude", 0.0).range(-1000, 1000).with_unit("DB"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:OFFSet:MAGNitude:SLOPe", 0.0).range(-1e6, 1e6));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:OFFSet:PHASe", 0.0).range(-360, 360));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:EDELay[:TIME]", 0.0).range(-10, 10).with_unit("S"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:CORRection:EDELay:DISTance", 0.0).range(-3e9, 3e9));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:CORRection:EDELay:UNIT", {"METer", "FEET", "INCH"}, "MET"));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:SMOothing[:STATe]", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:SMOothing:APERture", 1.5).range(0.05, 25));  // % of span
    add_trace_setting(t, integer_setting(":CALCulate#:TRACe#:SMOothing:POINts", 3).range(1, 100001));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MSTatistics[:STATe]", false));
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:EQUation[:STATe]", false));
    // Equations are strings: sent and answered between quotes.
    add_trace_setting(t, string_setting(":CALCulate#:TRACe#:EQUation:TEXT", ""));
    add_trace_command(t, ":CALCulate#:TRACe#:EQUation:VALid", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const std::string text = ctx.settings().text(":CALCulate#:TRACe#:EQUation:TEXT", trace_of(ctx));
        ctx.answer_boolean(equation_check_t(text).valid());
    });
    // The measurement class of a channel, answered as a bare word.
    t.add_setting(choice_setting(":CALCulate#:INSTrument", {"SPARameter"}, "SPAR"));

    // ---- trace data, two values per point, as many points as the channel
    // sweeps. Corrected data are complex; formatted data follow the format.
    // Writing corrected data re-formats; writing formatted data holds them.
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SDATa",
        [](context_t& ctx) {
            store(ctx, corrected_store, values_param(ctx));
            store(ctx, formatted_store, {});
        },
        [](context_t& ctx) { answer_values(ctx, corrected(ctx)); });
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:FDATa", [](context_t& ctx) { store(ctx, formatted_store, values_param(ctx)); },
        [](context_t& ctx) { answer_values(ctx, formatted(ctx)); });
    // The memory trace; zeros until something was stored.
    auto memory = [](const context_t& ctx) {
        values_t values;
        if (!stored(ctx, memory_store, values)) values.assign(2 * points_of(ctx), 0.0);
        return values;
    };
    add_trace_command(
        t, ":CALCulate#:TRACe#:DATA:SMEMory", [](context_t& ctx) { store(ctx, memory_store, values_param(ctx)); },
        [memory](context_t& ctx) { answer_values(ctx, memory(ctx)); });
    add_trace_command(t, ":CALCulate#:TRACe#:DATA:FMEMory", nullptr, [memory](context_t& ctx) {
        answer_values(ctx, formatted_from(ctx, memory(ctx), ctx.settings().keyword(format_key, trace_of(ctx))));
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
        const statistics_t s = n == 0 ? statistics_t{} : statistics_of(values, 0, n - 1);
        ctx.answer_real(s.mean);
        ctx.answer_real(s.deviation);
        ctx.answer_real(s.peak_to_peak);
    });
    add_trace_setting(t, choice_setting(statistics_type_key, {"PTPeak", "STDEV", "MEAN"}, "PTP"));
    add_trace_setting(t, real_setting(range_start_key, 0.0).range(-1e12, 1e12));
    add_trace_setting(t, real_setting(range_stop_key, 0.0).range(-1e12, 1e12));
    add_trace_command(t, ":CALCulate#:TRACe#:FUNCtion:DATA", nullptr, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const values_t values = formatted(ctx);
        const std::size_t n = values.size() / 2;
        const double lo = ctx.settings().real(range_start_key, trace_of(ctx));
        const double hi = ctx.settings().real(range_stop_key, trace_of(ctx));
        if (n == 0) throw scpi_error(settings_conflict);
        std::size_t first = 0, last = n - 1;
        if (hi > lo) {
            first = n;
            for (std::size_t k = 0; k < n; ++k) {
                const double x = stimulus_of(ctx, k, n);
                if (x < lo || x > hi) continue;
                if (first == n) first = k;
                last = k;
            }
            if (first == n) throw scpi_error(settings_conflict);  // no point in the range
        }
        const statistics_t s = statistics_of(values, first, last);
        const std::string type = ctx.settings().keyword(statistics_type_key, trace_of(ctx));
        ctx.answer_real(type == "MEAN" ? s.mean : type == "STDEV" ? s.deviation : s.peak_to_peak);
    });
}

}  // namespace zorsim
