// Takes the display snapshot from the instrument (the caller holds the
// analyzer's lock).
#pragma once

#include <zorsim/display.h>

namespace zorsim {
class instrument_t;
namespace display {
display_state_t capture(instrument_t& instrument);
}
}  // namespace zorsim
