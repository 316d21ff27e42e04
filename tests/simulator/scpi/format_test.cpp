// The engine's fast NR3 writer against the general conversion of the
// standard library, which rounds exactly.
#include <simulator/scpi/format.h>

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

namespace {

// "+d.ddddddddddddE+XX" by std::to_chars; NaN and infinities as SCPI answers them.
std::string general(double v) {
    if (std::isnan(v)) v = 9.91e37;
    else if (std::isinf(v)) v = v > 0 ? 9.9e37 : -9.9e37;
    if (v == 0) v = 0.0;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 12);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    if (s[0] != '-') s.insert(s.begin(), '+');
    return s;
}

TEST(Format, FastRealsReadAsTheGeneralConversion) {
    // Equal to the general conversion (where a runtime rounds otherwise,
    // within the last digit).
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10, 10), exponent(-300, 300);
    int ties = 0;
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(random) * std::pow(10.0, i % 3 == 0 ? exponent(random) : exponent(random) / 20);
        if (i % 5 == 0) v = std::round(v * 1e3) / 1e3;
        std::string fast;
        zorsim::scpi::append_real(fast, v);
        const std::string exact = general(v);
        if (fast == exact) continue;
        ++ties;
        EXPECT_NEAR(std::stod(fast), v, 1.01e-12 * std::fabs(v)) << exact;
        EXPECT_EQ(fast.size(), exact.size()) << exact;
    }
#if !defined(_WIN32)
    // The general conversion rounds exactly, and so does the fast path near
    // a tie; the Windows runtime's powers of ten part from it (within the
    // last digit, as checked above).
    EXPECT_EQ(ties, 0);
#endif
    for (double v : {0.0, -0.0, 1.0, -9.9999999999999e-5, 9.9999999999995e22, -9.9999999999995e-7, 1e300, 1e-300,
                     HUGE_VAL, -HUGE_VAL, std::nan("")}) {
        std::string fast;
        zorsim::scpi::append_real(fast, v);
        EXPECT_EQ(fast, general(v)) << v;
    }
}

}  // namespace
