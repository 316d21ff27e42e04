#include "display_source.h"

#include "measurement.h"
#include "readings.h"
#include "settings.h"

#include <simulator/physics/sweep_calibration.h>

#include <cmath>

namespace zorsim {

namespace {

// The trace's formatted data and, when shown, its memory formatted by the
// same chain; an empty trace where the chain cannot run.
void read_data(instrument_t& inst, int channel, int number, bool memory_shown, display::trace_t& t,
               analysis::trace_t& formatted) {
    try {
        const trace_view_t view = trace_view(inst, channel, number);
        formatted = formatted_trace(view);
        t.x = formatted.x;
        t.y = formatted.y;
        t.y2 = formatted.y2;
        const std::size_t n = formatted.points();
        const auto* memory =
            memory_shown ? written_values(inst, &written_data_t::memory, channel, number, 2 * n) : nullptr;
        if (memory == nullptr) return;
        std::vector<physics::complex_t> data(n);
        for (std::size_t k = 0; k < n; ++k) data[k] = {(*memory)[2 * k], (*memory)[2 * k + 1]};
        const std::vector<double> values = formatted_of(inst, channel, number, data, view.frequency);
        if (values.size() != 2 * n) return;
        t.memory_shown = true;
        t.memory_y.resize(n);
        t.memory_y2.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            t.memory_y[k] = values[2 * k];
            t.memory_y2[k] = values[2 * k + 1];
        }
    } catch (const std::exception&) {
        t.x.clear();
        t.y.clear();
        t.y2.clear();
        formatted = analysis::trace_t{};
    }
}

void read_markers(const instrument_t& inst, int channel, int number, const analysis::trace_t& formatted,
                  display::trace_t& t) {
    const auto& s = inst.settings();
    const auto& active_markers = inst.setup.layout.active_markers;
    const auto active = active_markers.find({channel, number});
    const int reference = settings::reference_marker;
    for (int m = 1; m <= settings::max_markers; ++m) {
        const std::vector<int> at{channel, number, m};
        if (!s.get(settings::marker_state, at)) continue;
        display::marker_t marker;
        marker.number = m;
        marker.reference = m == reference;
        marker.x = marker_x(inst, channel, number, m);
        if (formatted.points() == 0) {
            marker.y = std::nan("");
        } else {
            const marker_reading_t r = marker_reading(inst, formatted, channel, number, m);
            marker.y = r.y;
            marker.y2 = r.y2;
        }
        marker.active = m == (active == active_markers.end() ? 1 : active->second);
        // Delta readouts only while the reference marker they refer to is on.
        marker.delta = m != reference && s.get(settings::marker_delta, at) &&
                       s.get(settings::marker_state, {channel, number, reference});
        t.markers.push_back(std::move(marker));
    }
}

void read_limits(const instrument_t& inst, int channel, int number, const analysis::trace_t& formatted,
                 display::trace_t& t) {
    const std::vector<int> at{channel, number};
    t.limit_test = inst.settings().get(settings::limit_test, at);
    t.limit_lines = inst.settings().get(settings::limit_lines, at);
    if (!t.limit_test && !t.limit_lines) return;
    const auto table = inst.setup.limit_tables.find({channel, number});
    if (table != inst.setup.limit_tables.end())
        for (const auto& segment : table->second)
            if (segment.type != analysis::limit_type_t::off)
                t.limit_segments.push_back(display::limit_segment_t{segment.type == analysis::limit_type_t::upper,
                                                                    segment.x0, segment.x1, segment.y0, segment.y1});
    if (!t.limit_test) return;
    for (const auto& point : limit_report(inst, formatted, channel, number)) {
        if (point.result != analysis::verdict_t::fail) continue;
        t.limit_failed = true;
        t.failed_x.push_back(point.x);
    }
}

}  // namespace

display::screen_t instrument_display_t::screen() {
    const layout_t& layout = inst_.setup.layout;
    display::screen_t screen;
    for (int w : layout.window_numbers()) screen.windows.emplace_back(w, layout.traces_of_window(w));
    screen.channels = layout.channels();
    screen.active_channel = layout.active_channel;
    screen.active_window = layout.active_window;
    screen.active_trace = layout.active_trace;
    screen.maximized = inst_.settings().get(settings::maximized);
    return screen;
}

display::channel_t instrument_display_t::channel(int number) {
    const auto& s = inst_.settings();
    const std::vector<int> c{number};
    display::channel_t ch;
    ch.number = number;
    ch.start = s.get(settings::frequency_start, c);
    ch.stop = s.get(settings::frequency_stop, c);
    ch.points = s.get(settings::sweep_points, c);
    ch.if_bandwidth = s.get(settings::if_bandwidth, c);
    ch.sweep_type = settings::sweep_type.keyword(s.get(settings::sweep_type, c));
    ch.sweep_mode = settings::sweep_mode.keyword(s.get(settings::sweep_mode, c));
    ch.averaging = s.get(settings::averaging, c);
    ch.average_count = s.get(settings::average_count, c);
    // A calibration beyond its own stimulus grid is shown as interpolated.
    if (s.get(settings::correction, c)) {
        const auto cal = inst_.calibrations.find(number);
        const bool interpolated =
            cal != inst_.calibrations.end() &&
            physics::validity(cal->second, physics::frequencies(stimulus_of(inst_, number))) ==
                physics::cal_validity_t::interpolated;
        ch.correction = interpolated ? display::correction_t::interpolated : display::correction_t::on;
    }
    return ch;
}

display::window_t instrument_display_t::window(int number) {
    const auto& s = inst_.settings();
    display::window_t w;
    w.number = number;
    if (s.get(settings::window_title_shown, {number})) w.title = s.get(settings::window_title, {number});
    w.divisions = static_cast<int>(s.get(settings::divisions, {number}));
    return w;
}

display::trace_t instrument_display_t::trace(int window, int number) {
    const auto& s = inst_.settings();
    const auto found = inst_.setup.layout.traces.find(number);
    const int channel = found == inst_.setup.layout.traces.end() ? 1 : found->second.channel;
    const std::vector<int> at{channel, number}, scale{window, number};
    display::trace_t t;
    t.number = number;
    t.channel = channel;
    t.parameter = settings::parameter.keyword(s.get(settings::parameter, at));
    t.format = settings::format.keyword(s.get(settings::format, at));
    t.time_axis = s.get(settings::transform, at);
    t.per_division = s.get(settings::per_division, scale);
    t.reference_level = s.get(settings::reference_level, scale);
    t.reference_position = s.get(settings::reference_position, scale);
    if (s.get(settings::trace_title_shown, {number})) t.title = s.get(settings::trace_title, {number});
    analysis::trace_t formatted;
    read_data(inst_, channel, number, s.get(settings::memory_shown, scale), t, formatted);
    read_markers(inst_, channel, number, formatted, t);
    read_limits(inst_, channel, number, formatted, t);
    return t;
}

display::display_state_t display_state(instrument_t& inst) {
    instrument_display_t source(inst);
    return display::snapshot(source);
}

}  // namespace zorsim
