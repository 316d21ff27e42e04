// Where the snapshot takes what it shows from: the screen's owner answers
// in plain numbers and words; the snapshot adds what is the display's own
// (colours, grids, marker readouts).
#pragma once

#include "display.h"

#include <utility>
#include <vector>

namespace zorsim::display {

// The screen's layout: the shown windows in order, each with its traces.
struct screen_t {
    std::vector<std::pair<int, std::vector<int>>> windows;
    std::vector<int> channels;  // with at least one trace, ascending
    int active_channel = 1;
    int active_window = 1;
    int active_trace = 1;
    bool maximized = false;  // the active window alone fills the screen
};

class source_t {
public:
    virtual ~source_t() = default;
    virtual screen_t screen() = 0;
    virtual channel_t channel(int number) = 0;
    // Its title (empty when none is shown) and divisions; no traces.
    virtual window_t window(int number) = 0;
    // Everything but the colour, the grid, `active` and the marker readouts.
    virtual trace_t trace(int window, int number) = 0;
};

// What the screen shows now.
display_state_t snapshot(source_t& source);

}  // namespace zorsim::display
