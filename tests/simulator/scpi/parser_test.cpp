// Parsing of program messages: headers, parameters, separators, errors.
#include <simulator/scpi/table.h>

#include <gtest/gtest.h>

#include <limits>

using namespace zorsim::scpi;

namespace {

int parse_error(std::string_view message) {
    try {
        parse_message(message);
    } catch (const scpi_error& e) {
        return e.code();
    }
    return 0;
}

}  // namespace

TEST(ScpiParser, HeaderNodesAreUpperCasedAndSplit) {
    auto units = parse_message(":sens2:Freq:STARt 1e6");
    ASSERT_EQ(units.size(), 1u);
    const header_t& h = units[0].header;
    EXPECT_TRUE(h.absolute);
    EXPECT_FALSE(h.query);
    EXPECT_FALSE(h.common);
    EXPECT_EQ(h.nodes, (std::vector<std::string>{"SENS2", "FREQ", "START"}));
}

TEST(ScpiParser, QueriesAndCommonCommands) {
    auto units = parse_message("*idn?;SYST:ERR?;*CLS");
    ASSERT_EQ(units.size(), 3u);
    EXPECT_TRUE(units[0].header.common);
    EXPECT_TRUE(units[0].header.query);
    EXPECT_EQ(units[0].header.nodes, std::vector<std::string>{"*IDN"});
    EXPECT_TRUE(units[1].header.query);
    EXPECT_FALSE(units[1].header.absolute);
    EXPECT_FALSE(units[2].header.query);
}

TEST(ScpiParser, EmptyUnitsAndWhiteSpaceAreSkipped) {
    auto units = parse_message("  *CLS ;; *OPC ;  ");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].header.nodes[0], "*OPC");
    EXPECT_TRUE(parse_message("").empty());
    EXPECT_TRUE(parse_message("   \r\n").empty());
}

TEST(ScpiParser, DecimalNumbersInAllForms) {
    auto units = parse_message("X 1, -2.5, +.5, 3., 1e3, -4.5E-3, 2 E+2");
    ASSERT_EQ(units.size(), 1u);
    const auto& p = units[0].params;
    ASSERT_EQ(p.size(), 7u);
    double expected[] = {1, -2.5, 0.5, 3, 1000, -4.5e-3, 200};
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(p[i].type, param_type_t::decimal) << i;
        EXPECT_DOUBLE_EQ(p[i].value, expected[i]) << i;
        EXPECT_TRUE(p[i].suffix.empty()) << i;
    }
}

TEST(ScpiParser, NumbersWithSuffixUnits) {
    auto units = parse_message("X 1.5GHz, 10 MHZ, 3 ms, 2e3 kHz");
    const auto& p = units[0].params;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].suffix, "GHZ");
    EXPECT_DOUBLE_EQ(p[0].value, 1.5);
    EXPECT_EQ(p[1].suffix, "MHZ");
    EXPECT_EQ(p[2].suffix, "MS");
    EXPECT_EQ(p[3].suffix, "KHZ");
    EXPECT_DOUBLE_EQ(p[3].value, 2000);
}

TEST(ScpiParser, NonDecimalNumbers) {
    auto p = parse_message("*ESE #H2f, #q17, #B101")[0].params;
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].type, param_type_t::non_decimal);
    EXPECT_DOUBLE_EQ(p[0].value, 47);
    EXPECT_DOUBLE_EQ(p[1].value, 15);
    EXPECT_DOUBLE_EQ(p[2].value, 5);
}

TEST(ScpiParser, CharacterDataAndBooleans) {
    auto p = parse_message("X ON,off,LINear,max")[0].params;
    ASSERT_EQ(p.size(), 4u);
    for (const auto& q : p) EXPECT_EQ(q.type, param_type_t::character);
    EXPECT_EQ(p[2].text, "LINear");
}

TEST(ScpiParser, QuotedStringsMayHoldSeparatorsAndQuotes) {
    auto units = parse_message(R"(MMEM:STOR "a;b,c" ; X 'it''s;' , "say ""hi""";*OPC)");
    ASSERT_EQ(units.size(), 3u);
    ASSERT_EQ(units[0].params.size(), 1u);
    EXPECT_EQ(units[0].params[0].type, param_type_t::string);
    EXPECT_EQ(units[0].params[0].text, "a;b,c");
    ASSERT_EQ(units[1].params.size(), 2u);
    EXPECT_EQ(units[1].params[0].text, "it's;");
    EXPECT_EQ(units[1].params[1].text, "say \"hi\"");
    EXPECT_EQ(units[2].header.nodes[0], "*OPC");
}

TEST(ScpiParser, DefiniteLengthBlocksMayHoldAnyByte) {
    std::string data("a;\n\"b'#\0,", 9);
    std::string message = "DATA #19" + data + ";*OPC";
    auto units = parse_message(message);
    ASSERT_EQ(units.size(), 2u);
    ASSERT_EQ(units[0].params.size(), 1u);
    EXPECT_EQ(units[0].params[0].type, param_type_t::block);
    EXPECT_EQ(units[0].params[0].text, data);
    EXPECT_EQ(units[1].header.nodes[0], "*OPC");

    auto big = parse_message("DATA #212" + std::string(12, 'x') + ",1");
    ASSERT_EQ(big[0].params.size(), 2u);
    EXPECT_EQ(big[0].params[0].text.size(), 12u);
    EXPECT_EQ(big[0].params[1].type, param_type_t::decimal);

    auto empty = parse_message("DATA #10");
    EXPECT_EQ(empty[0].params[0].type, param_type_t::block);
    EXPECT_TRUE(empty[0].params[0].text.empty());
}

TEST(ScpiParser, IndefiniteLengthBlockTakesTheRest) {
    auto units = parse_message("DATA #0ab;cd\n");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].params[0].text, "ab;cd");
}

TEST(ScpiParser, Expressions) {
    auto p = parse_message("ROUT:CLOS (@1,2:3)")[0].params;
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].type, param_type_t::expression);
    EXPECT_EQ(p[0].text, "(@1,2:3)");
}

TEST(ScpiParser, SyntaxErrors) {
    EXPECT_EQ(parse_error("SENS:FREQ \"open"), -151);
    EXPECT_EQ(parse_error("DATA #15ab"), -161);
    EXPECT_EQ(parse_error("DATA #3x"), -161);
    EXPECT_EQ(parse_error("SENS::FREQ"), -102);
    EXPECT_EQ(parse_error("SENS:FREQ:"), -102);
    EXPECT_EQ(parse_error("X 1,,2"), -102);
    EXPECT_EQ(parse_error("X 1 2"), -103);
    EXPECT_EQ(parse_error("X 1,"), -102);
    EXPECT_EQ(parse_error("*"), -102);
    EXPECT_EQ(parse_error("X $"), -101);
    EXPECT_EQ(parse_error("X +"), -120);
    EXPECT_EQ(parse_error("X 1e"), -121);
    EXPECT_EQ(parse_error("X 1e999"), -123);
    EXPECT_EQ(parse_error("X (1"), -171);
    EXPECT_EQ(parse_error("*IDN?x"), -102);
    EXPECT_EQ(parse_error("X #H"), -121);
}

TEST(ScpiParser, FormatsRepliesLikeAnAnalyzer) {
    EXPECT_EQ(format_real(1e9), "+1.000000000000E+09");
    EXPECT_EQ(format_real(-2.5e-3), "-2.500000000000E-03");
    EXPECT_EQ(format_real(0.0), "+0.000000000000E+00");
    EXPECT_EQ(format_real(-0.0), "+0.000000000000E+00");
    EXPECT_EQ(format_real(1e100), "+1.000000000000E+100");
    EXPECT_EQ(format_real(std::numeric_limits<double>::quiet_NaN()), "+9.910000000000E+37");
    EXPECT_EQ(format_integer(-42), "-42");
    EXPECT_EQ(format_boolean(true), "1");
    EXPECT_EQ(quote_string("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(format_block("abc"), "#13abc");
    EXPECT_EQ(format_block(std::string(10, 'x')), "#210xxxxxxxxxx");
    EXPECT_EQ(short_form("MLOGarithmic"), "MLOG");
    EXPECT_EQ(short_form("CW"), "CW");
    EXPECT_TRUE(mnemonic_matches("LINear", "lin"));
    EXPECT_TRUE(mnemonic_matches("LINear", "LINEAR"));
    EXPECT_FALSE(mnemonic_matches("LINear", "LINE"));
}

TEST(ScpiParser, ErrorTexts) {
    EXPECT_STREQ(error_message(-113), "Undefined header");
    EXPECT_STREQ(error_message(-222), "Data out of range");
    EXPECT_STREQ(error_message(-350), "Queue overflow");
    EXPECT_STREQ(error_message(0), "No error");
    scpi_error e(-224);
    EXPECT_EQ(e.code(), -224);
    EXPECT_EQ(e.message(), "Illegal parameter value");
}
