// Tests of the time-domain action: one command per channel and trace
// record, and the analyzer's harmonic frequency grid it asks for; the
// time-domain trace as a caller's marker exports see it.
#include "function_fixture.h"

#include <cmath>

namespace {

class TimeDomain : public zor_test::function_test_t {
protected:
    double start(const char* channel) {
        ViReal64 value = -1;
        EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStart(vi, channel, &value), 0);
        return value;
    }
    double stop(const char* channel) {
        ViReal64 value = -1;
        EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStop(vi, channel, &value), 0);
        return value;
    }
};

TEST_F(TimeDomain, LowPassModeOncePerChannelAndTraceRecord) {
    EXPECT_EQ(ZOR_MeasurementTimeDomainTransformSetLowPassMode(vi, "Channel1:Trace2,Channel2:Trace3"), 0);
    EXPECT_EQ(log(), (zor_test::strings{":CALCulate1:TRACe2:TRANsform:TIME:LPFRequency",
                                        ":CALCulate2:TRACe3:TRANsform:TIME:LPFRequency"}));
}

TEST_F(TimeDomain, LowPassModeWithoutIdentifierUsesTheActiveChannelAndTrace) {
    EXPECT_EQ(ZOR_MeasurementTimeDomainTransformSetLowPassMode(vi, nullptr), 0);
    const auto messages = log();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), ":CALCulate1:TRACe1:TRANsform:TIME:LPFRequency");
}

// The analyzer's answer to the command: start = stop / points, or the lowest
// frequency with the stop moved up to points times it.
struct grid_case_t {
    ViInt32 points;
    double stop_before;
    double start_after;
    double stop_after;
};

void PrintTo(const grid_case_t& c, std::ostream* os) {
    *os << c.points << " points, stop " << c.stop_before;
}

class LowPassGrid : public TimeDomain, public testing::WithParamInterface<grid_case_t> {};

TEST_P(LowPassGrid, MakesTheChannelGridHarmonicAndLeavesOtherChannels) {
    const auto& c = GetParam();
    ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel2", c.points), 0);
    ASSERT_EQ(ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel2", c.stop_before), 0);
    const double other_start = start("Channel1");
    EXPECT_EQ(ZOR_MeasurementTimeDomainTransformSetLowPassMode(vi, "Channel2:Trace3"), 0);
    EXPECT_NEAR(start("Channel2"), c.start_after, c.start_after * 1e-9);
    EXPECT_NEAR(stop("Channel2"), c.stop_after, c.stop_after * 1e-9);
    EXPECT_EQ(start("Channel1"), other_start);
}

INSTANTIATE_TEST_SUITE_P(TimeDomain, LowPassGrid,
                         testing::Values(grid_case_t{201, 9e9, 9e9 / 201, 9e9},
                                         grid_case_t{1001, 3e9, 3e9 / 1001, 3e9},
                                         grid_case_t{201, 1e6, 1e4, 2.01e6},  // 1e6 / 201 is below 10 kHz
                                         grid_case_t{2, 2e4, 1e4, 2e4}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// The loop ends at the first status that is not 0, warnings included.
struct stop_case_t {
    const char* name;
    int write_status;
};

void PrintTo(const stop_case_t& c, std::ostream* os) { *os << c.name; }

class LowPassStops : public TimeDomain, public testing::WithParamInterface<stop_case_t> {};

TEST_P(LowPassStops, AtTheFirstStatusThatIsNotZero) {
    script(":CALCulate1:TRACe2:TRANsform:TIME:LPFRequency", nullptr, 0, GetParam().write_status);
    testing::internal::CaptureStdout();
    const ViStatus status =
        ZOR_MeasurementTimeDomainTransformSetLowPassMode(vi, "Channel1:Trace1,Channel1:Trace2,Channel2:Trace3");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, GetParam().write_status);
    zor_test::strings wire{":CALCulate1:TRACe1:TRANsform:TIME:LPFRequency", ":CALCulate1:TRACe2:TRANsform:TIME:LPFRequency"};
    if (GetParam().write_status == VI_ERROR_TMO) wire.push_back(zor_test::error_query_after_timeout);
    EXPECT_EQ(log(), wire);
    EXPECT_TRUE(lockable_from_another_thread());
}

INSTANTIATE_TEST_SUITE_P(TimeDomain, LowPassStops,
                         testing::Values(stop_case_t{"error", VI_ERROR_IO}, stop_case_t{"timeout", VI_ERROR_TMO},
                                         stop_case_t{"warning", VI_SUCCESS_MAX_CNT}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the time domain on the simulated analyzer, through the attribute exports

const char* const t1 = "Channel1:Trace1";

TEST_F(TimeDomain, MarkersReadTheTimeDomainTrace) {
    raw_query(":SYSTem:SIMulation:DUT \"line,delay=2e-9\";:CALC1:PAR1:DEF S21;:CALC1:TRAC1:FORM REAL");
    ASSERT_EQ(ZOR_MeasurementTimeDomainTransformSetLowPassMode(vi, t1), 0);
    ASSERT_EQ(ZOR_SetMeasurementTimeDomainTransformStart(vi, t1, 0.0), 0);
    ASSERT_EQ(ZOR_SetMeasurementTimeDomainTransformStop(vi, t1, 5e-9), 0);
    ASSERT_EQ(ZOR_SetMeasurementTimeDomainTransformEnabled(vi, t1, VI_TRUE), 0);
    const char* const m1 = "Channel1:Trace1:Marker1";
    ASSERT_EQ(ZOR_MeasurementMarkerSetEnabled(vi, t1, VI_TRUE, 1), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1, 2), 0);  // maximum
    ViReal64 x = 0, y = 0;
    ASSERT_EQ(ZOR_GetMeasurementMarkerXPosition(vi, m1, &x), 0);
    EXPECT_NEAR(x, 2e-9, 2.5e-11);  // the line's delay, within one of the 200 steps
    ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1, &y), 0);
    EXPECT_GT(y, 0.8);
    // Seconds in, seconds out; the frequency trace again with the transform off.
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1, 1.25e-9), 0);
    ASSERT_EQ(ZOR_GetMeasurementMarkerXPosition(vi, m1, &x), 0);
    EXPECT_EQ(x, 1.25e-9);
    ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1, &y), 0);
    EXPECT_LT(std::abs(y), 0.05);  // away from the line's impulse
    ASSERT_EQ(ZOR_SetMeasurementTimeDomainTransformEnabled(vi, t1, VI_FALSE), 0);
    ASSERT_EQ(ZOR_GetMeasurementMarkerXPosition(vi, m1, &x), 0);
    EXPECT_GT(x, 1e9);
    ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1, &y), 0);
    EXPECT_GT(std::abs(y), 0.5);  // the line's transmission, |S21| near one
}

}  // namespace
