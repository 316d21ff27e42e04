// What *RST resets and a state file holds beside the settings: the layout,
// the tables a client wrote and the data it wrote to traces. Kept as
// numbers; the commands format them only when they answer.
#pragma once

#include "layout.h"

#include <simulator/analysis/limits.h>
#include <simulator/physics/chain.h>

#include <map>
#include <utility>
#include <vector>

namespace zorsim {

using trace_key_t = std::pair<int, int>;  // (channel, trace)

// Data written to a trace, two values a point: corrected data (written
// data win over the sweep), formatted data (held until the format
// changes) and the memory trace.
struct written_data_t {
    std::vector<double> corrected;
    std::vector<double> formatted;
    std::vector<double> memory;
};

struct setup_t {
    layout_t layout;
    std::map<trace_key_t, std::vector<analysis::limit_segment_t>> limit_tables;
    std::map<trace_key_t, std::vector<analysis::ripple_segment_t>> ripple_tables;
    std::map<trace_key_t, written_data_t> written;
    std::map<int, std::vector<physics::segment_t>> segment_tables;  // by channel; none: a linear sweep

    void reset() {
        *this = setup_t{};
        layout.reset();
    }
};

}  // namespace zorsim
