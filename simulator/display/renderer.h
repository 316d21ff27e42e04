// How the simulator reaches its renderer without linking cairo. The core
// (and the bundled VISA library, which carries it for in-process analyzers)
// must not need cairo, so the renderer is also built as a module of its own
// (libzorsim_render.so), loaded at the first screen image from beside the
// code that asks. A program that links the renderer installs it instead.
#pragma once

#include "display.h"

#include <string>

namespace zorsim::display {

enum class image_format_t { png, svg, bmp };

// Draws the display as an image file's bytes; false with a reason when it
// cannot (a size of at most 0 or above 8192 pixels).
using render_entry_t = bool (*)(const display_state_t& state, image_format_t format, int width, int height,
                                std::string& image, std::string& error) noexcept;

void install_renderer(render_entry_t entry);
// The installed renderer, else the module's (loaded once), else null: the
// Windows build has no cairo and so no renderer.
render_entry_t renderer();

}  // namespace zorsim::display
