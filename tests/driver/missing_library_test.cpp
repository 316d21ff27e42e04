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
