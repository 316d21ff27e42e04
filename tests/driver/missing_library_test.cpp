// Runs with an environment that makes one library lookup fail (see CMake).
#include <gtest/gtest.h>

#include "ZOR.h"

TEST(MissingVisa, InitReportsVisaNotAvailableAndLeavesTheHandle) {
    ViSession vi = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, "", &vi),
              ZOR_ERROR_VISA_NOT_AVAILABLE);
    EXPECT_EQ(ZOR_init(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, &vi), ZOR_ERROR_VISA_NOT_AVAILABLE);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(vi, 77u);
}

TEST(MissingEngine, InitReportsEngineNotLoadable) {
    ViSession vi = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>("SIM::a::INSTR"), VI_TRUE, VI_FALSE, "", &vi),
              ZOR_ERROR_ENGINE_NOT_LOADABLE);
    EXPECT_EQ(ZOR_close(1), ZOR_ERROR_ENGINE_NOT_LOADABLE);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(vi, 0u);
}

TEST(Logging, InitLogsBothSignaturesWhenSwitchedOn) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_init(const_cast<char*>("SIM::logging::INSTR"), VI_TRUE, VI_FALSE, &vi);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    EXPECT_NE(out.find("[INFO] \033[0mlong __cdecl ZOR_init(char *,unsigned short,unsigned short,unsigned long *)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("[INFO] \033[0mlong __cdecl ZOR_InitWithOptions(char *,unsigned short,unsigned short,const "
                       "char *,unsigned long *)\n"),
              std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_close(vi), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("long __cdecl ZOR_close(unsigned long)"), std::string::npos);
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
        EXPECT_NE(out.find(std::string("\033[1;31m[ERROR] \033[0m") + c.line), std::string::npos) << c.line << out;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_close(vi), 0);
    testing::internal::GetCapturedStdout();
}
