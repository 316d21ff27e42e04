// The plot of a measurement as PNG and SVG; built where cairo is found.
#pragma once

#include <string>
#include <vector>

#include "measurement.h"

namespace zor_measure {

constexpr int plot_width = 1200;
constexpr int plot_height = 860;

// False in builds without cairo: draw_plot then only throws.
bool plot_available();

// `phase`: the parameters whose phase is drawn, unwrapped, below the
// magnitudes; empty: no phase panel.
void draw_plot(const measurement_t& m, const std::string& png_path, const std::string& svg_path,
               const std::string& title, const std::vector<std::string>& phase);

}  // namespace zor_measure
