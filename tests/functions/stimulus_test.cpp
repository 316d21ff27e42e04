// Tests of the channel stimulus actions.
#include "function_fixture.h"

namespace {
class Stimulus : public zor_test::function_test_t {};
}  // namespace

TEST_F(Stimulus, AbortUnderBothNames) {
    EXPECT_EQ(ZOR_ChannelAbort(vi), 0);
    EXPECT_EQ(ZOR_ChannelTriggerInitiate(vi), 0);
    EXPECT_EQ(log(), (zor_test::strings{":ABORt", ":ABORt"}));
}

TEST_F(Stimulus, AveragingRestartPerChannelAndActiveChannelForNoName) {
    EXPECT_EQ(ZOR_ChannelAveragingRestart(vi, "Channel1,Channel2"), 0);
    EXPECT_EQ(log(), (zor_test::strings{":SENSe1:AVERage:CLEar", ":SENSe2:AVERage:CLEar"}));
    clear_log();
    EXPECT_EQ(ZOR_ChannelAveragingRestart(vi, nullptr), 0);
    EXPECT_EQ(log(), (zor_test::strings{":DISPlay:CHANnel:SELect?", ":SENSe1:AVERage:CLEar"}));
}

TEST_F(Stimulus, AveragingRestartStopsAtTheFirstFailingRecord) {
    script(":SENSe2:AVERage:CLEar", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_ChannelAveragingRestart(vi, "Channel1-Channel3"), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(log(), (zor_test::strings{":SENSe1:AVERage:CLEar", ":SENSe2:AVERage:CLEar"}));
    EXPECT_TRUE(lockable_from_another_thread());
}
