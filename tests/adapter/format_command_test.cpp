// Commands are written without printf where their fields allow; the text
// must be printf's, byte for byte, whatever the fields and values.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "adapter/scpi_model.h"

using zor_adapter::format_command;

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif

namespace {

template <typename... V>
std::string printed(const char* format, V... values) {
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

TEST(FormatCommand, WritesWhatPrintfWrites) {
    const double reals[] = {0.0, -0.0, 1e9, -1.5e-300, 123456.7890123456, 9.9999999999995e22, DBL_MAX,
                            std::numeric_limits<double>::denorm_min(), 1e100, -7.0};
    for (double v : reals) {
        EXPECT_EQ(format_command(":SENSe%d:FREQuency:STARt %.12e", {2}, v), printed(":SENSe%d:FREQuency:STARt %.12e", 2, v));
        // Fields printf knows and the fast path leaves to it.
        EXPECT_EQ(format_command(":CALC%d:X %12e", {1}, v), printed(":CALC%d:X %12e", 1, v));
        EXPECT_EQ(format_command(":CALC%d:X %f", {1}, v), printed(":CALC%d:X %f", 1, v));
    }
    const std::int32_t integers[] = {0, -1, 7, 2147483647, -2147483647 - 1};
    for (std::int32_t v : integers) {
        EXPECT_EQ(format_command(":CALC%d:TRAC%d:MARK%d:STAT %d", {1, 16, 9}, v),
                  printed(":CALC%d:TRAC%d:MARK%d:STAT %d", 1, 16, 9, v));
        EXPECT_EQ(format_command(":DISP:WIND%d:TRAC%d", {v, 3}), printed(":DISP:WIND%d:TRAC%d", v, 3));
    }
    EXPECT_EQ(format_command(":CALC%d:FORM %s", {4}, std::string("MLOGarithmic")), ":CALC4:FORM MLOGarithmic");
    EXPECT_EQ(format_command("100%% %s", {}, std::string("")), "100% ");
    EXPECT_EQ(format_command(":SYST:PRES", {}), ":SYST:PRES");
}

}  // namespace
