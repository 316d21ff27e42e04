#include "layout.h"

namespace zorsim {

void layout_t::reset() {
    traces = {{1, {1, 1}}, {2, {1, 1}}, {3, {2, 2}}, {4, {2, 2}}};
    windows = {1, 2};
    active_channel = 1;
    active_trace = 1;
    active_window = 1;
    active_markers.clear();
}

std::vector<int> layout_t::channels() const {
    std::set<int> found;
    for (const auto& t : traces) found.insert(t.second.channel);
    return {found.begin(), found.end()};
}

std::vector<int> layout_t::traces_of_channel(int channel) const {
    std::vector<int> out;
    for (const auto& t : traces)
        if (t.second.channel == channel) out.push_back(t.first);
    return out;
}

std::vector<int> layout_t::traces_of_window(int window) const {
    std::vector<int> out;
    for (const auto& t : traces)
        if (t.second.window == window) out.push_back(t.first);
    return out;
}

std::vector<int> layout_t::trace_numbers() const {
    std::vector<int> out;
    for (const auto& t : traces) out.push_back(t.first);
    return out;
}

bool layout_t::select_trace(int trace) {
    auto it = traces.find(trace);
    if (it == traces.end()) return false;
    active_trace = trace;
    active_channel = it->second.channel;
    active_window = it->second.window;
    return true;
}

bool layout_t::select_channel(int channel) {
    const auto own = traces_of_channel(channel);
    if (own.empty()) return false;
    if (traces.at(active_trace).channel == channel) return true;
    return select_trace(own.front());
}

bool layout_t::select_window(int window) {
    if (!shown(window)) return false;
    const auto own = traces_of_window(window);
    if (!own.empty() && traces.at(active_trace).window != window) select_trace(own.front());
    active_window = window;
    return true;
}

void layout_t::repair_selection() {
    if (!has_trace(active_trace) && !traces.empty()) select_trace(traces.begin()->first);
    if (!shown(active_window) && !windows.empty()) active_window = *windows.begin();
}

}  // namespace zorsim
