// The display's view of the instrument (display/source.h): the screen's
// layout and, per channel and trace, the numbers to draw, read straight
// from the settings and the measurement chain.
#pragma once

#include "instrument.h"

#include <simulator/display/source.h>

namespace zorsim {

class instrument_display_t final : public display::source_t {
public:
    explicit instrument_display_t(instrument_t& inst) : inst_(inst) {}
    display::screen_t screen() override;
    display::channel_t channel(int number) override;
    display::window_t window(int number) override;
    display::trace_t trace(int window, int number) override;

private:
    instrument_t& inst_;
};

// What the screen shows now (the caller holds the analyzer's lock).
display::display_state_t display_state(instrument_t& inst);

}  // namespace zorsim
