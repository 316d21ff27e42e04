// The everyday mistakes of a test program, area by area: each gives a failing
// status and an error record that says what to do, and sends nothing, or
// reaches the place it names.
#include <functional>
#include <string>

#include "function_fixture.h"

namespace {

using zor_test::strings;

struct mistake_t {
    const char* what;
    std::function<ViStatus(ViSession)> call;
    ViStatus status;
    const char* record;  // part of the error record's elaboration; null: no record
    strings wire;        // what reaches the analyzer
};

class Mistakes : public zor_test::function_test_t {
protected:
    void check(const std::vector<mistake_t>& mistakes) {
        for (const auto& m : mistakes) {
            SCOPED_TRACE(m.what);
            take_error();
            clear_log();
            testing::internal::CaptureStdout();
            const ViStatus status = m.call(vi);
            testing::internal::GetCapturedStdout();
            EXPECT_EQ(status, m.status);
            const auto [primary, elaboration] = take_error();
            if (m.record == nullptr) {
                EXPECT_EQ(primary, 0) << elaboration;
            } else {
                EXPECT_EQ(primary, m.status);
                EXPECT_NE(elaboration.find(m.record), std::string::npos) << elaboration;
            }
            EXPECT_EQ(log(), m.wire);
        }
    }
};

class MistakesStatusChecked : public Mistakes {
protected:
    const char* options() const override { return "QueryInstrStatus=1"; }
};

constexpr ViStatus parameter(int position) { return static_cast<ViStatus>(0xBFFC0000u + position); }

TEST_F(Mistakes, SelectorsNamingNoCapabilitySendNothing) {
    check({
        {"misspelt channel", [](ViSession s) { return ZOR_SetStandardStimulusSweepFrequencyStart(s, "Chanel2:Trace1", 1e9); },
         ZOR_ERROR_REP_CAP_NOT_FOUND, "\"Chanel\" is not a capability; use Channel, Trace, Marker, Window or Port", {}},
        {"misspelt trace of an action", [](ViSession s) { return ZOR_MeasurementTraceMathStoreDataInMemory(s, "Channel1:Trase2"); },
         ZOR_ERROR_REP_CAP_NOT_FOUND, "\"Trase\"", {}},
        {"misspelt channel of a kit", [](ViSession s) { return ZOR_ChannelCalKitDelete(s, "Chanel2", "7 mm"); },
         ZOR_ERROR_REP_CAP_NOT_FOUND, "\"Chanel\"", {}},
        {"stray character",
         [](ViSession s) {
             ViReal64 value = 0;
             return ZOR_GetAttributeViReal64(s, "Trace1.5", ZOR_ATTR_FREQUENCY_START, &value);
         },
         ZOR_ERROR_BADLY_FORMED_SELECTOR, "\"Trace1.5\" names nothing", {}},
        {"names in any case", [](ViSession s) { return ZOR_SetStandardStimulusSweepFrequencyStart(s, "channel2", 1e9); },
         0, nullptr, {":SENSe2:FREQuency:STARt 1.000000000000e+09"}},
    });
}

TEST_F(Mistakes, TextsGoOutAsOneStringOrNotAtAll) {
    check({
        {"line feed in a title", [](ViSession s) { return ZOR_SetDisplayWindowTitleString(s, "Window1", "a\n*RST"); },
         parameter(4), "The value holds the control character 0x0A at 2", {}},
        {"title with a space", [](ViSession s) { return ZOR_SetDisplayWindowTitleString(s, "Window1", "a b"); }, 0,
         nullptr, {":DISPlay:WINDow1:TITLe:DATA \"a b\""}},
        {"title with quotes", [](ViSession s) { return ZOR_SetDisplayWindowTitleString(s, "Window1", "say \"hi\""); },
         0, nullptr, {":DISPlay:WINDow1:TITLe:DATA \"say \"\"hi\"\"\""}},
        {"two commands in a keyword", [](ViSession s) { return ZOR_MeasurementSetParameter(s, "Channel1:Trace1", "S21;*RST"); },
         parameter(4), "takes a keyword of letters, digits and _", {}},
        {"carriage return in a kit name", [](ViSession s) { return ZOR_ChannelCalKitImport(s, "Channel1", "kit\r"); },
         parameter(3), "Name holds the control character 0x0D at 4", {}},
    });
    // The analyzer took the quoted titles as they were meant.
    EXPECT_EQ(raw_query(":DISPlay:WINDow1:TITLe:DATA?"), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(raw_query(":SYSTem:ERRor?"), "0,\"No error\"");
}

TEST_F(Mistakes, TypeMismatchesNameTheAccessorThatFits) {
    check({
        {"real read of a switch",
         [](ViSession s) {
             ViReal64 value = 0;
             return ZOR_GetAttributeViReal64(s, "Channel1", ZOR_ATTR_AVERAGING_ENABLED, &value);
         },
         ZOR_ERROR_NOT_SUPPORTED,
         "ZOR_ATTR_AVERAGING_ENABLED is a ViBoolean attribute: read it with ZOR_GetAttributeViBoolean", {}},
        {"text set of a real",
         [](ViSession s) { return ZOR_SetAttributeViString(s, "Channel1", ZOR_ATTR_FREQUENCY_START, "1e9"); },
         ZOR_ERROR_NOT_SUPPORTED, "is a ViReal64 attribute: set it with ZOR_SetAttributeViReal64", {}},
        {"value outside the keyword table",
         [](ViSession s) { return ZOR_SetAttributeViInt32(s, "Trace1", ZOR_ATTR_MEASUREMENT_DISPLAY_FORMAT, 99); },
         ZOR_ERROR_NOT_SUPPORTED, "takes one of its ZOR_VAL_* values (in ZOR.h); 99 is none of them", {}},
        {"no such attribute", [](ViSession s) { return ZOR_SetAttributeViReal64(s, "", 1150001, 1.0); },
         ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED, "Attribute ID 1150001 is none of the driver's", {}},
    });
}

TEST_F(Mistakes, LinkFailuresSayWhatHappened) {
    script(":SENSe1:AVERage:COUNt 8", nullptr, 0, VI_ERROR_CONN_LOST);
    script(":SENSe1:AVERage:COUNt?", nullptr, VI_ERROR_TMO);
    check({
        {"connection lost", [](ViSession s) { return ZOR_SetChannelAveragingFactor(s, "Channel1", 8); },
         VI_ERROR_CONN_LOST, "Connection lost: the analyzer or vna-sim closed the connection",
         {":SENSe1:AVERage:COUNt 8"}},
        {"no answer",
         [](ViSession s) {
             ViInt32 factor = 0;
             return ZOR_GetChannelAveragingFactor(s, "Channel1", &factor);
         },
         VI_ERROR_TMO, "no reply to \":SENSe1:AVERage:COUNt?\" within 2000 ms; the analyzer reports no error",
         {":SENSe1:AVERage:COUNt?", zor_test::error_query_after_timeout}},
    });
}

// Off (the default) the analyzer's refusals cost nothing and say nothing;
// on, every call that talked asks the analyzer afterwards.
TEST_F(Mistakes, WithoutStatusCheckingNothingMoreIsSent) {
    check({{"out of range", [](ViSession s) { return ZOR_SetStandardStimulusSweepFrequencyStart(s, "Channel1", 100e9); },
            0, nullptr, {":SENSe1:FREQuency:STARt 1.000000000000e+11"}}});
}

TEST_F(MistakesStatusChecked, RefusedValuesFailWithTheAnalyzersErrors) {
    check({
        {"start 100 GHz", [](ViSession s) { return ZOR_SetStandardStimulusSweepFrequencyStart(s, "Channel1", 100e9); },
         ZOR_ERROR_INSTRUMENT_STATUS,
         "ZOR_ATTR_FREQUENCY_START of \"Channel1\" set to 100000000000: the analyzer reported -222,\"Data out of range\"",
         {":SENSe1:FREQuency:STARt 1.000000000000e+11", "*ESR?", ":SYST:ERR?", ":SYST:ERR?"}},
        {"no points", [](ViSession s) { return ZOR_SetChannelStandardStimulusSweepNumberOfPoints(s, "Channel1", 0); },
         ZOR_ERROR_INSTRUMENT_STATUS, "set to 0: the analyzer reported -222",
         {":SENSe1:SWEep:POINts 0", "*ESR?", ":SYST:ERR?", ":SYST:ERR?"}},
        {"negative IF bandwidth", [](ViSession s) { return ZOR_SetChannelAveragingIfBandwidth(s, "Channel1", -5); },
         ZOR_ERROR_INSTRUMENT_STATUS, "the analyzer reported -222",
         {":SENSe1:BANDwidth -5.000000000000e+00", "*ESR?", ":SYST:ERR?", ":SYST:ERR?"}},
        {"an action the analyzer takes", [](ViSession s) { return ZOR_MeasurementTraceMathStoreDataInMemory(s, "Channel1:Trace1"); },
         0, nullptr, {":CALCulate1:TRACe1:MATH:NORMalize", "*ESR?"}},
        {"a selector refused first", [](ViSession s) { return ZOR_SetStandardStimulusSweepFrequencyStart(s, "Chanel1", 1e9); },
         ZOR_ERROR_REP_CAP_NOT_FOUND, "\"Chanel\"", {}},
        {"raw I/O is left alone", [](ViSession s) { return ZOR_viWrite(s, 7, reinterpret_cast<ViConstBuf>("*CLS"), nullptr); },
         0, nullptr, {"*CLS"}},
    });
}

// A failed open leaves its record in the thread's record: the caller has no
// session to ask.
TEST_F(Mistakes, FailedOpensSayWhy) {
    const struct {
        std::string resource;
        const char* options;
        std::function<void()> arrange;
        ViStatus status;
        std::string record;
    } opens[] = {
        {"TCPIP::127.0.0.1::5025:SOCKET", "", [] {}, VI_ERROR_INV_RSRC_NAME,
         "TCPIP::127.0.0.1::5025:SOCKET: the last part \"5025:SOCKET\" is neither SOCKET nor INSTR"},
        // Nothing listens on port 1 of this machine.
        {"TCPIP::127.0.0.1::1::SOCKET", "", [] {}, VI_ERROR_RSRC_NFOUND,
         "TCPIP::127.0.0.1::1::SOCKET: connection refused on 127.0.0.1:1: is the analyzer or vna-sim running?"},
        {"GPIB0::20::INSTR", "", [] {}, VI_ERROR_RSRC_NFOUND, "reaches TCPIP and SIM resources only, no GPIB, USB"},
        {resource, "DriverSetup=DataFromat:REAL64", [] {}, IVI_ERROR_INVALID_OPTION_STRING,
         "DriverSetup item \"DataFromat:REAL64\" not understood"},
        {resource, "", [this] { script("*idn?", nullptr, VI_ERROR_CONN_LOST, 0, 2); }, VI_ERROR_CONN_LOST,
         "no answer to the identity query *IDN?: connection lost"},
        {resource, "", [this] { zsim_set_identity(analyzer.c_str(), "Other Co,XY1,1,1"); }, ZOR_ERROR_IDENTITY_CHECK,
         "answers *IDN? with \"Other Co,XY1,1,1\": not a ZOR analyzer; open with idQuery VI_FALSE"},
    };
    for (const auto& o : opens) {
        SCOPED_TRACE(o.resource + " " + o.options);
        o.arrange();
        ViSession second = 123;
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(o.resource.c_str()), VI_TRUE, VI_FALSE,
                                                    o.options, &second);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, o.status);
        EXPECT_EQ(second, VI_NULL);
        ViStatus code = 0;
        char text[1024] = {};
        EXPECT_EQ(ZOR_GetError(VI_NULL, &code, sizeof text, text), 0);
        EXPECT_EQ(code, o.status);
        EXPECT_NE(std::string(text).find(o.record), std::string::npos) << text;
    }
}

}  // namespace
