// Touchstone 1.x files of one- and two-port devices: reading (any
// frequency unit, MA/DB/RI, option line, comments, renormalized to the
// analyzer's 50 ohms) and writing, and a device that interpolates a file's
// points.
#pragma once

#include "devices.h"

#include <string>
#include <string_view>

namespace zorsim::physics {

enum class touchstone_format_t { ma, db, ri };

// Parses the text of a file with `ports` (1 or 2) ports. A one-port's
// reflection is put on both ports (the same termination on each), with no
// transmission. Throws std::invalid_argument with the line at fault.
sweep_data_t parse_touchstone(std::string_view text, int ports);

// The data as a file of `ports` ports, frequencies in Hz, 50 ohms.
std::string write_touchstone(const sweep_data_t& data, int ports, touchstone_format_t format);

// The file as a device (ports from the extension .s1p/.s2p), linear in real
// and imaginary parts between its points and held at its ends outside them.
device_ptr load_touchstone_device(const std::string& path);

// The same from parsed data; `description` names it.
device_ptr make_table_device(sweep_data_t data, std::string description);

}  // namespace zorsim::physics
