// The fast number paths against the C library they replace: the same bytes
// as "%.12e", the same values and stopping points as strtod, in any locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/qvutil.h"

namespace u = qvdriver::util;

namespace {

std::uint64_t bits(double value) {
    std::uint64_t b = 0;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

double from_bits(std::uint64_t b) {
    double value = 0;
    std::memcpy(&value, &b, sizeof value);
    return value;
}

[[maybe_unused]] std::string printf_e12(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.12e", value);
    return buffer;
}

[[maybe_unused]] std::string fast_e12(double value) {
    char buffer[64];
    return std::string(buffer, u::format_e12(buffer, value));
}

// Doubles of every kind: random bit patterns (subnormals, huge and tiny
// exponents, both signs) and the values at the edges.
[[maybe_unused]] std::vector<double> sample_doubles() {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values = {0.0, -0.0, 1.0, -0.5, 0.1, 1e100, -1e-100, 9.9999999999995e-1, 9.99999999999949e-1,
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
                                  123456789012345678.0, 5e-324 * 3, inf, -inf, nan, -nan};
    std::mt19937_64 random(12345);
    for (int i = 0; i < 20000; ++i) values.push_back(from_bits(random()));
    for (int i = 0; i < 2000; ++i) values.push_back(from_bits(random() & 0x800FFFFFFFFFFFFFull));  // subnormals
    // Measurement-sized values, and values a hair from half-way between two
    // 13-digit texts (where a fast path must round as the exact one).
    std::uniform_real_distribution<double> mantissa(-10, 10), exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) values.push_back(mantissa(random) * std::pow(10.0, std::round(exponent(random))));
    for (int i = 0; i < 5000; ++i) {
        const double half_way = (std::floor(std::fabs(mantissa(random)) * 1e12) + 0.5) * 1e-12;
        values.push_back(std::nextafter(half_way, i % 2 ? 0.0 : 10.0) * std::pow(10.0, std::round(exponent(random))));
    }
    for (int k = -40; k <= 40; ++k) {  // half-way below the next power of ten
        const double edge = 9.9999999999995 * std::pow(10.0, k);
        values.insert(values.end(), {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)});
    }
    return values;
}

struct strtod_outcome {
    std::uint64_t value_bits;
    long used;
    bool range_error;
};

strtod_outcome with_strtod(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    const bool overflow_or_zero = errno == ERANGE && (value == 0.0 || std::isinf(value));
    return {bits(value), static_cast<long>(end - text.c_str()), overflow_or_zero};
}

strtod_outcome with_parse_double(const std::string& text) {
    double value = -7;
    bool range_error = false;
    const char* end = u::parse_double(text.data(), text.data() + text.size(), value, &range_error);
    return {bits(value), static_cast<long>(end - text.data()), range_error};
}

[[maybe_unused]] void expect_same_as_strtod(const std::string& text) {
    const strtod_outcome want = with_strtod(text);
    const strtod_outcome got = with_parse_double(text);
    EXPECT_EQ(got.value_bits, want.value_bits) << '"' << text << '"';
    EXPECT_EQ(got.used, want.used) << '"' << text << '"';
    EXPECT_EQ(got.range_error, want.range_error) << '"' << text << '"';
}

const char* const edge_texts[] = {
    "+1.000000000000E+09", " \t\n\v\f\r-2.5e-3", "1.5,2", "+-1", "-+1", "+ 1", "- 1", "++1", "0x1p4", "-0X1.8p1",
    "0x", "inf", "-INF", "+Infinity", "infinit", "nan", "-nan", "+NaN(123)", "nan(", "1e400", "-1e400", "1e-400",
    "-1e-400", "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
    "2.2250738585072011e-308", "1.7976931348623157e308", "1.7976931348623159e308", ".5", "5.", "1e", "1e+", "1e+-3",
    "", " ", "abc", ".", "-", "0001.5e0002", "1.000000000000e+100", "-9.999999999999e-100",
    "123456789012345678901234567890", "0.000000000000000000000000000000000000000001", ("\xff" "1"),
};

}  // namespace

// The references are glibc's printf and strtod (C99 texts for inf and nan,
// hexadecimal reals, correct rounding); the Windows runtime differs on those
// edges, so these comparisons run on Linux.
#if !defined(_WIN32)
TEST(FastNumbers, FormatIsByteIdenticalToPrintf) {
    for (const double value : sample_doubles()) ASSERT_EQ(fast_e12(value), printf_e12(value)) << bits(value);
}

TEST(FastNumbers, ParseMatchesStrtodOnEdgeTexts) {
    for (const char* text : edge_texts) expect_same_as_strtod(text);
    // A number cut short by the end of the view, not by a terminator.
    double value = 0;
    const std::string digits = "12345";
    EXPECT_EQ(u::parse_double(digits.data(), digits.data() + 3, value), digits.data() + 3);
    EXPECT_EQ(value, 123);
}

TEST(FastNumbers, ParseMatchesStrtodOnEveryFormatOfManyValues) {
    for (const double value : sample_doubles()) {
        char buffer[64];
        for (const char* format : {"%.12e", "%.17g", "%+.3E", "%a"}) {
            std::snprintf(buffer, sizeof buffer, format, value);
            expect_same_as_strtod(buffer);
        }
    }
}

TEST(FastNumbers, ComplexListsRoundTripAsTheSlowWayDid) {
    std::vector<u::complex_pair_t> pairs;
    const std::vector<double> values = sample_doubles();
    std::string printed;
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        pairs.emplace_back(values[i], values[i + 1]);
        printed += printf_e12(values[i]) + "," + printf_e12(values[i + 1]) + ",";
    }
    printed.pop_back();
    const std::string text = u::format_complex_list(pairs);
    ASSERT_EQ(text, printed);

    std::vector<u::complex_pair_t> back;
    u::parse_complex_list(text, back);
    ASSERT_EQ(back.size(), pairs.size());
    // Each value as strtod reads its text: the pieces between the commas.
    const std::vector<std::string> pieces = u::split_reply(text);
    for (std::size_t k = 0; k < back.size(); ++k) {
        EXPECT_EQ(bits(back[k].first), bits(std::strtod(pieces[2 * k].c_str(), nullptr))) << pieces[2 * k];
        EXPECT_EQ(bits(back[k].second), bits(std::strtod(pieces[2 * k + 1].c_str(), nullptr))) << pieces[2 * k + 1];
    }
}

#endif  // !_WIN32

// Decimal-comma locales change what strtod and printf do; the driver's
// numbers must not change. LOCPATH names a folder where the build made one.

TEST(FastNumbers, LocaleOfTheHostProgramChangesNothing) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252", "de-DE"};
    const char* chosen = nullptr;
    for (const char* name : names)
        if ((chosen = std::setlocale(LC_ALL, name)) != nullptr) break;
    ASSERT_NE(chosen, nullptr) << "no decimal-comma locale (LOCPATH=" << (std::getenv("LOCPATH") ? std::getenv("LOCPATH") : "")
                               << ")";
    EXPECT_EQ(std::strtod("1.5", nullptr), 1.0) << "the locale should read a comma";

    double value = 0;
    const std::string text = "+1.500000000000E+00";
    EXPECT_EQ(u::parse_double(text.data(), text.data() + text.size(), value), text.data() + text.size());
    EXPECT_EQ(value, 1.5);
#if !defined(_WIN32)  // the Windows runtime reads no hexadecimal reals
    bool range_error = false;
    const std::string hex = "0x1.8p1";  // read by the C library's own parser
    u::parse_double(hex.data(), hex.data() + hex.size(), value, &range_error);
    EXPECT_EQ(value, 3.0);
#endif
    testing::internal::CaptureStdout();
    EXPECT_EQ(u::stod("2.25", 0), 2.25);
    EXPECT_EQ(u::parse_real_list("1.5,-2.5e3"), (std::vector<double>{1.5, -2500}));
    testing::internal::GetCapturedStdout();
    std::vector<u::complex_pair_t> pairs;
    u::parse_complex_list("1.25,-0.5", pairs);
    EXPECT_EQ(pairs, (std::vector<u::complex_pair_t>{{1.25, -0.5}}));
    EXPECT_EQ(u::format_complex_list({{1.5, -0.25}}), "1.500000000000e+00,-2.500000000000e-01");
    EXPECT_EQ(u::string_format("%.3f", 1.5), "1.500");
    std::setlocale(LC_ALL, "C");
}
