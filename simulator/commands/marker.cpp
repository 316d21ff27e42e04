// CALCulate markers: per channel, trace and marker number; the marker
// search and multi-search settings and their execution; the bandwidth and
// notch search; marker-to-setting; the active marker of each trace and the
// analyzer-wide marker coupling.
//
// Markers and searches read the trace's formatted data from the measurement
// chain, the same numbers FDATa answers. Searches run on the sweep points,
// as an analyzer's do; crossings and band edges are interpolated.
#include "commands.h"
#include "instrument.h"
#include "measurement.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorsim {

using scpi::boolean_setting;
using scpi::choice_setting;
using scpi::context_t;
using scpi::real_setting;
using scpi::scpi_error;

namespace {

const char* const marker_state_key = ":CALCulate#:TRACe#:MARKer#[:STATe]";
const char* const marker_x_key = ":CALCulate#:TRACe#:MARKer#:X";
const char* const marker_delta_key = ":CALCulate#:TRACe#:MARKer#:DELTa";
const char* const marker_discrete_key = ":CALCulate#:TRACe#:MARKer#:DISCrete";
const char* const reference_state_key = ":CALCulate#:TRACe#:MARKer:REFerence[:STATe]";
const char* const search_type_key = ":CALCulate#:TRACe#:MARKer#:FUNCtion:TYPE";
const char* const multi_type_key = ":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TYPE";
// Owned by the stimulus, display and calculate areas; read and moved here.
const char* const start_key = "[:SENSe#]:FREQuency:STARt";
const char* const stop_key = "[:SENSe#]:FREQuency:STOP";
const char* const cw_key = "[:SENSe#]:FREQuency:CW";
const char* const delay_key = ":CALCulate#:TRACe#:CORRection:EDELay[:TIME]";
const char* const reference_level_key = ":DISPlay:WINDow#:TRACe#:Y[:SCALe]:RLEVel";

constexpr int reference_marker = max_markers;  // marker 10
constexpr int multi_search_markers = 9;        // a multi-search fills markers 1..9

// ---------------------------------------------------------------- the formatted trace

// One trace of one channel as the display shows it: its x axis and the
// formatted values (first and second of each point), from the measurement chain.
struct trace_t {
    int channel = 1;
    int trace = 1;
    double start = 0;
    double stop = 0;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> y2;  // the second value of two-value formats, 0 otherwise
    std::vector<physics::complex_t> corrected;
    std::vector<double> frequency;

    double clamp(double f) const { return std::min(std::max(f, start), stop); }
    // The point nearest to x (the axis rises; log sweeps are not uniform).
    std::size_t nearest(double f) const {
        if (x.size() < 2) return 0;
        const auto hi = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), clamp(f)) - x.begin());
        if (hi == 0) return 0;
        if (hi >= x.size()) return x.size() - 1;
        return f - x[hi - 1] <= x[hi] - f ? hi - 1 : hi;
    }
    // Linear between the points around f (clamped into the sweep).
    double interpolate(const std::vector<double>& v, double f) const {
        if (x.size() < 2 || stop <= start) return v.empty() ? 0 : v.front();
        const double at = clamp(f);
        auto hi = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), at) - x.begin());
        hi = std::min(std::max<std::size_t>(hi, 1), x.size() - 1);
        const std::size_t lo = hi - 1;
        const double t = x[hi] == x[lo] ? 0 : (at - x[lo]) / (x[hi] - x[lo]);
        return v[lo] + t * (v[hi] - v[lo]);
    }
};

trace_t trace_of(context_t& ctx) {
    trace_t t;
    t.channel = ctx.suffix(0);
    t.trace = ctx.suffix(1);
    const trace_view_t view = trace_view(instrument_of(ctx), t.channel, t.trace);
    const std::size_t n = view.points();
    t.x = view.x;
    t.y.resize(n);
    t.y2.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        t.y[k] = view.formatted[2 * k];
        t.y2[k] = view.formatted[2 * k + 1];
    }
    t.corrected = view.corrected;
    t.frequency = view.frequency;
    t.start = n ? t.x.front() : 0;
    t.stop = n ? t.x.back() : 0;
    return t;
}

double marker_x(context_t& ctx, int marker) {
    return ctx.settings().real(marker_x_key, {ctx.suffix(0), ctx.suffix(1), marker});
}

// The response under a marker: between points unless the marker keeps to
// the discrete points.
double marker_response(context_t& ctx, const trace_t& t, int marker, bool second = false) {
    const double x = marker_x(ctx, marker);
    const std::vector<double>& v = second ? t.y2 : t.y;
    if (ctx.settings().boolean(marker_discrete_key, {t.channel, t.trace, marker})) return v[t.nearest(x)];
    return t.interpolate(v, x);
}

void place_marker(context_t& ctx, int marker, double x) {
    const std::vector<int> at{ctx.suffix(0), ctx.suffix(1), marker};
    ctx.settings().set_value(marker_x_key, at, x);
    ctx.settings().set_value(marker_state_key, at, true);
}

// ---------------------------------------------------------------- peak and target search

struct peak_t {
    std::size_t index;
    double score;  // larger is better
};

// Local extremes of the requested polarity that stand out by `excursion`
// from the lowest ground on either side before a higher point; positive
// peaks must also reach `threshold`.
std::vector<peak_t> find_peaks(const trace_t& t, double excursion, double threshold, const std::string& polarity) {
    std::vector<peak_t> peaks;
    const std::size_t n = t.y.size();
    for (int sign : {+1, -1}) {
        if ((sign > 0 && polarity == "NEG") || (sign < 0 && polarity == "POS")) continue;
        auto v = [&](std::size_t i) { return sign * t.y[i]; };
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (!(v(i) > v(i - 1) && v(i) >= v(i + 1))) continue;
            if (sign > 0 && t.y[i] < threshold) continue;
            double left = v(i), right = v(i);
            for (std::size_t j = i; j-- > 0 && v(j) <= v(i);) left = std::min(left, v(j));
            for (std::size_t j = i + 1; j < n && v(j) <= v(i); ++j) right = std::min(right, v(j));
            const double prominence = v(i) - std::max(left, right);
            if (prominence < excursion) continue;
            peaks.push_back({i, polarity == "BOTH" ? prominence : v(i)});
        }
    }
    std::sort(peaks.begin(), peaks.end(), [](const peak_t& a, const peak_t& b) { return a.index < b.index; });
    return peaks;
}

// Stimulus values where the trace crosses `target` in the given direction,
// interpolated between the points.
std::vector<double> find_crossings(const trace_t& t, double target, const std::string& transition) {
    std::vector<double> found;
    for (std::size_t i = 0; i + 1 < t.y.size(); ++i) {
        const double a = t.y[i] - target, b = t.y[i + 1] - target;
        const bool rising = a < 0 && b >= 0, falling = a > 0 && b <= 0;
        if (!(rising && transition != "NEG") && !(falling && transition != "POS")) continue;
        found.push_back(t.x[i] + (t.x[i + 1] - t.x[i]) * (a / (a - b)));
    }
    return found;
}

[[noreturn]] void not_found(const char* what) { throw scpi_error(-200, std::string("Execution error; ") + what); }

void execute_single_search(context_t& ctx, const trace_t& t) {
    const int marker = ctx.suffix(2);
    const std::vector<int> at{t.channel, t.trace, marker};
    const auto& settings = ctx.settings();
    const std::string function = settings.keyword(search_type_key, at);
    const double here = marker_x(ctx, marker);
    const std::size_t here_index = t.nearest(here);

    if (function == "OFF") throw scpi_error(-221, "Settings conflict; no search function selected");
    if (function == "MAX" || function == "MIN") {
        const auto it = function == "MAX" ? std::max_element(t.y.begin(), t.y.end())
                                          : std::min_element(t.y.begin(), t.y.end());
        place_marker(ctx, marker, t.x[static_cast<std::size_t>(it - t.y.begin())]);
        return;
    }
    if (function == "TAR" || function == "LTAR" || function == "RTAR") {
        const auto crossings = find_crossings(t, settings.real(":CALCulate#:TRACe#:MARKer#:FUNCtion:TARGet", at),
                                              settings.keyword(":CALCulate#:TRACe#:MARKer#:FUNCtion:TTRansition", at));
        const double* best = nullptr;
        for (const double& x : crossings) {
            if ((function == "RTAR" && x <= here) || (function == "LTAR" && x >= here)) continue;
            if (best == nullptr || std::fabs(x - here) < std::fabs(*best - here)) best = &x;
        }
        if (best == nullptr) not_found("target not found");
        place_marker(ctx, marker, *best);
        return;
    }
    auto peaks = find_peaks(t, settings.real(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEXCursion", at),
                            settings.real(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEAK:THReshold", at),
                            settings.keyword(":CALCulate#:TRACe#:MARKer#:FUNCtion:PPOLarity", at));
    const peak_t* chosen = nullptr;
    if (function == "RPE" || function == "LPE") {
        // The nearest peak on that side of the marker.
        for (const auto& p : peaks) {
            if (function == "RPE" && p.index > here_index && (chosen == nullptr || p.index < chosen->index)) chosen = &p;
            if (function == "LPE" && p.index < here_index && (chosen == nullptr || p.index > chosen->index)) chosen = &p;
        }
    } else {
        // PEAK: the best; NPEak: the next best after the peak under the marker.
        std::stable_sort(peaks.begin(), peaks.end(), [](const peak_t& a, const peak_t& b) { return a.score > b.score; });
        std::size_t next = 0;
        if (function == "NPE") {
            for (std::size_t i = 0; i < peaks.size(); ++i)
                if (peaks[i].index == here_index) next = i + 1;
        }
        if (next < peaks.size()) chosen = &peaks[next];
    }
    if (chosen == nullptr) not_found("peak not found");
    place_marker(ctx, marker, t.x[chosen->index]);
}

// Puts markers 1..9 on the peaks or target crossings, in stimulus order.
void execute_multi_search(context_t& ctx, const trace_t& t, const std::string& function) {
    const std::vector<int> at{t.channel, t.trace};
    const auto& settings = ctx.settings();
    std::vector<double> places;
    if (function == "PEAK") {
        for (const auto& p : find_peaks(t, settings.real(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PEXCursion", at),
                                        settings.real(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:THReshold", at),
                                        settings.keyword(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PPOLarity", at)))
            places.push_back(t.x[p.index]);
    } else {
        places = find_crossings(t, settings.real(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TARGet", at),
                                settings.keyword(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TTRansition", at));
    }
    if (places.empty()) not_found(function == "PEAK" ? "peak not found" : "target not found");
    for (std::size_t i = 0; i < places.size() && i < static_cast<std::size_t>(multi_search_markers); ++i)
        place_marker(ctx, static_cast<int>(i) + 1, places[i]);
}

void execute_search(context_t& ctx) {
    ctx.expect_params(0, 0);
    const trace_t t = trace_of(ctx);
    const std::string multi = ctx.settings().keyword(multi_type_key, {t.channel, t.trace});
    if (multi != "OFF") {
        execute_multi_search(ctx, t, multi);
    } else {
        execute_single_search(ctx, t);
    }
}

// ---------------------------------------------------------------- bandwidth and notch

// Bandwidth: the band above (reference + threshold) around the reference
// point; notch: the band below it around the deepest point (or the marker).
// The reference is the trace maximum (PEAK) or the marker's response.
// Answers width, center, Q and the loss at the reference (bandwidth) or the
// bottom (notch); NaN for all four when the band has no edge on a side.
void answer_band(context_t& ctx, bool notch) {
    ctx.expect_params(0, 0);
    const trace_t t = trace_of(ctx);
    const int marker = ctx.suffix(2);
    const std::vector<int> at{t.channel, t.trace, marker};
    const std::string node = notch ? "NOTCh" : "BWIDth";
    const std::string key = ":CALCulate#:TRACe#:MARKer#:" + node;
    const bool by_marker = ctx.settings().keyword(key + ":REFerence", at) == "MARK";
    const double threshold = ctx.settings().real(key + ":THReshold", at);

    const std::size_t top = static_cast<std::size_t>(std::max_element(t.y.begin(), t.y.end()) - t.y.begin());
    const std::size_t bottom = static_cast<std::size_t>(std::min_element(t.y.begin(), t.y.end()) - t.y.begin());
    const double reference = by_marker ? marker_response(ctx, t, marker) : t.y[top];
    const double level = reference + threshold;
    std::size_t around = notch ? bottom : top;
    if (by_marker) around = t.nearest(marker_x(ctx, marker));
    auto inside = [&](std::size_t i) { return notch ? t.y[i] < level : t.y[i] > level; };

    const double nan = std::nan("");
    auto answer_nan = [&] {
        for (int i = 0; i < 4; ++i) ctx.answer_real(nan);
    };
    if (!inside(around)) return answer_nan();
    std::size_t lo = around, hi = around;
    while (lo > 0 && inside(lo - 1)) --lo;
    while (hi + 1 < t.y.size() && inside(hi + 1)) ++hi;
    if (lo == 0 || hi + 1 == t.y.size()) return answer_nan();
    auto edge = [&](std::size_t out, std::size_t in) {
        const double a = t.y[out] - level, b = t.y[in] - level;
        return t.x[out] + (t.x[in] - t.x[out]) * (a / (a - b));
    };
    const double left = edge(lo - 1, lo), right = edge(hi + 1, hi);
    const double width = right - left, center = (left + right) / 2;
    double loss = reference;
    if (notch) loss = *std::min_element(t.y.begin() + static_cast<std::ptrdiff_t>(lo),
                                        t.y.begin() + static_cast<std::ptrdiff_t>(hi) + 1);
    ctx.answer_real(width);
    ctx.answer_real(center);
    ctx.answer_real(width > 0 ? center / width : nan);
    ctx.answer_real(loss);
}

// ---------------------------------------------------------------- marker to setting

void set_sweep(context_t& ctx, int channel, double start, double stop) {
    ctx.settings().set_value(start_key, {channel}, start);
    ctx.settings().set_value(stop_key, {channel}, stop);
}

// Moves a setting of the channel or trace to the marker: the sweep's
// center, start, stop, CW frequency, span (from a delta marker to the
// reference marker), the reference level of the trace's window, and the
// electrical delay (the group delay at the marker). SA has nothing to act on here.
void marker_to_setting(context_t& ctx) {
    static const std::vector<std::string> choices{"CENTer", "SPAN", "STARt", "STOP", "RLEVel", "DELay", "CWFReq", "SA"};
    ctx.expect_params(1, 1);
    const std::string what = choices[ctx.choice_param(0, choices)];
    const int channel = ctx.suffix(0), trace = ctx.suffix(1), marker = ctx.suffix(2);
    auto& settings = ctx.settings();
    if (shows_time(settings, channel, trace) && what != "RLEVel" && what != "SA")
        return marker_to_time_setting(ctx, what, marker_x(ctx, marker), marker_x(ctx, reference_marker));
    const scpi::setting_t* frequency = ctx.device().table().find_setting(start_key);
    const double lo = frequency ? frequency->min : 0, hi = frequency ? frequency->max : 0;
    const double x = std::min(std::max(marker_x(ctx, marker), lo), hi);
    double start = settings.real(start_key, {channel}), stop = settings.real(stop_key, {channel});

    if (what == "CENTer") {
        const double half = std::min({(stop - start) / 2, x - lo, hi - x});
        set_sweep(ctx, channel, x - half, x + half);
    } else if (what == "STARt") {
        set_sweep(ctx, channel, x, std::max(x, stop));
    } else if (what == "STOP") {
        set_sweep(ctx, channel, std::min(start, x), x);
    } else if (what == "SPAN") {
        if (marker == reference_marker || !settings.boolean(marker_delta_key, {channel, trace, marker}))
            throw scpi_error(-221, "Settings conflict; marker is not a delta marker");
        const double center = (start + stop) / 2;
        const double half = std::min({std::fabs(x - marker_x(ctx, reference_marker)) / 2, center - lo, hi - center});
        set_sweep(ctx, channel, center - half, center + half);
    } else if (what == "CWFReq") {
        settings.set_value(cw_key, {channel}, x);
    } else if (what == "RLEVel") {
        const auto& traces = instrument_of(ctx).layout.traces;
        const auto it = traces.find(trace);
        const int window = it == traces.end() ? 1 : it->second.window;
        settings.set_value(reference_level_key, {window, trace}, marker_response(ctx, trace_of(ctx), marker));
    } else if (what == "DELay") {
        // The group delay of the corrected data at the marker.
        const trace_t t = trace_of(ctx);
        std::vector<double> delay;
        physics::format_data(t.corrected, t.frequency, physics::format_t::gdelay, delay);
        std::vector<double> first(t.x.size());
        for (std::size_t k = 0; k < first.size(); ++k) first[k] = delay[2 * k];
        settings.set_value(delay_key, {channel, trace}, t.interpolate(first, marker_x(ctx, marker)));
    }
}

// ---------------------------------------------------------------- response value

void answer_marker_y(context_t& ctx) {
    ctx.expect_params(0, 0);
    const trace_t t = trace_of(ctx);
    const int marker = ctx.suffix(2);
    double value = marker_response(ctx, t, marker);
    // Delta markers, and every marker in reference mode, read relative to
    // the reference marker while it is on (delta mode turns it on; turned
    // off later, the others read absolute values again).
    const bool relative = marker != reference_marker &&
                          ctx.settings().boolean(marker_state_key, {t.channel, t.trace, reference_marker}) &&
                          (ctx.settings().boolean(marker_delta_key, {t.channel, t.trace, marker}) ||
                           ctx.settings().boolean(reference_state_key, {t.channel, t.trace}));
    double second = marker_response(ctx, t, marker, true);
    if (relative) {
        value -= marker_response(ctx, t, reference_marker);
        second -= marker_response(ctx, t, reference_marker, true);
    }
    // The second value belongs to two-value formats (Smith, polar); 0 otherwise.
    ctx.answer_real(value);
    ctx.answer_real(second);
}

// Delta and reference modes need the reference marker: switching either
// on turns it on where it last stood.
void reference_marker_on(context_t& ctx) {
    if (!ctx.settings().boolean(ctx.suffixes().size() > 2 ? marker_delta_key : reference_state_key, ctx.suffixes()))
        return;
    ctx.settings().set_value(marker_state_key, {ctx.suffix(0), ctx.suffix(1), reference_marker}, true);
}

void all_markers_off(context_t& ctx) {
    ctx.expect_params(0, 0);
    for (int m = 1; m <= max_markers; ++m)
        ctx.settings().set_value(marker_state_key, {ctx.suffix(0), ctx.suffix(1), m}, false);
}

}  // namespace

void register_marker_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(marker_state_key, false));
    // "MARKer<m>:ACTivate" makes marker m the trace's active marker and turns
    // it on; "MARKer:ACTivate?" names the active marker (1 until one is set).
    auto activate = [](context_t& ctx) {
        ctx.expect_params(0, 0);
        instrument_of(ctx).layout.active_markers[{ctx.suffix(0), ctx.suffix(1)}] = ctx.suffix(2);
        ctx.settings().set_value(marker_state_key, ctx.suffixes(), true);
    };
    auto active = [](context_t& ctx) {
        ctx.expect_params(0, 0);
        const auto& markers = instrument_of(ctx).layout.active_markers;
        auto it = markers.find({ctx.suffix(0), ctx.suffix(1)});
        ctx.answer_integer(it == markers.end() ? 1 : it->second);
    };
    t.add(":CALCulate#:TRACe#:MARKer#:ACTivate", activate, active);
    t.add(":CALCulate#:MEASure#:MARKer#:ACTivate", activate, active);
    t.add_command(":CALCulate#:TRACe#:MARKer:AOFF", all_markers_off);
    t.add_command(":CALCulate#:MEASure#:MARKer:AOFF", all_markers_off);

    t.add_setting(choice_setting(":CALCulate:MARKer:COUPle", {"OFF", "CHANnel", "ALL"}, "CHAN"));
    add_trace_setting(t, boolean_setting(marker_delta_key, false).on_change(reference_marker_on));
    add_trace_setting(t, boolean_setting(marker_discrete_key, false));
    add_trace_setting(t, boolean_setting(reference_state_key, false).on_change(reference_marker_on));
    // A marker stays on the trace's axis (the sweep, or the time span of the
    // time domain): X beyond either end lands on that end, with a
    // data-out-of-range error. A tracking marker moves with each sweep:
    // reading X brings the channel's sweep up to date first.
    add_trace_setting(t, real_setting(marker_x_key, 1e9).range(-1e12, 1e12).refreshed_by([](context_t& ctx) {
        channel_sweep(instrument_of(ctx), ctx.suffix(0));
    }).on_change([](context_t& ctx) {
        const std::vector<double> x = trace_axis(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
        if (x.empty()) return;
        const double v = ctx.settings().real(marker_x_key, ctx.suffixes());
        const double clamped = std::min(std::max(v, x.front()), x.back());
        if (clamped == v) return;
        ctx.settings().set_value(marker_x_key, ctx.suffixes(), clamped);
        instrument_of(ctx).report_error(-222, "Data out of range; marker moved to the end of the sweep");
    }));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer#:TYPE", {"NORMal", "FIXed"}, "NORM"));
    t.add_query(":CALCulate#:TRACe#:MARKer#:Y", answer_marker_y);
    t.add_query(":CALCulate#:MEASure#:MARKer#:Y", answer_marker_y);
    t.add_command(":CALCulate#:TRACe#:MARKer#:SET", marker_to_setting);
    t.add_command(":CALCulate#:MEASure#:MARKer#:SET", marker_to_setting);

    // Choosing a single-marker search ends the trace's multi-search: the two
    // exclude each other, and EXECute runs whichever is selected.
    add_trace_setting(t, choice_setting(search_type_key,
                                        {"OFF", "MINimum", "MAXimum", "RPEak", "LPEak", "NPEak", "TARget", "LTARget",
                                         "RTARget", "PEAK"},
                                        "OFF")
                             .on_change([](context_t& ctx) {
                                 ctx.settings().set_value(multi_type_key, {ctx.suffix(0), ctx.suffix(1)},
                                                          std::int64_t{0});
                             }));
    t.add_command(":CALCulate#:TRACe#:MARKer#:FUNCtion:EXECute", execute_search);
    t.add_command(":CALCulate#:MEASure#:MARKer#:FUNCtion:EXECute", execute_search);
    add_trace_setting(t, boolean_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TRACking", false));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEXCursion", 3.0).range(0, 500));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PEAK:THReshold", -100.0).range(-500, 500));
    add_trace_setting(
        t, choice_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:PPOLarity", {"POSitive", "NEGative", "BOTH"}, "POS"));
    add_trace_setting(
        t, choice_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TTRansition", {"POSitive", "NEGative", "BOTH"}, "BOTH"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer#:FUNCtion:TARGet", 0.0).range(-500, 500));

    // Multi-search acts on all markers of a trace: no marker number.
    add_trace_setting(t, choice_setting(multi_type_key, {"OFF", "PEAK", "TARGet"}, "OFF"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PEXCursion", 3.0).range(0, 500));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:PPOLarity",
                                        {"POSitive", "NEGative", "BOTH"}, "POS"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:THReshold", -100.0).range(-500, 500));
    add_trace_setting(t, choice_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TTRansition",
                                        {"POSitive", "NEGative", "BOTH"}, "BOTH"));
    add_trace_setting(t, real_setting(":CALCulate#:TRACe#:MARKer:FUNCtion:MULTi:TARGet", 0.0).range(-500, 500));

    // Bandwidth and notch search per marker: shown or not, the level below
    // the reference (dB, negative), the reference, and the four results.
    for (const std::string node : {"BWIDth", "NOTCh"}) {
        const std::string base = ":CALCulate#:TRACe#:MARKer#:" + node;
        add_trace_setting(t, boolean_setting(base + "[:STATe]", false));
        add_trace_setting(t, real_setting(base + ":THReshold", -3.0).range(-500, 500).with_unit("DB"));
        add_trace_setting(t, choice_setting(base + ":REFerence", {"PEAK", "MARKer"}, "PEAK"));
        const bool notch = node == "NOTCh";
        auto data = [notch](context_t& ctx) { answer_band(ctx, notch); };
        t.add_query(base + ":DATA", data);
        t.add_query(":CALCulate#:MEASure#:MARKer#:" + node + ":DATA", data);
    }
}

// ---------------------------------------------------------------- tracking

// A marker whose search tracks runs it again on every sweep of its channel
// (the search as last chosen; one that finds nothing leaves the marker).
void track_marker_searches(instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    for (int trace : inst.layout.traces_of_channel(channel)) {
        for (int marker = 1; marker <= max_markers; ++marker) {
            const std::vector<int> at{channel, trace, marker};
            if (!s.boolean(":CALCulate#:TRACe#:MARKer#:FUNCtion:TRACking", at) || !s.boolean(marker_state_key, at))
                continue;
            const scpi::unit_t unit{};
            context_t ctx(inst, unit, at);
            try {
                execute_search(ctx);
            } catch (const scpi_error&) {
            }
        }
    }
}

}  // namespace zorsim
