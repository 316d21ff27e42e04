// viPrintf, viScanf and viQueryf against scripted replies of a simulated analyzer.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "visa_test_support.h"

namespace {

constexpr const char* analyzer = "fmtio";

std::string wire_log() {
    const size_t size = zsim_wire_log(analyzer, nullptr, 0);
    std::string log(size + 1, '\0');
    zsim_wire_log(analyzer, &log[0], log.size());
    log.resize(size);
    return log;
}

class formatted_io : public rm_fixture {
protected:
    void SetUp() override {
        rm_fixture::SetUp();
        vi = open_sim(analyzer);
    }
    // The next "Q?" is answered with reply.
    void answer(const std::string& reply) {
        zsim_clear_scripts(analyzer);
        ASSERT_EQ(zsim_script(analyzer, "Q?", reply.c_str(), 0, 0, 1), 0);
    }
    ViSession vi = 0;
};

enum class dest_t { i32, i16, f32, f64, f80, text };

struct read_case {
    const char* format;
    const char* reply;
    ViStatus status;
    dest_t dest;
    long double number;  // expected on success
    const char* text;    // expected on success for dest_t::text
};

// Readable case names in test listings.
void PrintTo(const read_case& c, std::ostream* os) { *os << c.format << " <- \"" << c.reply << '"'; }

class formatted_read : public formatted_io, public ::testing::WithParamInterface<read_case> {};

TEST_P(formatted_read, converts_or_leaves_the_destination_alone) {
    const read_case& c = GetParam();
    answer(c.reply);
    SCOPED_TRACE(std::string(c.format) + " <- " + c.reply);
    switch (c.dest) {
    case dest_t::i32: {
        ViInt32 v[2] = {-777, -777};  // v[1] catches writes wider than 32 bits
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", &v[0]), c.status);
        EXPECT_EQ(v[0], c.status == VI_SUCCESS ? static_cast<ViInt32>(c.number) : -777);
        EXPECT_EQ(v[1], -777);
        break;
    }
    case dest_t::i16: {
        ViInt16 v[2] = {-777, -777};
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", &v[0]), c.status);
        EXPECT_EQ(v[0], c.status == VI_SUCCESS ? static_cast<ViInt16>(c.number) : -777);
        EXPECT_EQ(v[1], -777);
        break;
    }
    case dest_t::f32: {
        float v[2] = {-777.0f, -777.0f};
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", &v[0]), c.status);
        EXPECT_EQ(v[0], c.status == VI_SUCCESS ? static_cast<float>(c.number) : -777.0f);
        EXPECT_EQ(v[1], -777.0f);
        break;
    }
    case dest_t::f64: {
        double v[2] = {-777.0, -777.0};
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", &v[0]), c.status);
        EXPECT_EQ(v[0], c.status == VI_SUCCESS ? static_cast<double>(c.number) : -777.0);
        EXPECT_EQ(v[1], -777.0);
        break;
    }
    case dest_t::f80: {
        // "%Le" stores VISA's long double (a double on Windows) and not a byte more.
        ViLongDouble v[2] = {-777.0L, -777.0L};
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", &v[0]), c.status);
        EXPECT_EQ(v[0], c.status == VI_SUCCESS ? static_cast<ViLongDouble>(c.number) : ViLongDouble(-777.0L));
        EXPECT_EQ(v[1], ViLongDouble(-777.0L));
        break;
    }
    case dest_t::text: {
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        ASSERT_EQ(viQueryf(vi, "%s", c.format, "Q?", buf), c.status);
        if (c.status == VI_SUCCESS) {
            EXPECT_STREQ(buf, c.text);
            const std::size_t used = std::strlen(c.text) + 1;
            for (std::size_t i = used; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '#') << "byte " << i;
        } else {
            EXPECT_EQ(buf[0], '#');
        }
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(
    table, formatted_read,
    ::testing::Values(
        read_case{"%ld", "+42", VI_SUCCESS, dest_t::i32, 42, nullptr},
        read_case{"%ld", "  -17,5", VI_SUCCESS, dest_t::i32, -17, nullptr},
        read_case{"%d", "2147483647", VI_SUCCESS, dest_t::i32, INT32_MAX, nullptr},
        read_case{"%ld", "-2147483648", VI_SUCCESS, dest_t::i32, INT32_MIN, nullptr},
        read_case{"%ld", "2147483648", VI_ERROR_INV_FMT, dest_t::i32, 0, nullptr},
        read_case{"%ld", "99999999999999999999999", VI_ERROR_INV_FMT, dest_t::i32, 0, nullptr},
        read_case{"%ld", "abc", VI_ERROR_INV_FMT, dest_t::i32, 0, nullptr},
        read_case{"%ld", "", VI_ERROR_INV_FMT, dest_t::i32, 0, nullptr},
        read_case{"%ld", "-", VI_ERROR_INV_FMT, dest_t::i32, 0, nullptr},
        read_case{"%hd", "1", VI_SUCCESS, dest_t::i16, 1, nullptr},
        read_case{"%hd", "-32768", VI_SUCCESS, dest_t::i16, -32768, nullptr},
        read_case{"%hd", "32768", VI_ERROR_INV_FMT, dest_t::i16, 0, nullptr},
        read_case{"%hd", "ON", VI_ERROR_INV_FMT, dest_t::i16, 0, nullptr},
        read_case{"%Le", "+1.00000000000E+009", VI_SUCCESS, dest_t::f80, 1e9L, nullptr},
        read_case{"%Le", "1.2345678901234567890123", VI_SUCCESS, dest_t::f80, 1.2345678901234567890123L, nullptr},
        read_case{"%Le", "-9.91E37", VI_SUCCESS, dest_t::f80, -9.91E37L, nullptr},
        read_case{"%Le", "text", VI_ERROR_INV_FMT, dest_t::f80, 0, nullptr},
        read_case{"%Le", "+-1", VI_ERROR_INV_FMT, dest_t::f80, 0, nullptr},
        read_case{"%le", "-1.5e-3", VI_SUCCESS, dest_t::f64, -1.5e-3L, nullptr},
        // A width ends the number even where the reply goes on.
        read_case{"%3Le", "1.2345", VI_SUCCESS, dest_t::f80, 1.2L, nullptr},
        read_case{"%4le", "-2.5e7", VI_SUCCESS, dest_t::f64, -2.5L, nullptr},
        read_case{"%lf", "1e400", VI_ERROR_INV_FMT, dest_t::f64, 0, nullptr},
        read_case{"%f", "0.25", VI_SUCCESS, dest_t::f32, 0.25L, nullptr},
        read_case{"%e", "1e39", VI_ERROR_INV_FMT, dest_t::f32, 0, nullptr},
        read_case{"%g", "  3.5,4", VI_SUCCESS, dest_t::f32, 3.5L, nullptr},
        read_case{"%10s", "hello world", VI_SUCCESS, dest_t::text, 0, "hello"},
        read_case{"%3s", "hello", VI_SUCCESS, dest_t::text, 0, "hel"},
        read_case{"%10s", "   ", VI_ERROR_INV_FMT, dest_t::text, 0, nullptr},
        read_case{"%20[^,],", "MEAS1,MEAS2", VI_SUCCESS, dest_t::text, 0, "MEAS1"},
        read_case{"%20[A-Z]", "ABCdef", VI_SUCCESS, dest_t::text, 0, "ABC"},
        read_case{"%20[]a]", "a]]ab", VI_SUCCESS, dest_t::text, 0, "a]]a"},
        read_case{"X%20[^\n]", "Xtail end", VI_SUCCESS, dest_t::text, 0, "tail end"},
        read_case{"X%20[^\n]", "Ytail", VI_ERROR_INV_FMT, dest_t::text, 0, nullptr}));

TEST_F(formatted_io, percent_c_stores_one_character_without_terminator) {
    answer("QR");
    char buf[4] = {'#', '#', '#', '#'};
    ASSERT_EQ(viQueryf(vi, "%s", "%c", "Q?", buf), VI_SUCCESS);
    EXPECT_EQ(buf[0], 'Q');
    EXPECT_EQ(buf[1], '#');
}

TEST_F(formatted_io, error_queue_reply) {
    ASSERT_EQ(zsim_script(analyzer, ":SYST:ERR?", "-113,\"Undefined header\"", 0, 0, 1), 0);
    ViInt32 code = 1;
    char message[257];
    std::memset(message, '#', sizeof message);
    ASSERT_EQ(viQueryf(vi, ":SYST:ERR?", "%ld,\"%256[^\"]", &code, message), VI_SUCCESS);
    EXPECT_EQ(code, -113);
    EXPECT_STREQ(message, "Undefined header");
    EXPECT_EQ(wire_log(), ":SYST:ERR?\n");
}

// Replies of every shape an analyzer writes read as strtold reads them,
// bit for bit, whichever way the reader takes.
TEST_F(formatted_io, long_double_replies_read_as_strtold_reads_them) {
    std::mt19937_64 random(11);
    std::uniform_int_distribution<int> exponent(-40, 40), digits(1, 21);
    std::uniform_int_distribution<int> digit(0, 9);
    std::vector<std::string> replies = {"0", "-0.0", "+0.000000000000E+00", "1.", ".5", "9.9E37", "12345678901234567890",
                                        "1234567890123456789", "0.0000000000000000000000000001234", "1e27", "1e28",
                                        "-1e-27", "7e-28", "5.5E+3 V", "3e+"};
    for (int i = 0; i < 400; ++i) {
        std::string text = i % 2 ? "-" : "+";
        const int n = digits(random);
        for (int k = 0; k < n; ++k) {
            if (k == 1) text += '.';
            text += static_cast<char>('0' + digit(random));
        }
        text += "E" + std::to_string(exponent(random));
        replies.push_back(text);
    }
    for (const std::string& reply : replies) {
        answer(reply);
        ViLongDouble read = -1;
        ASSERT_EQ(viQueryf(vi, "Q?\n", "%Le", &read), VI_SUCCESS) << reply;
        const ViLongDouble expected = sizeof(ViLongDouble) == sizeof(double)
                                          ? static_cast<ViLongDouble>(std::strtod(reply.c_str(), nullptr))
                                          : static_cast<ViLongDouble>(std::strtold(reply.c_str(), nullptr));
        EXPECT_EQ(read, expected) << reply;
        EXPECT_EQ(std::signbit(read), std::signbit(expected)) << reply;
    }
}

TEST_F(formatted_io, error_queue_message_is_cut_at_the_width) {
    const std::string text(300, 'x');
    ASSERT_EQ(zsim_script(analyzer, ":SYST:ERR?", ("-350,\"" + text + "\"").c_str(), 0, 0, 1), 0);
    ViInt32 code = 1;
    char message[300];
    std::memset(message, '#', sizeof message);
    ASSERT_EQ(viQueryf(vi, ":SYST:ERR?", "%ld,\"%256[^\"]", &code, message), VI_SUCCESS);
    EXPECT_EQ(code, -350);
    EXPECT_EQ(std::strlen(message), 256u);
    EXPECT_EQ(message[257], '#') << "wrote past width + NUL";
}

TEST_F(formatted_io, empty_error_message_gives_an_empty_string) {
    ASSERT_EQ(zsim_script(analyzer, ":SYST:ERR?", "0,\"\"", 0, 0, 1), 0);
    ViInt32 code = 1;
    char message[257] = "untouched";
    ASSERT_EQ(viQueryf(vi, ":SYST:ERR?", "%ld,\"%256[^\"]", &code, message), VI_SUCCESS);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(message, "");
}

TEST_F(formatted_io, failed_conversion_leaves_later_arguments_alone) {
    struct failing {
        const char* reply;
        ViInt32 code_after;
    };
    for (const failing& f : {failing{"abc,\"x\"", 1}, failing{"5;\"x\"", 5}, failing{"7", 7}}) {
        ASSERT_EQ(zsim_script(analyzer, ":SYST:ERR?", f.reply, 0, 0, 1), 0);
        ViInt32 code = 1;
        char message[257] = "untouched";
        EXPECT_EQ(viQueryf(vi, ":SYST:ERR?", "%ld,\"%256[^\"]", &code, message), VI_ERROR_INV_FMT) << f.reply;
        EXPECT_EQ(code, f.code_after) << f.reply;
        EXPECT_STREQ(message, "untouched") << f.reply;
    }
}

TEST_F(formatted_io, unsupported_formats_fail_before_any_io) {
    ViInt32 v = 0;
    char text[16];
    for (const char* fmt : {"%s", "%[^,]", "%x", "%q", "%Ld", "%lc"})
        EXPECT_EQ(viQueryf(vi, "%s", fmt, "Q?", text), VI_ERROR_NSUP_FMT) << fmt;
    EXPECT_EQ(viQueryf(vi, "%s", "%10[abc", "Q?", text), VI_ERROR_INV_FMT);
    EXPECT_EQ(viQueryf(vi, "%-5s", "%ld", "Q?", &v), VI_ERROR_NSUP_FMT);
    EXPECT_EQ(viPrintf(vi, "%y", 1), VI_ERROR_NSUP_FMT);
    EXPECT_EQ(wire_log(), "") << "nothing may reach the instrument";
}

TEST_F(formatted_io, io_errors_pass_through_unchanged) {
    ViInt32 v = 5;
    EXPECT_EQ(viQueryf(vi, "%s", "%ld", "*CLS", &v), VI_ERROR_TMO) << "no reply";
    ASSERT_EQ(zsim_script(analyzer, "Q?", "1", VI_ERROR_IO, 0, 1), 0);
    EXPECT_EQ(viQueryf(vi, "%s", "%ld", "Q?", &v), VI_ERROR_IO);
    ASSERT_EQ(zsim_script(analyzer, "W?", "1", 0, VI_ERROR_CONN_LOST, 1), 0);
    EXPECT_EQ(viQueryf(vi, "%s", "%ld", "W?", &v), VI_ERROR_CONN_LOST);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(viQueryf(0xDEADBEEF, "%s", "%ld", "Q?", &v), VI_ERROR_INV_OBJECT);
}

TEST_F(formatted_io, scanf_reads_one_whole_message) {
    std::string reply(70000, 'y');  // longer than any single piece
    reply = "12 " + reply;
    answer(reply);
    ASSERT_EQ(viPrintf(vi, "Q?\n"), VI_SUCCESS);
    ViInt32 first = 0;
    ASSERT_EQ(viScanf(vi, "%ld", &first), VI_SUCCESS);
    EXPECT_EQ(first, 12);
    ViByte buf[8];
    ViUInt32 count = 0;
    EXPECT_EQ(viRead(vi, buf, sizeof buf, &count), VI_ERROR_TMO) << "the rest of the message was consumed";
}

struct print_case {
    std::function<ViStatus(ViSession)> call;
    const char* wire;
};

TEST_F(formatted_io, printf_formats) {
    const print_case cases[] = {
        {[](ViSession s) { return viPrintf(s, "*ESE %ld", static_cast<ViInt32>(-60)); }, "*ESE -60"},
        {[](ViSession s) { return viPrintf(s, "A %d,%hd;%u", 1, static_cast<short>(-2), 4000000000u); },
         "A 1,-2;4000000000"},
        {[](ViSession s) { return viPrintf(s, "B %lld", static_cast<ViInt64>(1) << 40); }, "B 1099511627776"},
        {[](ViSession s) { return viPrintf(s, "%s %% %c", "MEAS", 'x'); }, "MEAS % x"},
        {[](ViSession s) { return viPrintf(s, "F %.3f %e %g", 1.5, 1e9, 0.1); }, "F 1.500 1.000000e+09 0.1"},
        {[](ViSession s) { return viPrintf(s, "G %.2E|%5d|%.2s", 12345.0, 42, "abc"); }, "G 1.23E+04|   42|ab"},
        {[](ViSession s) { return viPrintf(s, "L %.1Le", static_cast<ViLongDouble>(2.5)); }, "L 2.5e+00"},
        {[](ViSession s) { return viPrintf(s, "*RST\n"); }, "*RST"},
    };
    for (const print_case& c : cases) {
        zsim_clear_wire_log(analyzer);
        ASSERT_EQ(c.call(vi), VI_SUCCESS) << c.wire;
        EXPECT_EQ(wire_log(), std::string(c.wire) + "\n");
    }
}

}  // namespace
