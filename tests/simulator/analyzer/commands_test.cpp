// The attribute commands of every area: each numeric suffix holds its own
// value, refused values change nothing, unknown headers are command errors.
#include "analyzer_fixture.h"

#include <vector>

namespace {

struct independence_case_t {
    const char* area;
    const char* set;          // sets a value at one suffix tuple
    const char* query;        // reads it there
    const char* reply;        // what it reads
    const char* others;       // the same setting at other suffixes, joined with ';'
    const char* defaults;     // what they read: untouched
};

class PerSuffix : public AnalyzerTest, public testing::WithParamInterface<independence_case_t> {};

TEST_P(PerSuffix, SettingOneSuffixLeavesTheOthers) {
    const auto& c = GetParam();
    const std::string before = query(c.others);
    EXPECT_EQ(before, c.defaults);
    write(c.set);
    EXPECT_EQ(query(c.query), c.reply);
    EXPECT_EQ(query(c.others), before);
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

const independence_case_t independence_cases[] = {
    {"stimulus", ":SENS2:FREQ:CW 2.5E9", ":SENS2:FREQ:CW?", "+2.500000000000E+09", ":SENS1:FREQ:CW?;:SENS3:FREQ:CW?",
     "+1.000000000000E+09;+1.000000000000E+09"},
    {"stimulus", ":SENS2:SWE:MODE SING", ":SENS2:SWE:MODE?", "SING", ":SENS:SWE:MODE?;:SENS16:SWE:MODE?", "CONT;CONT"},
    {"source", ":SOUR2:POW -12.5", ":SOUR2:POW:LEV?", "-1.250000000000E+01", ":SOUR1:POW?;:SOUR3:POW?",
     "+0.000000000000E+00;+0.000000000000E+00"},
    {"averaging", ":SENS2:AVER:COUN 64", ":SENS2:AVER:COUN?", "64", ":SENS1:AVER:COUN?", "16"},
    {"display window", ":DISP:WIND2:Y:DIV 12", ":DISP:WIND2:Y:DIV?", "12", ":DISP:WIND1:Y:DIV?;:DISP:WIND3:Y:DIV?",
     "10;10"},
    {"display title", ":DISP:WIND2:TITL:DATA \"Gain, dB\"", ":DISP:WIND2:TITL:DATA?", "\"Gain, dB\"",
     ":DISP:WIND1:TITL:DATA?", "\"\""},
    {"display trace", ":DISP:WIND1:TRAC2:Y:PDIV 2.5", ":DISP:WIND1:TRAC2:Y:PDIV?", "+2.500000000000E+00",
     ":DISP:WIND1:TRAC1:Y:PDIV?;:DISP:WIND2:TRAC2:Y:PDIV?", "+1.000000000000E+01;+1.000000000000E+01"},
    {"measurement", ":CALC2:PAR3:DEF S21", ":CALC2:PAR3:DEF?", "S21", ":CALC1:PAR3:DEF?;:CALC2:PAR4:DEF?", "S12;S22"},
    {"measurement", ":CALC2:MEAS3:OFFS:MAGN 3", ":CALC2:TRAC3:OFFS:MAGN?", "+3.000000000000E+00",
     ":CALC1:TRAC3:OFFS:MAGN?;:CALC2:TRAC1:OFFS:MAGN?", "+0.000000000000E+00;+0.000000000000E+00"},
    {"equation", ":CALC1:TRAC2:EQU:TEXT 'S21/S11'", ":CALC1:TRAC2:EQU:TEXT?", "\"S21/S11\"", ":CALC1:TRAC1:EQU:TEXT?",
     "\"\""},
    {"marker", ":CALC1:TRAC2:MARK3:X 2E9", ":CALC1:TRAC2:MARK3:X?", "+2.000000000000E+09",
     ":CALC1:TRAC2:MARK2:X?;:CALC1:TRAC1:MARK3:X?;:CALC2:TRAC2:MARK3:X?",
     "+1.000000000000E+09;+1.000000000000E+09;+1.000000000000E+09"},
    {"marker search", ":CALC1:TRAC2:MARK:FUNC:MULT:TYPE TARG", ":CALC1:MEAS2:MARK:FUNC:MULT:TYPE?", "TARG",
     ":CALC1:TRAC1:MARK:FUNC:MULT:TYPE?", "OFF"},
    {"limit", ":CALC2:TRAC3:LIM:DATA 1,1,1E9,2E9,-3,-3", ":CALC2:TRAC3:LIM:DATA?",
     "1,1,+1.000000000000E+09,+2.000000000000E+09,-3.000000000000E+00,-3.000000000000E+00", ":CALC2:TRAC4:LIM:DATA?",
     "0"},
    {"bandwidth limit", ":CALC2:TRAC3:BLIM:MIN 1MHZ", ":CALC2:TRAC3:BLIM:MIN?", "+1.000000000000E+06",
     ":CALC2:TRAC2:BLIM:MIN?", "+1.000000000000E+04"},
    {"time domain", ":CALC2:TRAC3:TRAN:TIME BPAS", ":CALC2:TRAC3:TRAN:TIME?", "BPAS", ":CALC3:TRAC3:TRAN:TIME?",
     "LPAS"},
    {"gating", ":CALC2:TRAC3:FILT:TIME:SPAN 5NS", ":CALC2:TRAC3:FILT:GATE:TIME:SPAN?", "+5.000000000000E-09",
     ":CALC2:TRAC4:FILT:TIME:SPAN?", "+2.000000000000E-08"},
    {"correction", ":SENS2:CORR:EXT:PORT2:VELF 0.7", ":SENS2:CORR:EXT:PORT2:VELF?", "+7.000000000000E-01",
     ":SENS2:CORR:EXT:PORT1:VELF?;:SENS1:CORR:EXT:PORT2:VELF?", "+1.000000000000E+00;+1.000000000000E+00"},
    {"power correction", ":SOUR3:POW:PORT2:CORR:COLL:AVER 7", ":SOUR3:POW:PORT2:CORR:COLL:AVER?", "7",
     ":SOUR3:POW:PORT1:CORR:COLL:AVER?;:SOUR2:POW:PORT2:CORR:COLL:AVER?", "1;1"},
    {"calibration kit", ":SENS2:CORR:COLL:CKIT:NAME \"Line kit\"", ":SENS2:CORR:COLL:CKIT:NAME?", "\"Line kit\"",
     ":SENS:CORR:COLL:CKIT:NAME?", "\"User Kit 1\""},
};

INSTANTIATE_TEST_SUITE_P(Areas, PerSuffix, testing::ValuesIn(independence_cases),
                         [](const testing::TestParamInfo<independence_case_t>& info) {
                             std::string name = std::to_string(info.index) + "_" + info.param.area;
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

struct refusal_case_t {
    const char* set;    // a value the analyzer refuses
    const char* query;  // the setting, unchanged
    const char* reply;
    const char* error;
};

class Refusal : public AnalyzerTest, public testing::WithParamInterface<refusal_case_t> {};

TEST_P(Refusal, QueuesTheErrorSetsTheEventBitAndKeepsTheValue) {
    const auto& c = GetParam();
    write(c.set);
    EXPECT_EQ(query(c.query), c.reply);
    EXPECT_EQ(next_error(), c.error);
    EXPECT_EQ(next_error(), "0,\"No error\"");
    // -1xx are command errors (ESR bit 5), -2xx execution errors (bit 4).
    const bool command_error = std::string(c.error).compare(0, 2, "-1") == 0;
    EXPECT_EQ(query("*ESR?"), command_error ? "32" : "16");
}

const refusal_case_t refusal_cases[] = {
    // Automatic: 201 points at 10 kHz IF bandwidth and 5 us settling each.
    {":SENS:SWE:TIME -1", ":SENS:SWE:TIME?", "+2.110500000000E-02", "-222,\"Data out of range\""},
    {":SOUR2:POW 25", ":SOUR2:POW?", "+0.000000000000E+00", "-222,\"Data out of range\""},
    {":SENS:FREQ:CENT 10GHZ", ":SENS:FREQ:CENT?", "+4.500150000000E+09", "-222,\"Data out of range\""},
    {":SENS:FREQ:SPAN -1", ":SENS:FREQ:SPAN?", "+8.999700000000E+09", "-222,\"Data out of range\""},
    {":DISP:WIND:Y:DIV 31", ":DISP:WIND:Y:DIV?", "10", "-222,\"Data out of range\""},
    {":CALC:TRAC:MARK:FUNC:PEXC -1", ":CALC:TRAC:MARK:FUNC:PEXC?", "+3.000000000000E+00", "-222,\"Data out of range\""},
    {":CALC:TRAC:TRAN:TIME:KBES 14", ":CALC:TRAC:TRAN:TIME:KBES?", "+6.000000000000E+00", "-222,\"Data out of range\""},
    {":SENS:CORR:EXT:PORT:VELF 0", ":SENS:CORR:EXT:PORT:VELF?", "+1.000000000000E+00", "-222,\"Data out of range\""},
    {":CALC:TRAC:LIM:DATA 1,3,0,0,0,0", ":CALC:TRAC:LIM:DATA?", "0", "-222,\"Data out of range\""},
    {":CALC:TRAC:LIM:DATA 2,1,0,0,0,0", ":CALC:TRAC:LIM:DATA?", "0", "-109,\"Missing parameter\""},
    {":CALC:TRAC:FORM BOGUS", ":CALC:TRAC:FORM?", "MLOG", "-224,\"Illegal parameter value\""},
    {":CALC:PAR:DEF S33", ":CALC:PAR:DEF?", "S11", "-224,\"Illegal parameter value\""},
    {":CALC:TRAC:EQU:TEXT S21", ":CALC:TRAC:EQU:TEXT?", "\"\"", "-104,\"Data type error\""},
    {":SENS:FREQ:STAR:BOGUS 1", ":SENS:FREQ:STAR?", "+3.000000000000E+05", "-113,\"Undefined header\""},
    {":SOUR:POW:PORT3:CORR 1", ":SOUR:POW:PORT2:CORR?", "0", "-114,\"Header suffix out of range\""},
};

INSTANTIATE_TEST_SUITE_P(Values, Refusal, testing::ValuesIn(refusal_cases));

TEST_F(AnalyzerTest, CenterAndSpanMoveStartAndStopWithinTheLimits) {
    write(":SENS2:FREQ:CENT 2E9");
    EXPECT_EQ(query(":SENS2:FREQ:STAR?;STOP?;CENT?"), "+1.000000000000E+04;+3.999990000000E+09;+2.000000000000E+09")
        << "the span narrows to keep the start at the lower limit";
    write(":SENS2:FREQ:SPAN 1E9");
    EXPECT_EQ(query(":SENS2:FREQ:STAR?;STOP?;SPAN?"), "+1.500000000000E+09;+2.500000000000E+09;+1.000000000000E+09");
    write(":SENS2:FREQ:STAR 3E9");
    EXPECT_EQ(query(":SENS2:FREQ:STOP?"), "+3.000000000000E+09") << "a start above the stop pushes it";
    EXPECT_EQ(query(":SENS1:FREQ:CENT?"), "+4.500150000000E+09");
}

TEST_F(AnalyzerTest, TitlesTakeStringsOrBareWordsAndAnswerQuoted) {
    write(":DISP:TRAC2:TITL:DATA Gain;:DISP:TRAC3:TITL:DATA \"Return loss\"");
    EXPECT_EQ(query(":DISP:TRAC2:TITL:DATA?;:DISP:TRAC3:TITL:DATA?"), "\"Gain\";\"Return loss\"");
}

TEST_F(AnalyzerTest, ManualSweepTimeEndsTheAutomaticOne) {
    EXPECT_EQ(query(":SENS2:SWE:TIME:AUTO?"), "1");
    write(":SENS2:SWE:TIME 0.5");
    EXPECT_EQ(query(":SENS2:SWE:TIME:AUTO?;:SENS1:SWE:TIME:AUTO?"), "0;1");
}

TEST(WireLog, KeepsOnlyTheMostRecentMessages) {
    zorsim::analyzer_t analyzer;
    const std::size_t total = zorsim::analyzer_t::wire_log_capacity + 5;
    for (std::size_t i = 0; i < total; ++i) analyzer.receive("*WAI;:DUMMy " + std::to_string(i));
    const auto log = analyzer.wire_log();
    ASSERT_EQ(log.size(), zorsim::analyzer_t::wire_log_capacity);
    EXPECT_EQ(log.front(), "*WAI;:DUMMy 5");
    EXPECT_EQ(log.back(), "*WAI;:DUMMy " + std::to_string(total - 1));
}

}  // namespace
