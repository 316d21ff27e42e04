// The display snapshot: what the screen shows, taken from its source as
// numbers, with the display's own parts added: the trace colours, the grid
// each format draws on, and the marker table's readouts.
#include "source.h"

#include "notation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace zorsim::display {

namespace {

std::string fixed(double v, int decimals, const char* unit) {
    if (!std::isfinite(v)) return "---";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f %s", decimals, v, unit);
    return buf;
}

// The marker's response as the marker table shows it in `format`.
std::string response_text(const std::string& format, double a, double b) {
    if (format == "MLOG") return fixed(a, 3, "dB");
    if (format == "PHAS" || format == "UPH" || format == "PPH") return fixed(a, 2, "\xC2\xB0");
    if (format == "GDEL") return engineering(a, "s", 4);
    if (format == "SLIN" || format == "PLIN") return fixed(a, 4, "U") + "  " + fixed(b, 2, "\xC2\xB0");
    if (format == "SLOG" || format == "PLOG") return fixed(a, 3, "dB") + "  " + fixed(b, 2, "\xC2\xB0");
    if (format == "SMIT" || format == "SADM" || format == "SCOM" || format == "POL")
        return fixed(a, 4, "") + (b < 0 ? " -j" : " +j") + fixed(std::fabs(b), 4, "");
    return fixed(a, 4, "U");
}

// The marker table's line: name, stimulus (s on a time axis, else Hz) and response.
std::string readout(const trace_t& t, const marker_t& m) {
    const std::string name = m.reference ? "R" : (m.delta ? "\xCE\x94" : "") + std::to_string(m.number);
    return name + "  " + engineering(m.x, t.time_axis ? "s" : "Hz") + "  " + response_text(t.format, m.y, m.y2);
}

}  // namespace

display_state_t snapshot(source_t& source) {
    const screen_t screen = source.screen();
    display_state_t state;
    state.active_channel = screen.active_channel;
    state.active_window = screen.active_window;
    state.maximized = screen.maximized;
    for (int c : screen.channels) state.channels.push_back(source.channel(c));
    for (const auto& [number, traces] : screen.windows) {
        window_t window = source.window(number);
        window.number = number;
        window.active = number == screen.active_window;
        for (int t : traces) {
            trace_t trace = source.trace(number, t);
            trace.number = t;
            trace.active = t == screen.active_trace;
            trace.colour = palette_t::trace(t);
            trace.grid = grid_of(trace.format);
            for (marker_t& m : trace.markers) m.readout = readout(trace, m);
            window.traces.push_back(std::move(trace));
        }
        state.windows.push_back(std::move(window));
    }
    return state;
}

// NaN compares unequal to itself; a trace full of NaN must still compare
// equal to its own copy, so values compare by bits.
namespace {
bool same(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

bool marker_t::operator==(const marker_t& o) const {
    return number == o.number && reference == o.reference && same(x, o.x) && same(y, o.y) && same(y2, o.y2) && readout == o.readout &&
           active == o.active && delta == o.delta;
}
bool limit_segment_t::operator==(const limit_segment_t& o) const {
    return upper == o.upper && same(x0, o.x0) && same(x1, o.x1) && same(y0, o.y0) && same(y1, o.y1);
}
bool trace_t::operator==(const trace_t& o) const {
    return std::tie(number, channel, parameter, format, grid, colour, active, title, memory_shown, markers,
                    limit_test, limit_lines, limit_failed, limit_segments) ==
               std::tie(o.number, o.channel, o.parameter, o.format, o.grid, o.colour, o.active, o.title,
                        o.memory_shown, o.markers, o.limit_test, o.limit_lines, o.limit_failed, o.limit_segments) &&
           same(per_division, o.per_division) && same(reference_level, o.reference_level) &&
           same(reference_position, o.reference_position) && same(x, o.x) && same(y, o.y) && same(y2, o.y2) &&
           same(memory_y, o.memory_y) && same(memory_y2, o.memory_y2) && same(failed_x, o.failed_x);
}
bool window_t::operator==(const window_t& o) const {
    return std::tie(number, title, active, divisions, traces) ==
           std::tie(o.number, o.title, o.active, o.divisions, o.traces);
}
bool channel_t::operator==(const channel_t& o) const {
    return std::tie(number, points, sweep_type, sweep_mode, averaging, average_count, correction) ==
               std::tie(o.number, o.points, o.sweep_type, o.sweep_mode, o.averaging, o.average_count,
                        o.correction) &&
           same(start, o.start) && same(stop, o.stop) && same(if_bandwidth, o.if_bandwidth);
}
bool display_state_t::operator==(const display_state_t& o) const {
    return std::tie(windows, channels, active_channel, maximized, active_window) ==
           std::tie(o.windows, o.channels, o.active_channel, o.maximized, o.active_window);
}

}  // namespace zorsim::display
