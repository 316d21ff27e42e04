// The simulated analyzer's display: a plain snapshot of what the screen
// shows (display_state_t) and where the renderer puts things on the screen.
// The snapshot is taken through source_t (source.h) and drawn by the
// renderer (render.h, with cairo: Linux only), which programs reach
// through renderer.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorsim::display {

enum class grid_t { rectangular, smith, polar };
enum class correction_t { off, on, interpolated };

// 0xRRGGBB
using colour_t = std::uint32_t;

// The colours the renderer draws with: a dark screen, the trace palette by
// trace number (1 takes the first, round again after the last), limits.
struct palette_t {
    static constexpr colour_t background = 0x11161F;
    static constexpr colour_t window = 0x1A2130;
    static constexpr colour_t active_frame = 0x7A8BA8;
    static constexpr colour_t frame = 0x3A4457;
    static constexpr colour_t grid = 0x3E4A5E;
    static constexpr colour_t text = 0xD5DCE8;
    static constexpr colour_t limit_line = 0xE8E8E8;
    static constexpr colour_t limit_fail = 0xFF2A2A;
    static constexpr colour_t limit_pass = 0x3DDC84;
    static constexpr colour_t traces[8] = {0xF5C542, 0x4FC3F7, 0xF06292, 0x9CCC65,
                                           0xB39DDB, 0xFF8A50, 0x26C6DA, 0xE0E0E0};
    static colour_t trace(int number) { return traces[static_cast<unsigned>(number - 1 < 0 ? 0 : number - 1) % 8]; }
};

struct marker_t {
    int number = 1;          // 1..9, or the reference marker's number
    bool reference = false;  // the reference marker, which delta markers read against
    double x = 0;            // stimulus
    double y = 0;            // the formatted response the analyzer reads at x (first value)
    double y2 = 0;           // second value (Smith and polar formats)
    std::string readout;     // as the marker table shows it
    bool active = false;
    bool delta = false;      // reads relative to the reference marker
    bool operator==(const marker_t& o) const;
};

// One segment of a limit line, as the limit table holds it.
struct limit_segment_t {
    bool upper = true;  // else a lower line
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool operator==(const limit_segment_t& o) const;
};

struct trace_t {
    int number = 1;
    int channel = 1;
    std::string parameter;  // "S21"
    std::string format;     // the format's short form: "MLOG", "SMIT"
    bool time_axis = false; // x is time (the time domain shows): markers read in seconds
    grid_t grid = grid_t::rectangular;
    double per_division = 10;
    double reference_level = 0;
    double reference_position = 5;  // divisions from the bottom
    colour_t colour = 0;
    bool active = false;
    std::string title;              // empty: none shown
    std::vector<double> x;          // stimulus per point
    std::vector<double> y, y2;      // formatted data: first and second value per point
    bool memory_shown = false;
    std::vector<double> memory_y, memory_y2;  // the memory trace, in the same format
    std::vector<marker_t> markers;
    bool limit_test = false;        // limit test on
    bool limit_lines = false;       // limit lines shown
    bool limit_failed = false;
    std::vector<limit_segment_t> limit_segments;
    std::vector<double> failed_x;   // stimulus of every point the limit test failed
    bool operator==(const trace_t& o) const;
};

struct window_t {
    int number = 1;
    std::string title;  // empty: no title shown
    bool active = false;
    int divisions = 10;
    std::vector<trace_t> traces;
    bool operator==(const window_t& o) const;
};

// What a channel's annotation shows.
struct channel_t {
    int number = 1;
    double start = 0, stop = 0;
    std::int64_t points = 0;
    double if_bandwidth = 0;
    std::string sweep_type;  // "LIN", "LOG", ...
    std::string sweep_mode;  // "CONT", "HOLD", "SING"
    bool averaging = false;
    std::int64_t average_count = 0;
    correction_t correction = correction_t::off;
    bool operator==(const channel_t& o) const;
};

struct display_state_t {
    std::vector<window_t> windows;  // the shown ones, by number
    std::vector<channel_t> channels;
    int active_channel = 1;
    bool maximized = false;  // the active window alone fills the screen
    int active_window = 1;
    bool operator==(const display_state_t& o) const;
    bool operator!=(const display_state_t& o) const { return !(*this == o); }
};

// ---------------------------------------------------------------- geometry

struct rect_t {
    double x = 0, y = 0, w = 0, h = 0;
    bool contains(double px, double py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Where the renderer puts things on a screen of width x height pixels:
// per drawn window its frame and its graticule (the plot area; for Smith and
// polar grids the square the chart fills).
struct window_geometry_t {
    int number = 1;
    rect_t frame;
    rect_t plot;       // the area beside the response labels; marker readouts stand at its top right
    rect_t graticule;  // within the plot
};
std::vector<window_geometry_t> geometry(const display_state_t& state, int width, int height);
// The grid a window draws: its active trace's (else its first trace's).
grid_t window_grid(const window_t& window);
// The grid a format is drawn on ("SMIT" -> smith).
grid_t grid_of(const std::string& format);

// The screen's default size in pixels.
constexpr int default_width = 1024;
constexpr int default_height = 640;


}  // namespace zorsim::display
