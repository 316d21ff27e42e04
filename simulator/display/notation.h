// Numbers as the screen writes them.
#pragma once

#include <string>

namespace zorsim::display {

// A value in engineering notation: scaled by a power of ten that is a
// multiple of three (f to T), and that power's SI prefix.
struct engineering_t {
    double scaled;
    const char* prefix;
};
engineering_t engineering_parts(double v);

// "1.50000 GHz": `digits` significant digits, trailing zeros kept, as the
// marker table aligns its readouts; "---" for a value that is not finite.
std::string engineering(double v, const char* unit, int digits = 6);
// "4.5 GHz": at most six significant digits, as the annotation writes.
std::string engineering_short(double v, const char* unit);

}  // namespace zorsim::display
