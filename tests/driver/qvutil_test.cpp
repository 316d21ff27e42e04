#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/qvutil.h"
#include "support/status.h"

using namespace qvdriver;
namespace u = qvdriver::util;

TEST(StringFormat, MeasuresExactlyAndHasNoSizeLimit) {
    EXPECT_EQ(u::string_format(":SENSe%d:FREQuency:STARt %.12e", 2, 1.0e9), ":SENSe2:FREQuency:STARt 1.000000000000e+09");
    const std::string long_text(5000, 'x');
    EXPECT_EQ(u::string_format("%s!", long_text.c_str()).size(), 5001u);
    EXPECT_EQ(u::string_format("%s", ""), "");
}

struct stoi_case {
    const char* text;
    std::int32_t value;
    const char* message;  // part of the console line, or null for none
};

TEST(Conversions, StoiTable) {
    const stoi_case cases[] = {
        {"12abc", 12, nullptr},
        {"  -42", -42, nullptr},
        {"2147483647", 2147483647, nullptr},
        {"-2147483648", -2147483647 - 1, nullptr},
        {"abc", 0, "Invalid_argument (abc)"},
        {"", 0, "Invalid_argument ()"},
        {"12345678901", 0, "Out of range (12345678901)"},
        {"2147483648", 0, "Out of range"},
        {"99999999999999999999999", 0, "Out of range"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(u::stoi(c.text), c.value) << c.text;
        const std::string out = testing::internal::GetCapturedStdout();
        if (c.message) {
            EXPECT_NE(out.find("[qvdriver::util::stoi] catch => "), std::string::npos) << c.text;
            EXPECT_NE(out.find(c.message), std::string::npos) << out;
        } else {
            EXPECT_EQ(out, "") << c.text;
        }
    }
}

TEST(Conversions, StodFallsBackAndKeepsTinyNumbers) {
    testing::internal::CaptureStdout();
    EXPECT_DOUBLE_EQ(u::stod("+1.000000000000E+09", -1), 1e9);
    EXPECT_DOUBLE_EQ(u::stod("-2e3xyz", -1), -2000);
    EXPECT_GT(u::stod("1e-320", -1), 0.0);  // underflow is not a failure
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    EXPECT_DOUBLE_EQ(u::stod("volts", 7.5), 7.5);
    EXPECT_DOUBLE_EQ(u::stod("1e999", 7.5), 7.5);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[qvdriver::util::stod] catch => Invalid_argument (volts)"), std::string::npos);
    EXPECT_NE(out.find("Out of range (1e999)"), std::string::npos);
}

TEST(Replies, SplitLikeALineReader) {
    using list = std::vector<std::string>;
    EXPECT_EQ(u::split_reply("a,,b,"), (list{"a", "", "b"}));
    EXPECT_EQ(u::split_reply(""), list{});
    EXPECT_EQ(u::split_reply(","), (list{""}));
    EXPECT_EQ(u::split_reply(" a , b"), (list{" a ", " b"}));
}

TEST(Replies, NumberLists) {
    EXPECT_EQ(u::parse_real_list("1.5, -2e3"), (std::vector<double>{1.5, -2000}));
    EXPECT_TRUE(u::parse_real_list("").empty());
    testing::internal::CaptureStdout();
    EXPECT_EQ(u::parse_real_list("1,,2"), (std::vector<double>{1, 0, 2}));
    EXPECT_EQ(u::parse_int_list(" 1, 2,x,4"), (std::vector<std::int32_t>{1, 2, 0, 4}));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("stod] catch => Invalid_argument"), std::string::npos);
    EXPECT_NE(out.find("stoi] catch => Invalid_argument (x)"), std::string::npos);
}

TEST(Replies, Trim) {
    std::string text = "\"ABC\"";
    u::trim(text, "\"");
    EXPECT_EQ(text, "ABC");
    text = " \t\n";
    u::trim(text, u::white_space);
    EXPECT_EQ(text, "");
    text = "  a b \r\n";
    u::trim(text, u::white_space);
    EXPECT_EQ(text, "a b");
}

TEST(CopyToBuffer, CutsTerminatesAndRefusesBadBuffers) {
    char buffer[8];
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(u::copy_to_buffer(buffer, 4, "abcd"), zor_error_text_cut);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'Z');  // nothing written past the size given
    EXPECT_EQ(u::copy_to_buffer(buffer, 4, "abc"), 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(u::copy_to_buffer(buffer, 8, ""), 0);
    for (char c : buffer) EXPECT_EQ(c, '\0');  // the whole size is zero-filled

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(u::copy_to_buffer(buffer, 0, "abc"), zor_error_buffer_size);
    EXPECT_EQ(u::copy_to_buffer(buffer, -5, "abc"), zor_error_buffer_size);
    EXPECT_EQ(buffer[0], 'Z');
    EXPECT_EQ(u::copy_to_buffer(nullptr, 8, "abc"), zor_error_null_pointer);
}

TEST(ComplexLists, FormatAndParse) {
    EXPECT_EQ(u::format_complex_list({{1, -0.5}}), "1.000000000000e+00,-5.000000000000e-01");
    EXPECT_EQ(u::format_complex_list({}), "");
    EXPECT_EQ(u::format_complex_list({{1, 2}, {3, 4}}), "1.000000000000e+00,2.000000000000e+00,3.000000000000e+00,4.000000000000e+00");

    std::vector<u::complex_pair_t> pairs{{9, 9}};
    u::parse_complex_list("1,2,3,x,5", pairs);  // the odd trailing piece is dropped
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], (u::complex_pair_t{1, 2}));
    EXPECT_EQ(pairs[1], (u::complex_pair_t{3, 0}));
    u::parse_complex_list("", pairs);
    EXPECT_TRUE(pairs.empty());
}

TEST(Blocks, MakeAndParse) {
    std::string text(1234, 'q');
    u::make_block(text);
    EXPECT_EQ(text.substr(0, 6), "#41234");
    EXPECT_EQ(text.size(), 1240u);
    u::parse_block(text);
    EXPECT_EQ(text, std::string(1234, 'q'));

    std::string empty;
    u::make_block(empty);
    EXPECT_EQ(empty, "#10");

    struct {
        std::string in, out;
    } cases[] = {
        {"#15hello\n", "hello"},
        {"#3", ""},
        {"hello", ""},
        {"#0data\n", ""},  // indefinite length: not a definite block
        {"#x5hello", ""},
        {std::string("#15hel", 6), std::string("hel\0\0", 5)},  // white space the reader dropped comes back as NULs
        {"#9999999999", ""},  // claims a gigabyte that is not there: refused, not allocated
    };
    for (auto& c : cases) {
        std::string text = c.in;
        testing::internal::CaptureStdout();
        u::parse_block(text);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(text, c.out) << c.in;
    }
}

// Little-endian bytes of `values` behind a block header claiming `claimed`
// bytes (the true count when negative), then `tail`.
std::string real64_block(const std::vector<double>& values, long claimed, const std::string& tail) {
    std::string bytes;
    for (double v : values) {
        unsigned char b[8];
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
        bytes.append(reinterpret_cast<const char*>(b), 8);
    }
    const std::string length = std::to_string(claimed < 0 ? static_cast<long>(bytes.size()) : claimed);
    return "#" + std::to_string(length.size()) + length + bytes + tail;
}

TEST(Blocks, Real64BlocksDecodeBitForBitAndWrongLengthsAreFaults) {
    // Values ending in a line feed or a space byte must survive: a reply
    // trimmed as text would lose them.
    double line_feed_end = 0, space_end = 0;
    const std::uint64_t lf_bits = 0x0A00000000000001ull, sp_bits = 0x2000000000000002ull;
    std::memcpy(&line_feed_end, &lf_bits, 8);
    std::memcpy(&space_end, &sp_bits, 8);
    const std::vector<double> values = {-0.0, std::numeric_limits<double>::denorm_min(), 1e308, -2.5e-300,
                                        std::numeric_limits<double>::infinity(), line_feed_end, 0.1, space_end};
    for (const std::string tail : {"", "\n", "\r\n"}) {
        std::vector<u::complex_pair_t> pairs;
        ASSERT_EQ(u::parse_real64_block(real64_block(values, -1, tail), pairs), nullptr);
        ASSERT_EQ(pairs.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(std::memcmp(&pairs[k].first, &values[2 * k], 8), 0) << k;
            EXPECT_EQ(std::memcmp(&pairs[k].second, &values[2 * k + 1], 8), 0) << k;
        }
    }
    std::vector<u::complex_pair_t> odd;
    EXPECT_EQ(u::parse_real64_block(real64_block({1, 2, 3}, -1, "\n"), odd), nullptr);
    EXPECT_EQ(odd.size(), 1u);  // an odd last value is dropped, as from text

    const std::string faulty[] = {
        real64_block(values, 56, "\n"),   // claims one value less than came
        real64_block(values, 72, "\n"),   // claims one value more
        real64_block(values, 64, "x\n"),  // something after the block
        "#212" + std::string(12, 'A') + "\n",  // not whole values
        "1.0,2.0\n", "#", "#0\n", "#3", "#2x6abcdefgh", "#9999999999",
    };
    for (const auto& reply : faulty) {
        std::vector<u::complex_pair_t> pairs{{1.0, 2.0}};
        EXPECT_NE(u::parse_real64_block(reply, pairs), nullptr) << reply.substr(0, 12);
        EXPECT_TRUE(pairs.empty());
    }
}

TEST(Files, RoundTripBinaryContent) {
    const std::string path = testing::TempDir() + "zor_qvutil_file.bin";
    const std::string content("a\0b\r\n\xff", 6);
    ASSERT_TRUE(u::write_file(path, content));
    std::string back = "stale";
    ASSERT_TRUE(u::read_file(path, back));
    EXPECT_EQ(back, content);
    std::remove(path.c_str());
    std::string untouched = "keep";
    EXPECT_FALSE(u::read_file(path, untouched));
    EXPECT_EQ(untouched, "keep");
    EXPECT_FALSE(u::write_file(testing::TempDir() + "no/such/folder/file", "x"));
}
