// CALCulate markers: per channel, trace and marker number; the marker
// search and multi-search settings and their execution; the bandwidth and
// notch search; marker-to-setting; the active marker of each trace and the
// analyzer-wide marker coupling.
//
// Markers and searches read the trace's formatted data from the measurement
// chain, the same numbers FDATa answers. Searches run on the sweep points,
// as an analyzer's do; crossings and band edges are interpolated. A marker
// whose search tracks runs it again after every sweep of its channel,
// through an after-sweep hook these commands install.
#include "commands.h"

#include <simulator/analysis/band.h>
#include <simulator/analysis/search.h>
#include <simulator/instrument/measurement.h>
#include <simulator/instrument/readings.h>
#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorsim {

namespace {

constexpr int reference_marker = settings::reference_marker;
constexpr std::size_t multi_search_markers = 9;  // a multi-search fills markers 1..9

analysis::trace_t trace_of(context_t& ctx) { return formatted_trace(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1)); }

double marker_x_of(context_t& ctx, int marker) {
    return marker_x(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1), marker);
}

// ---------------------------------------------------------------- searches

[[noreturn]] void not_found(bool target) {
    throw scpi_error(-200, target ? "Execution error; target not found" : "Execution error; peak not found");
}

// Runs the marker's search as last chosen: its single search, or the
// trace's multi-search (which places markers 1..9) while one is chosen.
void run_search(instrument_t& inst, int channel, int trace, int marker) {
    const auto& s = inst.settings();
    const std::vector<int> at_trace{channel, trace}, at{channel, trace, marker};
    const analysis::trace_t t = formatted_trace(inst, channel, trace);
    const analysis::multi_search_t multi = s.get(settings::multi_function, at_trace);
    if (multi != analysis::multi_search_t::off) {
        analysis::search_settings_t m;
        m.excursion = s.get(settings::multi_excursion, at_trace);
        m.threshold = s.get(settings::multi_threshold, at_trace);
        m.polarity = s.get(settings::multi_polarity, at_trace);
        m.target = s.get(settings::multi_target, at_trace);
        m.transition = s.get(settings::multi_transition, at_trace);
        const auto places = analysis::multi_search(t, multi, m, multi_search_markers);
        if (places.empty()) not_found(multi == analysis::multi_search_t::target);
        for (std::size_t i = 0; i < places.size(); ++i)
            place_marker(inst, channel, trace, static_cast<int>(i) + 1, places[i]);
        return;
    }
    analysis::search_settings_t one;
    one.function = s.get(settings::search_function, at);
    if (one.function == analysis::search_t::off) throw scpi_error(-221, "Settings conflict; no search function selected");
    one.target = s.get(settings::search_target, at);
    one.transition = s.get(settings::search_transition, at);
    one.excursion = s.get(settings::search_excursion, at);
    one.threshold = s.get(settings::search_threshold, at);
    one.polarity = s.get(settings::search_polarity, at);
    const auto place = analysis::search(t, one, marker_x(inst, channel, trace, marker));
    if (!place) not_found(analysis::is_target_search(one.function));
    place_marker(inst, channel, trace, marker, *place);
}

void execute_search(context_t& ctx) {
    ctx.expect_params(0, 0);
    run_search(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1), ctx.suffix(2));
}

// A tracking marker runs its search again after each sweep of its channel;
// one that finds nothing stays where it was.
void track_searches(instrument_t& inst, int channel) {
    const auto& s = inst.settings();
    for (int trace : inst.setup.layout.traces_of_channel(channel)) {
        for (int marker = 1; marker <= settings::max_markers; ++marker) {
            const std::vector<int> at{channel, trace, marker};
            if (!s.get(settings::search_tracking, at) || !s.get(settings::marker_state, at)) continue;
            try {
                run_search(inst, channel, trace, marker);
            } catch (const scpi_error&) {
            }
        }
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
    instrument_t& inst = instrument_of(ctx);
    const int channel = ctx.suffix(0), trace = ctx.suffix(1), marker = ctx.suffix(2);
    const std::vector<int> at{channel, trace, marker};
    const analysis::trace_t t = trace_of(ctx);
    const auto& s = ctx.settings();
    const bool by_marker = s.get(notch ? settings::notch_reference : settings::bandwidth_reference, at) ==
                           settings::band_reference_t::marker;
    const double threshold = s.get(notch ? settings::notch_threshold : settings::bandwidth_threshold, at);
    analysis::band_t band{std::nan(""), std::nan(""), std::nan(""), std::nan("")};
    if (!t.y.empty()) {
        const auto top = static_cast<std::size_t>(std::max_element(t.y.begin(), t.y.end()) - t.y.begin());
        const auto bottom = static_cast<std::size_t>(std::min_element(t.y.begin(), t.y.end()) - t.y.begin());
        const double reference = by_marker ? marker_response(inst, t, channel, trace, marker) : t.y[top];
        const std::size_t around = by_marker ? analysis::nearest(t.x, marker_x_of(ctx, marker)) : notch ? bottom : top;
        band = analysis::band_around(t, around, reference, threshold, notch);
    }
    for (double v : {band.width, band.center, band.q, band.loss}) ctx.answer_real(v);
}

// ---------------------------------------------------------------- marker to setting

void set_sweep(context_t& ctx, int channel, double start, double stop) {
    ctx.settings().set(settings::frequency_start, {channel}, start);
    ctx.settings().set(settings::frequency_stop, {channel}, stop);
}

// Moves a setting of the channel or trace to the marker: the sweep's
// center, start, stop, CW frequency, span (from a delta marker to the
// reference marker), the reference level of the trace's window, and the
// electrical delay (the group delay at the marker). SA has nothing to act on here.
void marker_to_setting(context_t& ctx) {
    static const std::vector<std::string> choices{"CENTer", "SPAN", "STARt", "STOP", "RLEVel", "DELay", "CWFReq", "SA"};
    ctx.expect_params(1, 1);
    const std::string what = choices[ctx.choice_param(0, choices)];
    instrument_t& inst = instrument_of(ctx);
    const int channel = ctx.suffix(0), trace = ctx.suffix(1), marker = ctx.suffix(2);
    auto& s = ctx.settings();
    if (shows_time(s, channel, trace) && what != "RLEVel" && what != "SA")
        return marker_to_time_setting(ctx, what, marker_x_of(ctx, marker), marker_x_of(ctx, reference_marker));
    const double lo = settings::min_frequency, hi = settings::max_frequency;
    const double x = std::min(std::max(marker_x_of(ctx, marker), lo), hi);
    const double start = s.get(settings::frequency_start, {channel}), stop = s.get(settings::frequency_stop, {channel});

    if (what == "CENTer") {
        const double half = std::min({(stop - start) / 2, x - lo, hi - x});
        set_sweep(ctx, channel, x - half, x + half);
    } else if (what == "STARt") {
        set_sweep(ctx, channel, x, std::max(x, stop));
    } else if (what == "STOP") {
        set_sweep(ctx, channel, std::min(start, x), x);
    } else if (what == "SPAN") {
        if (marker == reference_marker || !s.get(settings::marker_delta, {channel, trace, marker}))
            throw scpi_error(-221, "Settings conflict; marker is not a delta marker");
        const double center = (start + stop) / 2;
        const double half = std::min({std::fabs(x - marker_x_of(ctx, reference_marker)) / 2, center - lo, hi - center});
        set_sweep(ctx, channel, center - half, center + half);
    } else if (what == "CWFReq") {
        s.set(settings::frequency_cw, {channel}, x);
    } else if (what == "RLEVel") {
        const auto& traces = inst.setup.layout.traces;
        const auto it = traces.find(trace);
        const int window = it == traces.end() ? 1 : it->second.window;
        s.set(settings::reference_level, {window, trace}, marker_response(inst, trace_of(ctx), channel, trace, marker));
    } else if (what == "DELay") {
        // The group delay of the corrected data at the marker.
        const trace_view_t view = trace_view(inst, channel, trace);
        std::vector<double> delay;
        physics::format_data(view.corrected, view.frequency, physics::format_t::gdelay, delay);
        std::vector<double> first(view.x.size());
        for (std::size_t k = 0; k < first.size(); ++k) first[k] = delay[2 * k];
        s.set(settings::electrical_delay, {channel, trace}, analysis::interpolate(view.x, first, marker_x_of(ctx, marker)));
    }
}

// ---------------------------------------------------------------- markers

void answer_marker_y(context_t& ctx) {
    ctx.expect_params(0, 0);
    const marker_reading_t r =
        marker_reading(instrument_of(ctx), trace_of(ctx), ctx.suffix(0), ctx.suffix(1), ctx.suffix(2));
    // The second value belongs to two-value formats (Smith, polar); 0 otherwise.
    ctx.answer_real(r.y);
    ctx.answer_real(r.y2);
}

// Delta and reference modes need the reference marker: switching either
// on turns it on where it last stood.
void reference_marker_on(context_t& ctx) {
    const bool on = ctx.suffixes().size() > 2 ? ctx.settings().get(settings::marker_delta, ctx.suffixes())
                                              : ctx.settings().get(settings::reference_mode, ctx.suffixes());
    if (on) ctx.settings().set(settings::marker_state, {ctx.suffix(0), ctx.suffix(1), reference_marker}, true);
}

void all_markers_off(context_t& ctx) {
    ctx.expect_params(0, 0);
    for (int m = 1; m <= settings::max_markers; ++m)
        ctx.settings().set(settings::marker_state, {ctx.suffix(0), ctx.suffix(1), m}, false);
}

// A marker stays on the trace's axis (the sweep, or the time span of the
// time domain): X beyond either end lands on that end, with a
// data-out-of-range error.
void keep_marker_on_axis(context_t& ctx) {
    const std::vector<double> x = trace_axis(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
    if (x.empty()) return;
    const double v = ctx.settings().get(settings::marker_x, ctx.suffixes());
    const double clamped = std::min(std::max(v, x.front()), x.back());
    if (clamped == v) return;
    ctx.settings().set(settings::marker_x, ctx.suffixes(), clamped);
    instrument_of(ctx).report_error(-222, "Data out of range; marker moved to the end of the sweep");
}

void register_band_search(scpi::command_table_t& t, bool notch) {
    const auto& shown = notch ? settings::notch_shown : settings::bandwidth_shown;
    const auto& threshold = notch ? settings::notch_threshold : settings::bandwidth_threshold;
    const auto& reference = notch ? settings::notch_reference : settings::bandwidth_reference;
    add_trace_setting(t, boolean_setting(shown, false));
    add_trace_setting(t, real_setting(threshold, -3.0).range(-500, 500).with_unit("DB"));
    add_trace_setting(t, choice_setting(reference, settings::band_reference_t::peak));
    add_trace_command(t, std::string(":CALCulate#:TRACe#:MARKer#:") + (notch ? "NOTCh" : "BWIDth") + ":DATA", nullptr,
                      [notch](context_t& ctx) { answer_band(ctx, notch); });
}

}  // namespace

void register_marker_commands(command_set_t& set) {
    scpi::command_table_t& t = set.table;
    set.after_sweep.push_back(track_searches);

    add_trace_setting(t, boolean_setting(settings::marker_state, false));
    // "MARKer<m>:ACTivate" makes marker m the trace's active marker and turns
    // it on; "MARKer:ACTivate?" names the active marker (1 until one is set).
    add_trace_command(
        t, ":CALCulate#:TRACe#:MARKer#:ACTivate",
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            instrument_of(ctx).setup.layout.active_markers[{ctx.suffix(0), ctx.suffix(1)}] = ctx.suffix(2);
            ctx.settings().set(settings::marker_state, ctx.suffixes(), true);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            const auto& markers = instrument_of(ctx).setup.layout.active_markers;
            auto it = markers.find({ctx.suffix(0), ctx.suffix(1)});
            ctx.answer_integer(it == markers.end() ? 1 : it->second);
        });
    add_trace_command(t, ":CALCulate#:TRACe#:MARKer:AOFF", all_markers_off, nullptr);

    t.add_setting(choice_setting(settings::marker_coupling, 1));
    add_trace_setting(t, boolean_setting(settings::marker_delta, false).on_change(reference_marker_on));
    add_trace_setting(t, boolean_setting(settings::marker_discrete, false));
    add_trace_setting(t, boolean_setting(settings::reference_mode, false).on_change(reference_marker_on));
    // A tracking marker moves with each sweep: reading X brings the
    // channel's sweep up to date first.
    add_trace_setting(t, real_setting(settings::marker_x, 1e9)
                             .range(-1e12, 1e12)
                             .refreshed_by([](context_t& ctx) { channel_sweep(instrument_of(ctx), ctx.suffix(0)); })
                             .on_change(keep_marker_on_axis));
    add_trace_setting(t, choice_setting(settings::marker_type, 0));
    add_trace_command(t, ":CALCulate#:TRACe#:MARKer#:Y", nullptr, answer_marker_y);
    add_trace_command(t, ":CALCulate#:TRACe#:MARKer#:SET", marker_to_setting, nullptr);

    // Choosing a single-marker search ends the trace's multi-search: the two
    // exclude each other, and EXECute runs whichever is selected.
    add_trace_setting(t, choice_setting(settings::search_function, analysis::search_t::off).on_change([](context_t& ctx) {
        ctx.settings().set(settings::multi_function, {ctx.suffix(0), ctx.suffix(1)}, analysis::multi_search_t::off);
    }));
    add_trace_command(t, ":CALCulate#:TRACe#:MARKer#:FUNCtion:EXECute", execute_search, nullptr);
    add_trace_setting(t, boolean_setting(settings::search_tracking, false));
    add_trace_setting(t, real_setting(settings::search_excursion, 3.0).range(0, 500));
    add_trace_setting(t, real_setting(settings::search_threshold, -100.0).range(-500, 500));
    add_trace_setting(t, choice_setting(settings::search_polarity, analysis::polarity_t::positive));
    add_trace_setting(t, choice_setting(settings::search_transition, analysis::polarity_t::both));
    add_trace_setting(t, real_setting(settings::search_target, 0.0).range(-500, 500));

    add_trace_setting(t, choice_setting(settings::multi_function, analysis::multi_search_t::off));
    add_trace_setting(t, real_setting(settings::multi_excursion, 3.0).range(0, 500));
    add_trace_setting(t, choice_setting(settings::multi_polarity, analysis::polarity_t::positive));
    add_trace_setting(t, real_setting(settings::multi_threshold, -100.0).range(-500, 500));
    add_trace_setting(t, choice_setting(settings::multi_transition, analysis::polarity_t::both));
    add_trace_setting(t, real_setting(settings::multi_target, 0.0).range(-500, 500));

    register_band_search(t, false);
    register_band_search(t, true);
}

}  // namespace zorsim
