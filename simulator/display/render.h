// The display drawn with cairo (Linux builds): PNG, SVG or BMP.
#pragma once

#include "display.h"
#include "renderer.h"

#include <string>

namespace zorsim::display {

// The display as an image file's bytes. Throws std::runtime_error when
// drawing fails (a size of at most 0 or above 8192 pixels).
std::string render(const display_state_t& state, image_format_t format, int width = default_width,
                   int height = default_height);

}  // namespace zorsim::display

// The same as a render_entry_t (renderer.h), under a name the module exports.
extern "C" bool zorsim_render_image(const zorsim::display::display_state_t& state,
                                    zorsim::display::image_format_t format, int width, int height, std::string& image,
                                    std::string& error) noexcept;
