// The screen's layout of channels, traces and windows, and what is active.
#pragma once

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace zorsim {

// Which traces exist, the channel that measures each and the window that
// shows it, the shown windows, and the active channel, trace, window and
// marker. Trace numbers are global (trace 3 belongs to one channel only).
// Settings addressed by channel and trace number do not depend on it: a
// trace's settings exist for every channel and trace number in range, shown
// or not, so a command may address any of them; only the selection, list,
// create, delete and move commands look at the layout.
struct layout_t {
    struct trace_t {
        int channel = 1;
        int window = 1;
    };
    std::map<int, trace_t> traces;  // by trace number
    std::set<int> windows;          // shown windows
    int active_channel = 1;
    int active_trace = 1;
    int active_window = 1;
    std::map<std::pair<int, int>, int> active_markers;  // (channel, trace) -> marker; 1 when absent

    // The power-on and *RST layout: channel 1 measures traces 1 and 2 shown
    // in window 1, channel 2 traces 3 and 4 shown in window 2; channel 1,
    // trace 1 and window 1 active.
    void reset();

    std::vector<int> channels() const;  // channels with at least one trace, ascending
    std::vector<int> traces_of_channel(int channel) const;
    std::vector<int> traces_of_window(int window) const;
    std::vector<int> trace_numbers() const;
    std::vector<int> window_numbers() const { return {windows.begin(), windows.end()}; }
    bool has_trace(int trace) const { return traces.count(trace) != 0; }
    bool shown(int window) const { return windows.count(window) != 0; }

    // Selection follows the layout: selecting a trace selects its channel and
    // window; selecting a channel or a window selects its first trace (unless
    // the active trace is already one of its own). Each returns false, and
    // changes nothing, when the channel has no trace or the trace or window
    // does not exist.
    bool select_trace(int trace);
    bool select_channel(int channel);
    bool select_window(int window);
    // Keeps the selection on existing things after a trace or window went away.
    void repair_selection();
};

}  // namespace zorsim
