// Runs with an environment that makes one library lookup fail (see CMake).
#include <gtest/gtest.h>

#include "ZOR.h"

#if defined(_WIN32)
#define ZOR_LOG_SIGNATURE_CLOSE "long __cdecl ZOR_close(unsigned long)"
#else
#define ZOR_LOG_SIGNATURE_CLOSE "ViStatus ZOR_close(ViSession)"
#endif

TEST(MissingVisa, InitReportsVisaNotAvailableWithTheFilesTried) {
    ViSession vi = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, "", &vi),
              ZOR_ERROR_VISA_NOT_AVAILABLE);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(vi, static_cast<ViSession>(VI_NULL));
    ViStatus code = 0;
    char text[1024] = {};
    EXPECT_EQ(ZOR_GetError(VI_NULL, &code, sizeof text, text), 0);
    EXPECT_EQ(code, ZOR_ERROR_VISA_NOT_AVAILABLE);
    EXPECT_NE(std::string(text).find("tried: no-such-visa-library"), std::string::npos) << text;

    vi = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_init(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, &vi), ZOR_ERROR_VISA_NOT_AVAILABLE);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(vi, static_cast<ViSession>(VI_NULL));
}

TEST(MissingEngine, InitReportsEngineNotLoadable) {
    ViSession vi = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, "", &vi),
              ZOR_ERROR_ENGINE_NOT_LOADABLE);
    EXPECT_EQ(ZOR_close(1), ZOR_ERROR_ENGINE_NOT_LOADABLE);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(vi, 0u);
    EXPECT_NE(out.find("engine not loadable; tried: no-such-engine"), std::string::npos) << out;
}

TEST(Logging, InitLogsBothSignaturesWhenSwitchedOn) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_init(const_cast<char*>("SIM::logging::INSTR"), VI_TRUE, VI_FALSE, &vi);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    // Standard output is no terminal here: plain tags, no colour codes.
    EXPECT_EQ(out.find("\033["), std::string::npos) << out;
#if defined(_WIN32)
    EXPECT_NE(out.find("[INFO] long __cdecl ZOR_init(char *,unsigned short,unsigned short,unsigned long *)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("[INFO] long __cdecl ZOR_InitWithOptions(char *,unsigned short,unsigned short,const "
                       "char *,unsigned long *)\n"),
              std::string::npos);
#else
    EXPECT_NE(out.find("[INFO] ViStatus ZOR_init(ViRsrc, ViBoolean, ViBoolean, ViSession*)\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("[INFO] ViStatus ZOR_InitWithOptions(ViRsrc, ViBoolean, ViBoolean, ViConstString, ViSession*)\n"),
              std::string::npos);
#endif
    // No I/O trace unless asked for.
    EXPECT_EQ(out.find("[TRACE]"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_close(vi), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(ZOR_LOG_SIGNATURE_CLOSE), std::string::npos);
}

TEST(Logging, TypeMismatchesAreLoggedWithTheirLines) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(ZOR_init(const_cast<char*>("SIM::logging_mismatch::INSTR"), VI_TRUE, VI_FALSE, &vi), 0);
    testing::internal::GetCapturedStdout();

    struct {
        ViStatus status;
        const char* line;
    } cases[3];
    testing::internal::CaptureStdout();
    // A Boolean attribute set as a real.
    cases[0] = {ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_AVERAGING_ENABLED, 1.0),
                "(L239) Attribute ID(185) -> type(double) {Not supported}\n"};
    // A keyword attribute set to a value that is not in its table.
    cases[1] = {ZOR_SetAttributeViInt32(vi, nullptr, ZOR_ATTR_TRIGGER_SOURCE, 4),
                "(L271) Attribute ID(223) -> type(long) {Not supported}\n"};
    // A real attribute read as a Boolean.
    ViBoolean state = 0;
    cases[2] = {ZOR_GetAttributeViBoolean(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &state),
                "Get attribute ID(179) -> type(bool) {Not supported}\n"};
    const std::string out = testing::internal::GetCapturedStdout();
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, ZOR_ERROR_NOT_SUPPORTED);
        EXPECT_NE(out.find(std::string("[ERROR] ") + c.line), std::string::npos) << c.line << out;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_close(vi), 0);
    testing::internal::GetCapturedStdout();
}

// Runs with ZOR_LOG=2: every message written and read is in the trace, on
// standard error, with the session, the values as read (integers, reals,
// text) and the status in hex with its name; the console lines stay on
// standard output.
TEST(Trace, EveryMessageWrittenAndReadIsTracedOnStandardError) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_EQ(ZOR_init(const_cast<char*>("SIM::trace::INSTR"), VI_TRUE, VI_FALSE, &vi), 0);
    ViReal64 start = 0;
    EXPECT_EQ(ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 2.5e9), 0);
    EXPECT_EQ(ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &start), 0);
    ViUInt64 written = 0;
    const char bad[] = ":NO:SUCH:COMMand";
    EXPECT_EQ(ZOR_viWrite(vi, sizeof bad - 1, reinterpret_cast<ViConstBuf>(bad), &written), 0);
    ViInt32 esr = 0, code = 0;
    EXPECT_EQ(ZOR_StatusStandardEventReadEventRegister(vi, &esr), 0);
    EXPECT_EQ(esr, 32);
    char message[256] = "";
    EXPECT_EQ(ZOR_error_query(vi, &code, message), 0);
    EXPECT_EQ(ZOR_close(vi), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    for (const char* expected : {
             "[TRACE] vi=", ">> write \"*IDN?\" status=0x00000000 VI_SUCCESS",
             "<< read \"Quorvex Technologies,", ">> write \":SENSe1:FREQuency:STARt 2.5",
             "<> query \":SENSe1:FREQuency:STARt?\" -> 2.5e+09 status=0x00000000 VI_SUCCESS",
             "<> query \"*ESR?\" -> 32 status=0x00000000 VI_SUCCESS",
             "<> query \":SYST:ERR?\" -> -113, \"Undefined header\" status=0x00000000 VI_SUCCESS"}) {
        EXPECT_NE(err.find(expected), std::string::npos) << expected << "\n" << err;
    }
    EXPECT_EQ(out.find("[TRACE]"), std::string::npos) << out;
    EXPECT_NE(out.find("[INFO] new ivi session"), std::string::npos) << out;
}
