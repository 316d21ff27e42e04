// The display snapshot: what the screen shows, read from the instrument the
// way a client would, through the analyzer's own queries. The display so
// shows exactly what a program reads (formatted data, marker readouts,
// limit verdicts); it computes none of it.
#include "snapshot.h"

#include "../commands.h"
#include "../instrument.h"
#include "../measurement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <tuple>

namespace zorsim::display {

namespace {

class reader_t {
public:
    explicit reader_t(instrument_t& instrument) : instrument_(instrument) {}

    // The reply to a query; empty when the analyzer has no answer.
    std::string ask(const std::string& query) {
        return scpi::execute(command_table(), instrument_, query).reply;
    }
    std::vector<double> numbers(const std::string& query) {
        std::vector<double> out;
        parse_numbers(ask(query), out);
        return out;
    }
    double real(const std::string& query, double fallback = 0) {
        const auto v = numbers(query);
        return v.empty() ? fallback : v[0];
    }
    std::int64_t integer(const std::string& query, std::int64_t fallback = 0) {
        return static_cast<std::int64_t>(std::llround(real(query, static_cast<double>(fallback))));
    }
    bool boolean(const std::string& query) { return real(query) != 0; }
    std::string text(const std::string& query) {
        std::string s = ask(query);
        if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
        return s;
    }

    static void parse_numbers(std::string_view s, std::vector<double>& out) {
        const char* p = s.data();
        const char* end = p + s.size();
        while (p < end) {
            if (*p == '+') ++p;  // from_chars takes no plus sign
            double v = 0;
            const auto [next, ec] = std::from_chars(p, end, v);
            if (ec != std::errc()) break;
            out.push_back(v >= 9.9e37 ? std::nan("") : v);
            p = next;
            if (p < end && *p == ',') ++p;
        }
    }

private:
    instrument_t& instrument_;
};

std::string node(const char* name, int n) { return std::string(name) + std::to_string(n); }

// Engineering notation with an SI prefix: "1.50000 GHz".
std::string engineering(double v, const char* unit, int digits = 6) {
    if (!std::isfinite(v)) return "---";
    static const char* const prefixes[] = {"f", "p", "n", "u", "m", "", "k", "M", "G", "T"};
    int exponent = 0;
    if (v != 0) exponent = static_cast<int>(std::floor(std::log10(std::fabs(v)) / 3)) * 3;
    exponent = std::max(-15, std::min(12, exponent));
    const double scaled = v / std::pow(10.0, exponent);
    const int whole = std::fabs(scaled) >= 100 ? 3 : std::fabs(scaled) >= 10 ? 2 : 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f %s%s", std::max(0, digits - whole), scaled, prefixes[exponent / 3 + 5], unit);
    return buf;
}

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

void read_markers(reader_t& r, const std::string& calc, trace_t& t) {
    const int active = static_cast<int>(r.integer(calc + ":MARKer:ACTivate?", 1));
    // Markers of a time-domain trace sit at instants.
    const char* const unit = r.boolean(calc + ":TRANsform:TIME:STATe?") ? "s" : "Hz";
    for (int m = 1; m <= max_markers; ++m) {
        const std::string mk = calc + node(":MARKer", m);
        if (!r.boolean(mk + "?")) continue;
        marker_t marker;
        marker.number = m;
        marker.x = r.real(mk + ":X?");
        const auto y = r.numbers(mk + ":Y?");
        marker.y = y.size() > 0 ? y[0] : std::nan("");
        marker.y2 = y.size() > 1 ? y[1] : 0;
        marker.active = m == active;
        // Delta readouts only while the reference marker they refer to is on.
        marker.delta = m != max_markers && r.boolean(mk + ":DELTa?") &&
                       r.boolean(calc + node(":MARKer", max_markers) + "?");
        const std::string name = m == max_markers ? "R" : (marker.delta ? "\xCE\x94" : "") + std::to_string(m);
        marker.readout = name + "  " + engineering(marker.x, unit) + "  " + response_text(t.format, marker.y, marker.y2);
        t.markers.push_back(std::move(marker));
    }
}

void read_limits(reader_t& r, const std::string& calc, trace_t& t) {
    t.limit_test = r.boolean(calc + ":LIMit?");
    t.limit_lines = r.boolean(calc + ":LIMit:DISPlay?");
    if (!t.limit_test && !t.limit_lines) return;
    // The table: count, then per segment type (0 off, 1 upper, 2 lower),
    // start and stop stimulus, start and stop response.
    const auto table = r.numbers(calc + ":LIMit:DATA?");
    for (std::size_t i = 1; i + 5 <= table.size(); i += 5) {
        const int type = static_cast<int>(table[i]);
        if (type != 1 && type != 2) continue;
        t.limit_segments.push_back(limit_segment_t{type == 1, table[i + 1], table[i + 2], table[i + 3], table[i + 4]});
    }
    if (!t.limit_test) return;
    t.limit_failed = r.boolean(calc + ":LIMit:FAIL?");
    // Per point: stimulus, verdict (-1 untested, 0 pass, 1 fail), upper and lower line.
    const auto all = r.numbers(calc + ":LIMit:REPort:ALL?");
    for (std::size_t i = 0; i + 4 <= all.size(); i += 4)
        if (all[i + 1] == 1) t.failed_x.push_back(all[i]);
}

// The trace's formatted data and x axis straight from the measurement
// chain (what FDATa? and XAXis? answer, without the trip through text), and
// the memory trace formatted by the same chain.
void read_data(instrument_t& instrument, int channel, int number, bool memory_shown, trace_t& t) {
    try {
        const trace_view_t view = trace_view(instrument, channel, number);
        const std::size_t n = std::min(view.x.size(), view.formatted.size() / 2);
        t.x.assign(view.x.begin(), view.x.begin() + static_cast<std::ptrdiff_t>(n));
        t.y.resize(n);
        t.y2.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            t.y[k] = view.formatted[2 * k];
            t.y2[k] = view.formatted[2 * k + 1];
        }
        std::vector<double> memory;
        if (!memory_shown || !stored_values(instrument, memory_store, channel, number, 2 * n, memory)) return;
        std::vector<physics::complex_t> data(n);
        for (std::size_t k = 0; k < n; ++k) data[k] = {memory[2 * k], memory[2 * k + 1]};
        const std::vector<double> formatted = formatted_of(instrument, channel, number, data, view.frequency);
        if (formatted.size() != 2 * n) return;
        t.memory_shown = true;
        t.memory_y.resize(n);
        t.memory_y2.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            t.memory_y[k] = formatted[2 * k];
            t.memory_y2[k] = formatted[2 * k + 1];
        }
    } catch (const std::exception&) {
        // A chain that cannot run shows an empty trace.
        t.x.clear();
        t.y.clear();
        t.y2.clear();
    }
}

}  // namespace

display_state_t capture(instrument_t& instrument) {
    // Errors of the display's own queries stay out of the error queue.
    struct quiet_t {
        instrument_t& instrument;
        bool was;
        explicit quiet_t(instrument_t& i) : instrument(i), was(i.quiet) { i.quiet = true; }
        ~quiet_t() { instrument.quiet = was; }
    } quiet(instrument);
    reader_t r(instrument);
    const layout_t& layout = instrument.layout;
    display_state_t state;
    state.active_channel = layout.active_channel;
    state.active_window = layout.active_window;
    state.maximized = r.boolean(":DISPlay:MAXimize?");

    for (int c : layout.channels()) {
        const std::string sense = node(":SENSe", c);
        channel_t ch;
        ch.number = c;
        ch.start = r.real(sense + ":FREQuency:STARt?");
        ch.stop = r.real(sense + ":FREQuency:STOP?");
        ch.points = r.integer(sense + ":SWEep:POINts?");
        ch.if_bandwidth = r.real(sense + ":BANDwidth?");
        ch.sweep_type = r.ask(sense + ":SWEep:TYPE?");
        ch.sweep_mode = r.ask(sense + ":SWEep:MODE?");
        ch.averaging = r.boolean(sense + ":AVERage?");
        ch.average_count = r.integer(sense + ":AVERage:COUNt?");
        // A calibration beyond its own stimulus grid is shown as interpolated.
        if (!r.boolean(sense + ":CORRection?")) {
            ch.correction = correction_t::off;
        } else {
            const std::string validity = r.ask(sense + ":CORRection:VALidity?");
            ch.correction = validity.rfind("INT", 0) == 0 ? correction_t::interpolated : correction_t::on;
        }
        state.channels.push_back(ch);
    }
    for (int w : layout.window_numbers()) {
        const std::string win = node(":DISPlay:WINDow", w);
        window_t window;
        window.number = w;
        window.active = w == layout.active_window;
        if (r.boolean(win + ":TITLe?")) window.title = r.text(win + ":TITLe:DATA?");
        window.divisions = static_cast<int>(r.integer(win + ":Y:DIVisions?", 10));
        for (int number : layout.traces_of_window(w)) {
            const int c = layout.traces.at(number).channel;
            const std::string calc = node(":CALCulate", c) + node(":TRACe", number);
            const std::string scale = win + node(":TRACe", number) + ":Y";
            trace_t t;
            t.number = number;
            t.channel = c;
            t.active = number == layout.active_trace;
            t.colour = palette_t::trace(number);
            t.parameter = r.ask(node(":CALCulate", c) + node(":PARameter", number) + ":DEFine?");
            t.format = r.ask(calc + ":FORMat?");
            t.grid = grid_of(t.format);
            t.per_division = r.real(scale + ":PDIVision?", 10);
            t.reference_level = r.real(scale + ":RLEVel?");
            t.reference_position = r.real(scale + ":RPOSition?", 5);
            if (r.boolean(node(":DISPlay:TRACe", number) + ":TITLe?"))
                t.title = r.text(node(":DISPlay:TRACe", number) + ":TITLe:DATA?");

            read_data(instrument, c, number, r.boolean(scale.substr(0, scale.size() - 2) + ":MEMory?"), t);
            read_markers(r, calc, t);
            read_limits(r, calc, t);
            window.traces.push_back(std::move(t));
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
    return number == o.number && same(x, o.x) && same(y, o.y) && same(y2, o.y2) && readout == o.readout &&
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
