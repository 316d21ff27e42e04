// The analyzer's settings: round trips per suffix, ranges, *RST, formats.
#include "analyzer_fixture.h"

TEST_F(AnalyzerTest, Defaults) {
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+3.000000000000E+05");
    EXPECT_EQ(query("SENS:FREQ:STOP?"), "+9.000000000000E+09");
    EXPECT_EQ(query("SENS:SWE:POIN?"), "201");
    EXPECT_EQ(query("SENS:SWE:TYPE?"), "LIN");
    EXPECT_EQ(query("CALC:TRAC:FORM?"), "MLOG");
    EXPECT_EQ(query("OUTP?"), "1");
    EXPECT_EQ(query("DISP:CHAN:SEL?;DISP:TRAC:SEL?;DISP:WIND:SEL?"), "1;1;1");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, LongShortFormsCaseAndLeadingColon) {
    write(":SENSe1:FREQuency:STARt 1E6");
    EXPECT_EQ(query("sens:freq:star?"), "+1.000000000000E+06");
    EXPECT_EQ(query(":SENSE:FREQUENCY:START?"), "+1.000000000000E+06");
    EXPECT_EQ(query("FREQ:STAR?"), "+1.000000000000E+06") << "SENSe is optional";
    EXPECT_EQ(query("SENSE1:FREQ:STAR?"), "+1.000000000000E+06") << "SENS == SENS1";
    write(":OUTPut:STATe OFF");
    EXPECT_EQ(query("OUTP?"), "0");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, ValuesArePerChannel) {
    write("SENS2:FREQ:STAR 1e6;STOP 2e9");
    write("SENS3:SWE:POIN 1601;TYPE LOG");
    EXPECT_EQ(query("SENS1:FREQ:STAR?;STOP?"), "+3.000000000000E+05;+9.000000000000E+09");
    EXPECT_EQ(query("SENS2:FREQ:STAR?;STOP?"), "+1.000000000000E+06;+2.000000000000E+09");
    EXPECT_EQ(query("SENS3:SWE:POIN?;TYPE?"), "1601;LOG");
    EXPECT_EQ(query("SENS2:SWE:POIN?;TYPE?"), "201;LIN");
    EXPECT_EQ(query("SENS16:SWE:POIN?"), "201");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, ValuesArePerChannelAndTrace) {
    write("CALC2:TRAC3:FORM PHASe");
    write("CALC1:TRAC3:FORM smith");
    EXPECT_EQ(query("CALC2:TRAC3:FORM?"), "PHAS");
    EXPECT_EQ(query("CALC:TRAC3:FORM?"), "SMIT");
    EXPECT_EQ(query("CALC2:TRAC2:FORM?"), "MLOG");
    EXPECT_EQ(query("CALC3:TRAC3:FORM?"), "MLOG");
    write("CALC2:TRAC3:FORM MLINear;:CALC2:TRAC4:FORM UPH");
    EXPECT_EQ(query("CALC2:TRAC3:FORM?;:CALC2:TRAC4:FORM?"), "MLIN;UPH");
}

TEST_F(AnalyzerTest, OutOfRangeLeavesValueAndQueuesError) {
    write("SENS:FREQ:STAR 5e6");
    write("SENS:FREQ:STAR 1e3");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    write("SENS:FREQ:STAR 9.1e9");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+5.000000000000E+06");
    write("SENS:SWE:POIN 1");
    write("SENS:SWE:POIN 100002");
    EXPECT_EQ(query("SENS:SWE:POIN?"), "201");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(next_error(), "-222,\"Data out of range\"");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    // The edges are inside.
    write("SENS:SWE:POIN 2;:SENS:FREQ:STAR 1e4");
    EXPECT_EQ(query("SENS:SWE:POIN?;:SENS:FREQ:STAR?"), "2;+1.000000000000E+04");
    write("SENS:SWE:POIN 100001;:SENS:FREQ:STOP 9e9");
    EXPECT_EQ(query("SENS:SWE:POIN?"), "100001");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, UnitsAndMinMax) {
    write("SENS:FREQ:STAR 1.5 GHz");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+1.500000000000E+09");
    write("SENS:FREQ:STAR 100 MHz");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+1.000000000000E+08");
    write("SENS:FREQ:STAR 20kHz");
    EXPECT_EQ(query("SENS:FREQ:STAR?"), "+2.000000000000E+04");
    EXPECT_EQ(query("SENS:FREQ:STAR? MIN;STAR? MAX"), "+1.000000000000E+04;+9.000000000000E+09");
    write("SENS:SWE:POIN MAX");
    EXPECT_EQ(query("SENS:SWE:POIN?"), "100001");
    EXPECT_EQ(next_error(), "0,\"No error\"");
}

TEST_F(AnalyzerTest, RstRestoresDefaults) {
    write("SENS2:FREQ:STAR 1e6;STOP 2e6;:SENS2:SWE:POIN 11;TYPE LOG;:CALC2:TRAC2:FORM PHAS;:OUTP OFF");
    EXPECT_EQ(next_error(), "0,\"No error\"");
    write("*RST");
    EXPECT_EQ(query("SENS2:FREQ:STAR?;STOP?"), "+3.000000000000E+05;+9.000000000000E+09");
    EXPECT_EQ(query("SENS2:SWE:POIN?;TYPE?"), "201;LIN");
    EXPECT_EQ(query("CALC2:TRAC2:FORM?"), "MLOG");
    EXPECT_EQ(query("OUTP?"), "1");
    write("SENS:SWE:POIN 11;:SYST:PRES");
    EXPECT_EQ(query("SENS:SWE:POIN?"), "201");
}

TEST_F(AnalyzerTest, RelativeAndAbsoluteUnitsInOneMessage) {
    EXPECT_EQ(query("SENS2:FREQ:STAR 2e6;STOP 3e6;STAR?;STOP?;:SENS:FREQ:STAR?;*OPC?;STOP?"),
              "+2.000000000000E+06;+3.000000000000E+06;+3.000000000000E+05;1;+9.000000000000E+09");
}
