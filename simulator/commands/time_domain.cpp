// CALCulate time domain: the transform and the gate, per channel and trace,
// and the distances a velocity factor turns times into.
//
// Start and stop are stored; center and span are views of them, as for the
// frequency sweep. The impulse width is a view of the Kaiser beta through
// the channel's frequency span and the transform type. The time domain
// needs a uniform frequency grid: it cannot be turned on over another sweep
// type, and a sweep that stops being linear ends it.
#include "commands.h"

#include <simulator/instrument/measurement.h>
#include <simulator/instrument/settings.h>
#include <simulator/instrument/sweep.h>
#include <simulator/physics/time_domain.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace zorsim {

namespace {

constexpr double max_time = 1e-3;  // s, either side of zero
constexpr int settings_conflict = -221;

std::vector<int> trace_of(const context_t& ctx) { return {ctx.suffix(0), ctx.suffix(1)}; }

// ---------------------------------------------------------------- markers on the time axis

// Moves every marker of the trace from one axis to another, keeping its
// place relative to the ends (so a marker stays where it was on screen).
void map_markers(context_t& ctx, double from_start, double from_stop, double to_start, double to_stop) {
    auto& s = ctx.settings();
    for (int m = 1; m <= settings::max_markers; ++m) {
        const std::vector<int> at{ctx.suffix(0), ctx.suffix(1), m};
        const double share =
            from_stop > from_start ? (s.get(settings::marker_x, at) - from_start) / (from_stop - from_start) : 0.0;
        s.set(settings::marker_x, at, to_start + std::min(std::max(share, 0.0), 1.0) * (to_stop - to_start));
    }
}

// Markers stay inside the time span when it shrinks.
void clamp_markers(context_t& ctx) {
    if (!shows_time(ctx.settings(), ctx.suffix(0), ctx.suffix(1))) return;
    const std::vector<double> axis = trace_axis(instrument_of(ctx), ctx.suffix(0), ctx.suffix(1));
    if (axis.empty()) return;
    auto& s = ctx.settings();
    for (int m = 1; m <= settings::max_markers; ++m) {
        const std::vector<int> at{ctx.suffix(0), ctx.suffix(1), m};
        const double x = s.get(settings::marker_x, at);
        const double clamped = std::min(std::max(x, axis.front()), axis.back());
        if (clamped != x) s.set(settings::marker_x, at, clamped);
    }
}

// Turning the transform on or off moves the trace's markers between the
// frequency and the time axis; over a sweep that is not linear it is refused.
void check_transform_state(context_t& ctx, const scpi::setting_value_t& value) {
    const bool on = std::get<bool>(value);
    auto& inst = instrument_of(ctx);
    const int channel = ctx.suffix(0);
    if (on && !time_domain_possible(inst.settings(), channel))
        throw scpi_error(settings_conflict, "Settings conflict; the time domain needs a linear frequency sweep");
    if (on == inst.settings().get(settings::transform, trace_of(ctx)) || !time_domain_possible(inst.settings(), channel))
        return;
    const std::vector<double>& frequency = channel_sweep(inst, channel).x;
    if (frequency.empty()) return;
    const double start = inst.settings().get(settings::transform_start, trace_of(ctx));
    const double stop = inst.settings().get(settings::transform_stop, trace_of(ctx));
    if (on) map_markers(ctx, frequency.front(), frequency.back(), start, stop);
    else map_markers(ctx, start, stop, frequency.front(), frequency.back());
}

void check_gate_state(context_t& ctx, const scpi::setting_value_t& value) {
    if (std::get<bool>(value) && !time_domain_possible(ctx.settings(), ctx.suffix(0)))
        throw scpi_error(settings_conflict, "Settings conflict; gating needs a linear frequency sweep");
}

// ---------------------------------------------------------------- start, stop, center, span

// One time window (the transform's or the gate's): start and stop stored,
// pushing each other along; center and span derived.
struct time_window_t {
    const settings::real_t& start_key;
    const settings::real_t& stop_key;

    // The window's own node, the start's pattern without ":STARt".
    std::string base() const {
        const std::string start(start_key.pattern);
        return start.substr(0, start.rfind(':'));
    }
    double start(const context_t& ctx) const { return ctx.settings().get(start_key, trace_of(ctx)); }
    double stop(const context_t& ctx) const { return ctx.settings().get(stop_key, trace_of(ctx)); }
    void set(context_t& ctx, double from, double to) const {
        ctx.settings().set(start_key, trace_of(ctx), from);
        ctx.settings().set(stop_key, trace_of(ctx), to);
        clamp_markers(ctx);
    }
    // A new center keeps the span where the limits allow and narrows it
    // where they do not; a new span keeps the center likewise.
    void set_center(context_t& ctx, double center) const {
        const double half = std::min({(stop(ctx) - start(ctx)) / 2, center + max_time, max_time - center});
        set(ctx, center - half, center + half);
    }
    void set_span(context_t& ctx, double span) const {
        const double center = (start(ctx) + stop(ctx)) / 2;
        const double half = std::min({span / 2, center + max_time, max_time - center});
        set(ctx, center - half, center + half);
    }
};

const time_window_t transform_window{settings::transform_start, settings::transform_stop};
const time_window_t gate_window{settings::gate_start, settings::gate_stop};

void add_time_window(scpi::command_table_t& t, const time_window_t& w, double start, double stop) {
    add_trace_setting(t, real_setting(w.start_key, start).range(-max_time, max_time).with_unit("S").on_change(
                             [w](context_t& ctx) { w.set(ctx, w.start(ctx), std::max(w.start(ctx), w.stop(ctx))); }));
    add_trace_setting(t, real_setting(w.stop_key, stop).range(-max_time, max_time).with_unit("S").on_change(
                             [w](context_t& ctx) { w.set(ctx, std::min(w.start(ctx), w.stop(ctx)), w.stop(ctx)); }));
    add_trace_command(
        t, w.base() + ":CENTer", [w](context_t& ctx) { w.set_center(ctx, bounded_param(ctx, -max_time, max_time, "S")); },
        [w](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real((w.start(ctx) + w.stop(ctx)) / 2);
        });
    add_trace_command(
        t, w.base() + ":SPAN", [w](context_t& ctx) { w.set_span(ctx, bounded_param(ctx, 0, 2 * max_time, "S")); },
        [w](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real(w.stop(ctx) - w.start(ctx));
        });
}

// ---------------------------------------------------------------- impulse width

// The impulse width of a Kaiser beta on the channel's present grid, and
// the beta of a width (the nearest the window reaches).
double width_of_beta(context_t& ctx, double beta) {
    const physics::stimulus_t st = stimulus_of(instrument_of(ctx), ctx.suffix(0));
    return physics::impulse_width(transform_of(ctx.settings(), ctx.suffix(0), ctx.suffix(1)), st.start, st.stop,
                                  static_cast<std::size_t>(st.points), beta);
}

void set_impulse_width(context_t& ctx) {
    ctx.expect_params(1, 1);
    const physics::stimulus_t st = stimulus_of(instrument_of(ctx), ctx.suffix(0));
    const auto kind = transform_of(ctx.settings(), ctx.suffix(0), ctx.suffix(1));
    const auto points = static_cast<std::size_t>(st.points);
    double width = 0;
    if (ctx.is_word(0, "MINimum")) width = physics::impulse_width(kind, st.start, st.stop, points, 0.0);
    else if (ctx.is_word(0, "MAXimum")) width = physics::impulse_width(kind, st.start, st.stop, points, 13.0);
    else width = ctx.real_param(0, "S");
    if (!(width > 0)) throw scpi_error(-222);
    ctx.settings().set(settings::kaiser_beta, trace_of(ctx), physics::beta_for_width(kind, st.start, st.stop, points, width));
}

// ---------------------------------------------------------------- distances

// Meters per unit of EDELay:UNIT.
double meters_per_unit(settings::distance_unit_t unit) {
    return unit == settings::distance_unit_t::feet ? 0.3048 : unit == settings::distance_unit_t::inch ? 0.0254 : 1.0;
}

// The electrical delay as a distance along a line of the velocity factor
// of the port that drives the measurement; a reflection's delay covers the
// way twice, so it shows half.
struct delay_line_t {
    double velocity_factor;
    bool reflection;
    double unit;  // m
};

delay_line_t delay_line(const context_t& ctx) {
    const physics::trace_settings_t t = trace_settings_of(ctx.settings(), ctx.suffix(0), ctx.suffix(1));
    return {ctx.settings().get(settings::velocity_factor, {ctx.suffix(0), t.column}), t.row == t.column,
            meters_per_unit(ctx.settings().get(settings::delay_unit, trace_of(ctx)))};
}

void register_distances(scpi::command_table_t& t) {
    add_trace_setting(t, choice_setting(settings::delay_unit, settings::distance_unit_t::meter));
    add_trace_command(
        t, ":CALCulate#:TRACe#:CORRection:EDELay:DISTance",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            const delay_line_t line = delay_line(ctx);
            const double time = physics::travel_time(ctx.real_param(0) * line.unit, line.velocity_factor, line.reflection);
            if (!(time >= -10 && time <= 10)) throw scpi_error(-222);
            ctx.settings().set(settings::electrical_delay, trace_of(ctx), time);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            const delay_line_t line = delay_line(ctx);
            ctx.answer_real(physics::distance(ctx.settings().get(settings::electrical_delay, trace_of(ctx)),
                                              line.velocity_factor, line.reflection) /
                            line.unit);
        });
    // A port extension as the length (m) of the line it stands for, one way.
    t.add(
        "[:SENSe#]:CORRection:EXTension:PORT#:DISTance",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            const double time = physics::travel_time(ctx.real_param(0, "M"),
                                                     ctx.settings().get(settings::velocity_factor, ctx.suffixes()), false);
            if (!(time >= -10 && time <= 10)) throw scpi_error(-222);
            ctx.settings().set(settings::port_extension, ctx.suffixes(), time);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_real(physics::distance(ctx.settings().get(settings::port_extension, ctx.suffixes()),
                                              ctx.settings().get(settings::velocity_factor, ctx.suffixes()), false));
        });
}

// Low-pass transforms need a harmonic grid: every point a multiple of the
// start, so start = stop / points. Where that start falls below the lowest
// frequency, the start goes to the lowest frequency and the stop up to
// points times it, clipped to the highest frequency (the grid is then the
// best the hardware allows). The trace suffix only addresses the command.
void set_low_pass_frequencies(context_t& ctx) {
    ctx.expect_params(0, 0);
    const std::vector<int> channel = {ctx.suffix(0)};
    const double lowest = settings::min_frequency;
    const double highest = settings::max_frequency;
    const double points =
        static_cast<double>(std::max<std::int64_t>(1, ctx.settings().get(settings::sweep_points, channel)));
    double stop = ctx.settings().get(settings::frequency_stop, channel);
    double start = stop / points;
    if (start < lowest) {
        start = lowest;
        stop = std::min(highest, lowest * points);
    }
    ctx.settings().set(settings::frequency_start, channel, start);
    ctx.settings().set(settings::frequency_stop, channel, stop);
}

}  // namespace

void marker_to_time_setting(context_t& ctx, const std::string& what, double x, double reference_x) {
    const time_window_t& w = transform_window;
    const std::vector<int> marker{ctx.suffix(0), ctx.suffix(1), ctx.suffix(2)};
    if (what == "CENTer") {
        w.set_center(ctx, x);
    } else if (what == "STARt") {
        w.set(ctx, x, std::max(x, w.stop(ctx)));
    } else if (what == "STOP") {
        w.set(ctx, std::min(w.start(ctx), x), x);
    } else if (what == "SPAN") {
        if (ctx.suffix(2) == settings::reference_marker || !ctx.settings().get(settings::marker_delta, marker))
            throw scpi_error(settings_conflict, "Settings conflict; marker is not a delta marker");
        w.set_span(ctx, std::fabs(x - reference_x));
    } else if (what == "DELay") {
        // The response under the marker comes back to zero time.
        ctx.settings().set(settings::electrical_delay, trace_of(ctx), x);
    } else if (what == "CWFReq") {
        throw scpi_error(settings_conflict, "Settings conflict; the marker is on the time axis");
    }
}

void end_time_domain_unless_linear(context_t& ctx, int channel) {
    auto& s = ctx.settings();
    if (time_domain_possible(s, channel)) return;
    bool ended = false;
    for (int trace = 1; trace <= settings::max_traces; ++trace) {
        for (const settings::boolean_t* key : {&settings::transform, &settings::gate}) {
            if (!s.get(*key, {channel, trace})) continue;
            s.set(*key, {channel, trace}, false);
            ended = true;
        }
    }
    if (ended) instrument_of(ctx).report_error(settings_conflict, "Settings conflict; time domain off: the sweep is not linear");
}

void register_time_domain_commands(scpi::command_table_t& t) {
    add_trace_setting(t, boolean_setting(settings::transform, false).with_check(check_transform_state));
    // The transform type; impulse and step are stimuli of the low-pass type,
    // which is the default so that a stimulus reads back through the type.
    add_trace_setting(t, choice_setting(settings::transform_type, settings::transform_type_t::low_pass));
    add_trace_setting(t, choice_setting(settings::transform_stimulus, settings::transform_stimulus_t::impulse));
    add_time_window(t, transform_window, -1e-8, 1e-8);
    add_trace_command(t, ":CALCulate#:TRACe#:TRANsform:TIME:IMPulse:WIDTh", set_impulse_width, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_real(width_of_beta(ctx, ctx.settings().get(settings::kaiser_beta, trace_of(ctx))));
    });
    add_trace_setting(t, real_setting(settings::kaiser_beta, 6.0).range(0, 13));
    add_trace_setting(t, boolean_setting(settings::transform_coupling, false));
    add_trace_command(t, ":CALCulate#:TRACe#:TRANsform:TIME:LPFRequency", set_low_pass_frequencies, nullptr);

    add_trace_setting(t, boolean_setting(settings::gate, false).with_check(check_gate_state));
    add_time_window(t, gate_window, -1e-8, 1e-8);
    add_trace_setting(t, choice_setting(settings::gate_shape, settings::gate_shape_t::normal));
    add_trace_setting(t, choice_setting(settings::gate_type, physics::gate_type_t::band_pass));

    register_distances(t);
}

}  // namespace zorsim
