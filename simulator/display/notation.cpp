#include "notation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zorsim::display {

engineering_t engineering_parts(double v) {
    static const char* const prefixes[] = {"f", "p", "n", "u", "m", "", "k", "M", "G", "T"};
    int exponent = v == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(v)) / 3)) * 3;
    exponent = std::max(-15, std::min(12, exponent));
    return {v / std::pow(10.0, exponent), prefixes[exponent / 3 + 5]};
}

std::string engineering(double v, const char* unit, int digits) {
    if (!std::isfinite(v)) return "---";
    const engineering_t e = engineering_parts(v);
    const int whole = std::fabs(e.scaled) >= 100 ? 3 : std::fabs(e.scaled) >= 10 ? 2 : 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f %s%s", std::max(0, digits - whole), e.scaled, e.prefix, unit);
    return buf;
}

std::string engineering_short(double v, const char* unit) {
    if (!std::isfinite(v)) return "---";
    const engineering_t e = engineering_parts(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.6g %s%s", e.scaled, e.prefix, unit);
    return buf;
}

}  // namespace zorsim::display
