// Where the display puts its windows: shared by the renderer and by whoever
// checks a drawn image.
#include "display.h"

#include <algorithm>
#include <cmath>

namespace zorsim::display {

namespace {
constexpr double status_bar = 22;     // bottom line: the active channel's status
constexpr double gap = 4;             // between windows
constexpr double title_line = 20;     // window title
constexpr double label_line = 15;     // one line holds two trace labels
constexpr double stimulus_line = 22;  // below the graticule
constexpr double left_axis = 56;      // response labels
constexpr double right_margin = 12;
}  // namespace

grid_t grid_of(const std::string& format) {
    if (format == "SMIT" || format == "SADM" || format == "SLIN" || format == "SLOG" || format == "SCOM")
        return grid_t::smith;
    if (format == "POL" || format == "PLIN" || format == "PLOG") return grid_t::polar;
    return grid_t::rectangular;
}

grid_t window_grid(const window_t& w) {
    for (const auto& t : w.traces)
        if (t.active) return t.grid;
    return w.traces.empty() ? grid_t::rectangular : w.traces.front().grid;
}

std::vector<window_geometry_t> geometry(const display_state_t& state, int width, int height) {
    std::vector<const window_t*> shown;
    for (const auto& w : state.windows)
        if (!state.maximized || w.number == state.active_window) shown.push_back(&w);
    if (shown.empty())  // the active window is not shown: nothing to maximize
        for (const auto& w : state.windows) shown.push_back(&w);

    // Up to three windows stack; more go into a grid of near-square cells.
    const int n = static_cast<int>(shown.size());
    const int columns = n <= 3 ? 1 : static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = n == 0 ? 1 : (n + columns - 1) / columns;
    const double area_w = std::max(1.0, static_cast<double>(width) - gap);
    const double area_h = std::max(1.0, static_cast<double>(height) - status_bar - gap);
    const double cell_w = area_w / columns, cell_h = area_h / rows;

    std::vector<window_geometry_t> out;
    for (int i = 0; i < n; ++i) {
        const window_t& w = *shown[static_cast<std::size_t>(i)];
        window_geometry_t g;
        g.number = w.number;
        g.frame = rect_t{gap + (i % columns) * cell_w, gap + (i / columns) * cell_h, std::max(1.0, cell_w - gap),
                         std::max(1.0, cell_h - gap)};
        const double labels = label_line * static_cast<double>((w.traces.size() + 1) / 2);
        const double top = g.frame.y + title_line + labels + 4;
        const double bottom = g.frame.y + g.frame.h - stimulus_line;
        rect_t plot{g.frame.x + left_axis, top, std::max(1.0, g.frame.w - left_axis - right_margin),
                    std::max(1.0, bottom - top)};
        g.plot = plot;
        if (window_grid(w) != grid_t::rectangular) {
            const double side = std::min(plot.w, plot.h);
            plot = rect_t{plot.x + (plot.w - side) / 2, plot.y + (plot.h - side) / 2, side, side};
        }
        // Whole pixels, so grid lines and the clip fall on pixel edges.
        g.graticule = rect_t{std::round(plot.x), std::round(plot.y), std::max(1.0, std::round(plot.w)),
                             std::max(1.0, std::round(plot.h))};
        out.push_back(g);
    }
    return out;
}

}  // namespace zorsim::display
