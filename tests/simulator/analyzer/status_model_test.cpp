// IEEE 488.2 common commands, the status model and the error queue.
#include "analyzer_fixture.h"

#include <simulator/analyzer/analyzer.h>

using zorsim::analyzer_t;

TEST_F(AnalyzerTest, Identity) {
    EXPECT_EQ(query("*IDN?"), "Quorvex Technologies,ZOR4220,SIM00001,1.0.0");
    EXPECT_STREQ(zorsim::default_identity, "Quorvex Technologies,ZOR4220,SIM00001,1.0.0");
    EXPECT_EQ(query("*idn?"), zorsim::default_identity);
    analyzer.set_identity("ACME,X1,42,2.0");
    EXPECT_EQ(analyzer.identity(), "ACME,X1,42,2.0");
    EXPECT_EQ(query("*IDN?"), "ACME,X1,42,2.0");
    write("*RST");
    EXPECT_EQ(query("*IDN?"), "ACME,X1,42,2.0");
}

TEST_F(AnalyzerTest, SimpleCommonQueries) {
    EXPECT_EQ(query("*OPC?"), "1");
    EXPECT_EQ(query("*TST?"), "0");
    write("*WAI");
    EXPECT_EQ(query("*IDN?;*OPC?;*TST?"), std::string(zorsim::default_identity) + ";1;0");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, OpcSetsEsrBitZero) {
    EXPECT_EQ(query("*ESR?"), "0");
    write("*OPC");
    EXPECT_EQ(query("*ESR?"), "1");
    EXPECT_EQ(query("*ESR?"), "0") << "read clears";
}

TEST_F(AnalyzerTest, EsrBitPerErrorClass) {
    write("FOO:BAR");  // -113 command error
    EXPECT_EQ(query("*ESR?"), "32");
    write("SENS:FREQ:STAR 1e15");  // -222 execution error
    EXPECT_EQ(query("*ESR?"), "16");
    write("*ESE 256");  // -222 too
    EXPECT_EQ(query("*ESR?"), "16");
    write("SYST:ERR");  // query-only header used as a command: -113
    EXPECT_EQ(query("*ESR?"), "32");
    write("*IDN");  // no set form: -113
    write("*CLS?");  // no query form: -113
    EXPECT_EQ(query("*ESR?"), "32");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, ErrorsReportedByTransportsSetTheirBits) {
    analyzer.report_error(-410);  // e.g. a new message while a reply is unread
    EXPECT_EQ(query("*ESR?"), "4");
    analyzer.report_error(-300, "Simulated fault");
    EXPECT_EQ(query("*ESR?"), "8");
    EXPECT_EQ(next_error(), "-410,\"Query INTERRUPTED\"");
    EXPECT_EQ(next_error(), "-300,\"Simulated fault\"");
}

TEST_F(AnalyzerTest, CommandErrorsOfEachKind) {
    write("SENS:FREQ:STAR");          // -109 missing parameter
    write("*CLS 1");                  // -108 parameter not allowed
    write("SENS:FREQ:STAR 'abc'");    // -104 data type error
    write("SENS17:FREQ:STAR 1e6");    // -114 header suffix out of range
    write("SENS:FREQ:STAR 1e6 1e7");  // -103 invalid separator
    write("SENS:FREQ:STAR 'abc");     // -151 invalid string data
    write("SENS:FREQ:STAR 1 V");      // -131 invalid suffix
    write("SENS:SWE:POIN 5 Hz");      // -138 suffix not allowed
    write("SENS:SWE:TYPE SPIRal");    // -224 illegal parameter value
    EXPECT_EQ(query("SYST:ERR:COUN?"), "9");
    const char* expected[] = {"-109,\"Missing parameter\"",       "-108,\"Parameter not allowed\"",
                              "-104,\"Data type error\"",         "-114,\"Header suffix out of range\"",
                              "-103,\"Invalid separator\"",       "-151,\"Invalid string data\"",
                              "-131,\"Invalid suffix\"",          "-138,\"Suffix not allowed\"",
                              "-224,\"Illegal parameter value\""};
    for (const char* e : expected) EXPECT_EQ(next_error(), e);
    EXPECT_EQ(query("*ESR?"), "48");
}

TEST_F(AnalyzerTest, ErrorQueueOverflow) {
    for (int i = 0; i < 25; ++i) write("BOGUS");
    EXPECT_EQ(query("SYST:ERR:COUN?"), "20");
    for (int i = 0; i < 19; ++i) EXPECT_EQ(next_error(), "-113,\"Undefined header\"") << i;
    EXPECT_EQ(next_error(), "-350,\"Queue overflow\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    EXPECT_EQ(query("SYST:ERR:COUN?"), "0");
}

TEST_F(AnalyzerTest, ErrorQueueForms) {
    write("BOGUS");
    write("SENS:FREQ:STAR 1e15");
    EXPECT_EQ(query(":SYSTem:ERRor:NEXT?"), "-113,\"Undefined header\"");
    write("BOGUS");
    EXPECT_EQ(query("SYST:ERR:ALL?"), "-222,\"Data out of range\",-113,\"Undefined header\"");
    EXPECT_EQ(query("SYST:ERR:ALL?"), "0,\"No error\"");
    write("BOGUS");
    EXPECT_EQ(query("STAT:QUE?"), "-113,\"Undefined header\"");
}

TEST_F(AnalyzerTest, ClsClearsEsrErrorsAndEvents) {
    write("*ESE 255;*SRE 4");
    write("BOGUS");
    write("*OPC");
    EXPECT_NE(query("*STB?"), "0");
    write("*CLS");
    EXPECT_EQ(query("*ESR?"), "0");
    EXPECT_EQ(query("SYST:ERR:COUN?"), "0");
    EXPECT_EQ(query("*STB?"), "0");
    EXPECT_EQ(query("*ESE?"), "255") << "*CLS keeps the enables";
    EXPECT_EQ(query("*SRE?"), "4");
}

TEST_F(AnalyzerTest, StatusByteBits) {
    EXPECT_EQ(query("*STB?"), "0");
    write("BOGUS");  // error queue not empty: bit 2
    EXPECT_EQ(query("*STB?"), "4");
    write("*ESE 32");  // ESR has bit 5 set: ESB (bit 5)
    EXPECT_EQ(query("*STB?"), "36");
    write("*SRE 32");  // MSS (bit 6)
    EXPECT_EQ(query("*STB?"), "100");
    EXPECT_EQ(query("*STB?"), "100") << "*STB? does not clear";
    EXPECT_EQ(query("*ESR?"), "32");
    EXPECT_EQ(query("*STB?"), "4");
    next_error();
    EXPECT_EQ(query("*STB?"), "0");
    write("*ESE 0;*SRE 4");  // MSS from the error queue bit alone
    write("BOGUS");
    EXPECT_EQ(query("*STB?"), "68");
}

TEST_F(AnalyzerTest, EseAndSreRoundTrip) {
    write("*ESE 189;*SRE 191");
    EXPECT_EQ(query("*ESE?;*SRE?"), "189;191");
    write("*SRE 255");
    EXPECT_EQ(query("*SRE?"), "191") << "bit 6 cannot be enabled";
    write("*ESE #H0F");
    EXPECT_EQ(query("*ESE?"), "15");
    write("*ESE -1");
    EXPECT_EQ(query("*ESE?"), "15");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
}

TEST_F(AnalyzerTest, StatusRegistersAndPreset) {
    // Free-running channels sweep from power-on; instant sweeps set no bits.
    EXPECT_EQ(query("STAT:OPER:COND?"), "24");
    write(":SYST:SIM:SPE INST");
    EXPECT_EQ(query("STAT:OPER?"), "24");  // latched, and cleared by the read
    EXPECT_EQ(query("STAT:OPER:COND?;STAT:OPER?;STAT:OPER:EVEN?;STAT:OPER:ENAB?"), "0;0;0;0");
    EXPECT_EQ(query("STAT:QUES:COND?;STAT:QUES?;STAT:QUES:ENAB?"), "0;0;0");
    write("STAT:OPER:ENAB 16;:STAT:QUES:ENAB 1024");
    EXPECT_EQ(query(":STATus:OPERation:ENABle?;:STATus:QUEStionable:ENABle?"), "16;1024");
    // Relative path inside STATus.
    write("STAT:OPER:ENAB 32;PTR 12;NTR 3");
    EXPECT_EQ(query("STAT:OPER:ENAB?;PTR?;NTR?"), "32;12;3");
    write("STAT:OPER:ENAB 65536");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    write("STAT:PRES");
    EXPECT_EQ(query("STAT:OPER:ENAB?;PTR?;NTR?;:STAT:QUES:ENAB?"), "0;32767;0;0");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, RstKeepsStatusAndErrors) {
    write("*ESE 4;*SRE 16");
    write("BOGUS");
    write("SENS:FREQ:STAR 1e6");
    write("*RST");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+3.000000000000E+05");
    EXPECT_EQ(query("*ESE?;*SRE?"), "4;16");
    EXPECT_EQ(query("*ESR?"), "32");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
}

TEST_F(AnalyzerTest, CommandErrorAbortsRestOfMessageOtherErrorsDoNot) {
    // Documented choice: a command error discards the units after it...
    EXPECT_EQ(query("*OPC?;BOGUS;*OPC?"), "1");
    EXPECT_EQ(next_error(), "-113,\"Undefined header\"");
    // ...an execution error only its own unit.
    EXPECT_EQ(query("SENS:FREQ:STAR 1e15;STAR?"), "+3.000000000000E+05");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
}
