// Tests of the channel stimulus actions.
#include <cstring>

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

TEST_F(Stimulus, ActiveChannelFollowsTheAnalyzersSelection) {
    ViInt32 channel = 0;
    EXPECT_EQ(ZOR_ChannelGetActiveChannel(vi, &channel), 0);
    EXPECT_EQ(channel, 1);
    EXPECT_EQ(ZOR_DisplayWindowTraceSelect(vi, "Trace4"), 0);
    EXPECT_EQ(ZOR_ChannelGetActiveChannel(vi, &channel), 0);
    EXPECT_EQ(channel, 2);
    EXPECT_EQ(log(), (zor_test::strings{":DISPlay:CHANnel:SELect?", ":DISPlay:TRACe4:ACTivate",
                                        ":DISPlay:CHANnel:SELect?"}));
    // A failed query leaves the caller's value alone.
    script(":DISPlay:CHANnel:SELect?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_ChannelGetActiveChannel(vi, &channel), VI_ERROR_TMO);
    EXPECT_EQ(channel, 2);
    EXPECT_TRUE(lockable_from_another_thread());
}

struct channel_catalog_t {
    ViInt32 size;
    const char* reply;  // null: the analyzer's own list
    ViStatus status;
    const char* text;
};

TEST_F(Stimulus, ChannelCatalogIsCutToTheCallersBuffer) {
    const channel_catalog_t rows[] = {
        {4, nullptr, 0, "1,2"}, {4, "1,2,3", ZOR_ERROR_TEXT_CUT, "1,2"}, {4, "1,2,", ZOR_ERROR_TEXT_CUT, "1,2"},
        {5, "1,2,", 0, "1,2,"}, {1, nullptr, ZOR_ERROR_TEXT_CUT, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply ? row.reply : "analyzer");
        if (row.reply) script(":DISPlay:CHANnel:LIST?", row.reply);
        char text[8];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(ZOR_ChannelGetCatalog(vi, row.size, text), row.status);
        EXPECT_STREQ(text, row.text);
    }
}

TEST_F(Stimulus, ChannelQueriesRefuseBadArgumentsBeforeAnyTraffic) {
    char text[4];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ZOR_ChannelGetCatalog(vi, 0, text), ZOR_ERROR_BUFFER_SIZE);
    EXPECT_EQ(ZOR_ChannelGetCatalog(vi, -3, text), ZOR_ERROR_BUFFER_SIZE);
    EXPECT_EQ(std::string(text, sizeof text), "xxxx");
    EXPECT_EQ(take_error().first, ZOR_ERROR_BUFFER_SIZE);
    EXPECT_EQ(ZOR_ChannelGetCatalog(vi, 4, nullptr), ZOR_ERROR_NULL_POINTER);
    EXPECT_EQ(take_error(), std::make_pair(ZOR_ERROR_NULL_POINTER, std::string("Null address for Catalog")));
    EXPECT_EQ(ZOR_ChannelGetActiveChannel(vi, nullptr), ZOR_ERROR_NULL_POINTER);
    EXPECT_EQ(take_error(), std::make_pair(ZOR_ERROR_NULL_POINTER, std::string("Null address for Channel")));
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, nullptr), ZOR_ERROR_NULL_POINTER);
    EXPECT_EQ(take_error(), std::make_pair(ZOR_ERROR_NULL_POINTER, std::string("Null address for ChannelName")));
    EXPECT_TRUE(log().empty());
    // A failed list query leaves the buffer alone.
    script(":DISPlay:CHANnel:LIST?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_ChannelGetCatalog(vi, sizeof text, text), VI_ERROR_TMO);
    EXPECT_EQ(std::string(text, sizeof text), "xxxx");
}

TEST_F(Stimulus, FullRangeSpanSetsEveryChannelToTheAnalyzersLimits) {
    EXPECT_EQ(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel2", 2e9), 0);
    EXPECT_EQ(ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel2", 3e9), 0);
    clear_log();
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, "Channel1,Channel2"), 0);
    EXPECT_EQ(log(), (zor_test::strings{":SERVice:SWEep:FREQency:MINimum?", ":SERVice:SWEep:FREQency:MAXimum?",
                                        ":SENSe1:FREQuency:STARt 1.000000000000e+04",
                                        ":SENSe1:FREQuency:STOP 9.000000000000e+09",
                                        ":SENSe2:FREQuency:STARt 1.000000000000e+04",
                                        ":SENSe2:FREQuency:STOP 9.000000000000e+09"}));
    ViReal64 start = 0, stop = 0;
    EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel2", &start), 0);
    EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStop(vi, "Channel2", &stop), 0);
    EXPECT_EQ(start, 1e4);
    EXPECT_EQ(stop, 9e9);
    // No name: the active channel, resolved again for the stop.
    clear_log();
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, ""), 0);
    EXPECT_EQ(log(), (zor_test::strings{":SERVice:SWEep:FREQency:MINimum?", ":SERVice:SWEep:FREQency:MAXimum?",
                                        ":DISPlay:CHANnel:SELect?", ":SENSe1:FREQuency:STARt 1.000000000000e+04",
                                        ":DISPlay:CHANnel:SELect?", ":SENSe1:FREQuency:STOP 9.000000000000e+09"}));
}

TEST_F(Stimulus, FullRangeSpanStopsAtErrorsButNotAtWarnings) {
    testing::internal::CaptureStdout();
    // A failed limit query: nothing is set.
    script(":SERVice:SWEep:FREQency:MAXimum?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, "Channel1"), VI_ERROR_TMO);
    EXPECT_EQ(log(), (zor_test::strings{":SERVice:SWEep:FREQency:MINimum?", ":SERVice:SWEep:FREQency:MAXimum?",
                                        zor_test::error_query_after_timeout}));
    // A write warning goes unreported and the loop goes on.
    clear_log();
    script(":SENSe1:FREQuency:STOP 9.000000000000e+09", nullptr, 0, VI_WARN_UNKNOWN_STATUS);
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, "Channel1,Channel2"), 0);
    EXPECT_EQ(log().size(), 6u);
    // A failed START ends the call before its STOP.
    clear_log();
    script(":SENSe2:FREQuency:STARt 1.000000000000e+04", nullptr, 0, VI_ERROR_IO);
    EXPECT_EQ(ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(vi, "Channel1-Channel3"), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    const auto wire = log();
    ASSERT_EQ(wire.size(), 5u);
    EXPECT_EQ(wire.back(), ":SENSe2:FREQuency:STARt 1.000000000000e+04");
    EXPECT_TRUE(lockable_from_another_thread());
}
