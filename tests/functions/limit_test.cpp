// Tests of the limit, ripple-limit and bandwidth-limit actions; the
// analyzer's verdicts must be those a program reaches from the same
// formatted data and lines.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "function_fixture.h"

namespace {

constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000Fu);
constexpr ViStatus value_count = static_cast<ViStatus>(0xBFFF0010u);
constexpr ViStatus not_supported = static_cast<ViStatus>(0xBFFA0011u);

using call_t = std::function<ViStatus(ViSession, ViConstString)>;
struct call_case_t {
    const char* what;
    call_t call;
    const char* wire;  // the one message sent for "Channel2:Trace3"
};

ViInt32 ints[4];
ViReal64 r1[4], r2[4], r3[4], r4[4];
ViInt32 n;
ViBoolean flag;
ViReal64 real;

const std::vector<call_case_t> every_export = {
    {"delete", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitDeleteData(s, m); },
     ":CALCulate2:TRACe3:LIMit:DATA 0"},
    {"set",
     [](ViSession s, ViConstString m) {
         ViInt32 type = 1;
         ViReal64 a = 1000, b = 2000, c = -3;
         return ZOR_MeasurementLimitSetData(s, m, 1, &type, &a, &b, &c, &c);
     },
     ":CALCulate2:TRACe3:LIMit:DATA 1,1,1.000000000000e+03,2.000000000000e+03,-3.000000000000e+00,"
     "-3.000000000000e+00"},
    {"query", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitQueryData(s, m, 4, ints, &n, r1, r2, r3, r4); },
     ":CALCulate2:TRACe3:LIMit:DATA?"},
    {"x values", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitQueryXValuesOfFailedPoints(s, m, 4, r1, &n); },
     ":CALCulate2:TRACe3:LIMit:REPort:DATA?"},
    {"report", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitQueryTestResult(s, m, 4, r1, &n, ints, r2, r3); },
     ":CALCulate2:TRACe3:LIMit:REPort:ALL?"},
    {"passing", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitIsPassing(s, m, &flag); },
     ":CALCulate2:TRACe3:LIMit:FAIL?"},
    {"failed points", [](ViSession s, ViConstString m) { return ZOR_MeasurementLimitGetNoOfFailedPoints(s, m, &n); },
     ":CALCulate2:TRACe3:LIMit:REPort:POINts?"},
    {"ripple set",
     [](ViSession s, ViConstString m) {
         ViInt32 type = 1;
         ViReal64 a = 1000, b = 2000, c = -3;
         return ZOR_MeasurementRippleLimitSetData(s, m, 7, 1, &type, &a, &b, &c);
     },
     ":CALCulate2:TRACe3:RLIMit:DATA 1,1,1.000000000000e+03,2.000000000000e+03,-3.000000000000e+00"},
    {"ripple query", [](ViSession s, ViConstString m) { return ZOR_MeasurementRippleLimitQueryData(s, m, 7, 4, ints, &n, r1, r2, r3); },
     ":CALCulate2:TRACe3:RLIMit:DATA?"},
    {"ripple report", [](ViSession s, ViConstString m) { return ZOR_MeasurementRippleLimitQueryTestResult(s, m, 7, 4, r1, &n, r2, ints); },
     ":CALCulate2:TRACe3:RLIMit:REPort:DATA?"},
    {"ripple passing", [](ViSession s, ViConstString m) { return ZOR_MeasurementRippleLimitIsPassing(s, m, &flag); },
     ":CALCulate2:TRACe3:RLIMit:FAIL?"},
    {"bw passing", [](ViSession s, ViConstString m) { return ZOR_MeasurementBWLimitIsPassing(s, m, &flag); },
     ":CALCulate2:TRACe3:BLIMit:FAIL?"},
    {"bw result", [](ViSession s, ViConstString m) { return ZOR_MeasurementBWLimitGetTestResult(s, m, &real); },
     ":CALCulate2:TRACe3:BLIMit:REPort:DATA?"},
};

class Limit : public zor_test::function_test_t {
protected:
    // Channel 1 sweeps the default band-pass filter over 4..5 GHz in 21
    // points (50 MHz apart); trace 2 measures its S21 in dB.
    void small_sweep() {
        ASSERT_EQ(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 4e9), 0);
        ASSERT_EQ(ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5e9), 0);
        ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1", 21), 0);
        const auto pairs = formatted("Channel1:Trace2", 21);
        for (std::size_t k = 0; k < pairs.size(); k += 2) y.push_back(pairs[k]);
    }
    static double x(int i) { return 4e9 + i * 5e7; }
    std::vector<double> y;
};

TEST_F(Limit, EveryExportAddressesChannelAndTraceAndRefusesANullName) {
    for (const auto& c : every_export) {
        clear_log();
        EXPECT_EQ(c.call(vi, "Channel2:Trace3"), 0) << c.what;
        EXPECT_EQ(log(), zor_test::strings{c.wire}) << c.what;
        clear_log();
        EXPECT_EQ(c.call(vi, nullptr), null_pointer) << c.what;
        EXPECT_EQ(take_error(), std::make_pair(null_pointer, std::string("Null address for MeasurementName"))) << c.what;
        EXPECT_TRUE(log().empty()) << c.what;
    }
}

TEST_F(Limit, NoNameUsesTheActiveChannelAndTrace) {
    EXPECT_EQ(ZOR_MeasurementLimitDeleteData(vi, ""), 0);
    EXPECT_EQ(log(), (zor_test::strings{":DISPlay:CHANnel:SELect?", ":DISPlay:TRACe:SELect?",
                                        ":CALCulate1:TRACe1:LIMit:DATA 0"}));
}

// With another window active, a table, its on-switch and the verdict for
// Trace1 all reach Trace1's channel: the window's number is no channel.
TEST_F(Limit, EveryCommandOfATraceReachesItsChannelWhateverWindowIsActive) {
    ASSERT_EQ(ZOR_SetSystemActiveWindow(vi, 2), 0);
    ViInt32 type = 1;
    ViReal64 start = 4e9, stop = 5e9, limit = -200;
    ViBoolean failed = VI_TRUE;
    clear_log();
    ASSERT_EQ(ZOR_MeasurementLimitSetData(vi, "Trace1", 1, &type, &start, &stop, &limit, &limit), 0);
    ASSERT_EQ(ZOR_SetMeasurementLimitEnabled(vi, "Trace1", VI_TRUE), 0);
    ASSERT_EQ(ZOR_MeasurementLimitIsPassing(vi, "Trace1", &failed), 0);
    zor_test::strings sent;
    for (const auto& message : log())
        if (message.rfind(":CALCulate", 0) == 0) sent.push_back(message.substr(0, message.find(":LIMit")));
    EXPECT_EQ(sent, zor_test::strings(3, ":CALCulate1:TRACe1"));
    // The verdict is that of the table: S11 lies above the -200 dB upper limit.
    EXPECT_EQ(failed, VI_TRUE);
}

TEST_F(Limit, TablesGoOutAtFullPrecisionAndReadBack) {
    ViInt32 types[2] = {1, 2}, ripple_types[2] = {1, 0};
    ViReal64 a[2] = {2.5, 1e-9}, b[2] = {3e9, -1}, c[2] = {-3, 0.125}, d[2] = {-4, 7};
    ASSERT_EQ(ZOR_MeasurementLimitSetData(vi, "Channel1:Trace2", 2, types, a, b, c, d), 0);
    ASSERT_EQ(ZOR_MeasurementRippleLimitSetData(vi, "Channel1:Trace2", 0, 2, ripple_types, a, b, c), 0);
    EXPECT_EQ(log(), (zor_test::strings{
        ":CALCulate1:TRACe2:LIMit:DATA 2,1,2.500000000000e+00,3.000000000000e+09,-3.000000000000e+00,"
        "-4.000000000000e+00,2,1.000000000000e-09,-1.000000000000e+00,1.250000000000e-01,7.000000000000e+00",
        ":CALCulate1:TRACe2:RLIMit:DATA 2,1,2.500000000000e+00,3.000000000000e+09,-3.000000000000e+00,0,"
        "1.000000000000e-09,-1.000000000000e+00,1.250000000000e-01"}));
    ViInt32 t[3] = {9, 9, 9}, count = -1;
    ViReal64 e[3] = {}, f[3] = {}, g[3] = {}, h[3] = {};
    ASSERT_EQ(ZOR_MeasurementLimitQueryData(vi, "Channel1:Trace2", 3, t, &count, e, f, g, h), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::vector<ViInt32>(t, t + 3), (std::vector<ViInt32>{1, 2, 9}));
    EXPECT_EQ(std::vector<ViReal64>(e, e + 2), (std::vector<ViReal64>{2.5, 1e-9}));
    EXPECT_EQ(std::vector<ViReal64>(f, f + 2), (std::vector<ViReal64>{3e9, -1}));
    EXPECT_EQ(std::vector<ViReal64>(h, h + 2), (std::vector<ViReal64>{-4, 7}));
    e[1] = 99;
    ASSERT_EQ(ZOR_MeasurementRippleLimitQueryData(vi, "Channel1:Trace2", 0, 1, t, &count, e, f, g), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(e[0], 2.5);
    EXPECT_EQ(g[0], -3);
    EXPECT_EQ(e[1], 99) << "beyond the capacity of 1";
    // Only the caller's count is needed when it asks for no segments.
    ASSERT_EQ(ZOR_MeasurementLimitQueryData(vi, "Channel1:Trace2", 0, nullptr, &count, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(ZOR_MeasurementLimitDeleteData(vi, "Channel1:Trace2"), 0);
    ASSERT_EQ(ZOR_MeasurementLimitQueryData(vi, "Channel1:Trace2", 3, t, &count, e, f, g, h), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(Limit, OversizedTablesAndNullArraysAreRefusedBeforeSending) {
    EXPECT_EQ(ZOR_MeasurementLimitSetData(vi, "", 100001, ints, r1, r2, r3, r4), not_supported);
    EXPECT_EQ(take_error().second, "A table holds at most 100000 segments, not 100001");
    ViInt32 type = 1;
    ViReal64 finite = 1, not_a_number = std::nan("");
    EXPECT_EQ(ZOR_MeasurementRippleLimitSetData(vi, "", 0, 1, &type, &finite, &finite, &not_a_number),
              static_cast<ViStatus>(0xBFFC0008));
    EXPECT_EQ(take_error().second, "The value is not a finite number");
    EXPECT_EQ(ZOR_MeasurementLimitSetData(vi, "", 1, ints, r1, r2, nullptr, r4), null_pointer);
    EXPECT_EQ(take_error().second, "Null address for StartResponse");
    EXPECT_EQ(ZOR_MeasurementRippleLimitQueryTestResult(vi, "", 0, 2, r1, nullptr, r2, ints), null_pointer);
    EXPECT_EQ(take_error().second, "Null address for Count");
    EXPECT_EQ(ZOR_MeasurementBWLimitIsPassing(vi, "", nullptr), null_pointer);
    EXPECT_TRUE(log().empty());
}

// Scripted replies decoded into arrays of four elements, of which the
// caller announces `capacity`; element 3 must stay as it was when the
// capacity is 3.
struct reply_case_t {
    const char* what;
    const char* reply;
    ViInt32 capacity;
    ViStatus status;
    ViInt32 count;               // -1: left untouched
    std::vector<double> first;   // the first output array, all four elements
    std::vector<ViInt32> integers;
};

TEST_F(Limit, RepliesAreDecodedWithinTheCallersCapacity) {
    struct export_case_t {
        const char* command;
        std::function<ViStatus(ViSession, ViInt32, ViReal64*, ViInt32*, ViInt32*)> call;
        std::vector<reply_case_t> cases;
    };
    const std::vector<export_case_t> exports = {
        {":CALCulate1:TRACe1:LIMit:DATA?",
         [](ViSession s, ViInt32 cap, ViReal64* x, ViInt32* count, ViInt32* i) {
             return ZOR_MeasurementLimitQueryData(s, "Trace1", cap, i, count, x, r2, r3, r4);
         },
         {{"5 announced, 3 taken", "5,1,10,0,0,0,2,20,0,0,0,1,30,0,0,0,0,40,0,0,0,0,50,0,0,0", 3, 0, 5, {10, 20, 30, -7}, {1, 2, 1, -7}},
          {"shorter than announced", "2,1,10,0,0,0,2,20", 3, value_count, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}},
          {"no count", "9.91E37", 3, value_count, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}},
          {"negative count", "-1", 3, value_count, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}},
          {"empty", "", 3, 0, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}}}},
        {":CALCulate1:TRACe1:RLIMit:DATA?",
         [](ViSession s, ViInt32 cap, ViReal64* x, ViInt32* count, ViInt32* i) {
             return ZOR_MeasurementRippleLimitQueryData(s, "Trace1", 0, cap, i, count, x, r2, r3);
         },
         {{"4 fields a segment", "2,1,10,0,0.5,0,20,0,1", 3, 0, 2, {10, 20, -7, -7}, {1, 0, -7, -7}},
          {"shorter than announced", "2,1,10,0,0.5,0,20", 3, value_count, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}}}},
        {":CALCulate1:TRACe1:LIMit:REPort:DATA?",
         [](ViSession s, ViInt32 cap, ViReal64* x, ViInt32* count, ViInt32*) {
             return ZOR_MeasurementLimitQueryXValuesOfFailedPoints(s, "Trace1", cap, x, count);
         },
         {{"nothing failed", "9.91E37", 3, 0, -1, {-7, -7, -7, -7}, {-7, -7, -7, -7}},
          {"more than room", "1,2,3,4,5", 3, 0, 5, {1, 2, 3, -7}, {-7, -7, -7, -7}}}},
        {":CALCulate1:TRACe1:LIMit:REPort:ALL?",
         [](ViSession s, ViInt32 cap, ViReal64* x, ViInt32* count, ViInt32* i) {
             return ZOR_MeasurementLimitQueryTestResult(s, "Trace1", cap, x, count, i, r2, r3);
         },
         {{"10 values, 2 groups", "1e9,1,0,0,2e9,-1.9,0,0,3e9,1", 3, 0, 2, {1e9, 2e9, -7, -7}, {1, -1, -7, -7}},
          {"one group, no room", "1e9,1,0,0", 0, 0, 1, {-7, -7, -7, -7}, {-7, -7, -7, -7}}}},
        {":CALCulate1:TRACe1:RLIMit:REPort:DATA?",
         [](ViSession s, ViInt32 cap, ViReal64* x, ViInt32* count, ViInt32* i) {
             return ZOR_MeasurementRippleLimitQueryTestResult(s, "Trace1", 0, cap, x, count, r2, i);
         },
         {{"first value skipped", "9,0.5,1,0,3,1,1,7", 3, 0, 2, {0.5, 3, -7, -7}, {0, 1, -7, -7}}}},
    };
    for (const auto& e : exports) {
        for (const auto& c : e.cases) {
            ViReal64 first[4] = {-7, -7, -7, -7};
            ViInt32 integers[4] = {-7, -7, -7, -7}, count = -1;
            script(e.command, c.reply);
            testing::internal::CaptureStdout();
            EXPECT_EQ(e.call(vi, c.capacity, first, &count, integers), c.status) << c.what;
            testing::internal::GetCapturedStdout();
            EXPECT_EQ(count, c.count) << c.what;
            EXPECT_EQ(std::vector<double>(first, first + 4), c.first) << c.what;
            EXPECT_EQ(std::vector<ViInt32>(integers, integers + 4), c.integers) << c.what;
        }
    }
}

TEST_F(Limit, FlagsAreTheInstrumentsFailAnswerUninverted) {
    const std::vector<std::pair<const char*, std::function<ViStatus(ViSession, ViBoolean*)>>> flags = {
        {":CALCulate1:TRACe1:LIMit:FAIL?", [](ViSession s, ViBoolean* b) { return ZOR_MeasurementLimitIsPassing(s, "Trace1", b); }},
        {":CALCulate1:TRACe1:RLIMit:FAIL?", [](ViSession s, ViBoolean* b) { return ZOR_MeasurementRippleLimitIsPassing(s, "Trace1", b); }},
        {":CALCulate1:TRACe1:BLIMit:FAIL?", [](ViSession s, ViBoolean* b) { return ZOR_MeasurementBWLimitIsPassing(s, "Trace1", b); }},
    };
    for (const auto& [command, call] : flags) {
        for (const auto& [reply, expected] : {std::pair{"1", VI_TRUE}, {"0", VI_FALSE}, {"2", VI_FALSE}}) {
            ViBoolean result = 7;
            script(command, reply);
            EXPECT_EQ(call(vi, &result), 0) << command << reply;
            EXPECT_EQ(result, expected) << command << reply;
        }
    }
}

TEST_F(Limit, FailuresStopTheRecordsAndLeaveOutputsAlone) {
    script(":CALCulate1:TRACe2:LIMit:DATA 0", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_MeasurementLimitDeleteData(vi, "Channel1:Trace1-Trace3"), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(log(), (zor_test::strings{":CALCulate1:TRACe1:LIMit:DATA 0", ":CALCulate1:TRACe2:LIMit:DATA 0"}));
    ViInt32 count = -1;
    script(":CALCulate1:TRACe1:LIMit:REPort:POINts?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_MeasurementLimitGetNoOfFailedPoints(vi, "Trace1", &count), VI_ERROR_TMO);
    EXPECT_EQ(count, -1);
    ViReal64 x[2] = {-7, -7};
    script(":CALCulate1:TRACe1:LIMit:REPort:DATA?", "1,2", VI_ERROR_TMO);
    EXPECT_EQ(ZOR_MeasurementLimitQueryXValuesOfFailedPoints(vi, "Trace1", 2, x, &count), VI_ERROR_TMO);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(x[0], -7);
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Limit, LimitTestFailsWhereTheDataCrossTheLines) {
    small_sweep();
    // A sloped upper line over the band and a lower one over its middle.
    ViInt32 types[2] = {1, 2};
    ViReal64 from[2] = {4e9, 4.3e9}, to[2] = {5e9, 4.7e9}, begin[2] = {-30, -2.5}, end[2] = {-10, -2.5};
    ASSERT_EQ(ZOR_MeasurementLimitSetData(vi, "Channel1:Trace2", 2, types, from, to, begin, end), 0);
    ViBoolean fails = VI_TRUE;
    ASSERT_EQ(ZOR_MeasurementLimitIsPassing(vi, "Channel1:Trace2", &fails), 0);
    EXPECT_EQ(fails, VI_FALSE) << "the test is off";
    ASSERT_EQ(ZOR_SetMeasurementLimitEnabled(vi, "Channel1:Trace2", VI_TRUE), 0);

    std::vector<double> failed_x;
    std::vector<ViInt32> expected(21);
    for (int i = 0; i < 21; ++i) {
        const double upper = -30 + 20 * (x(i) - 4e9) / 1e9;
        const bool lower_applies = x(i) >= 4.3e9 - 1 && x(i) <= 4.7e9 + 1;
        const bool bad = y[i] > upper || (lower_applies && y[i] < -2.5);
        expected[i] = bad;
        if (bad) failed_x.push_back(x(i));
    }
    ASSERT_FALSE(failed_x.empty());
    ASSERT_EQ(ZOR_MeasurementLimitIsPassing(vi, "Channel1:Trace2", &fails), 0);
    EXPECT_EQ(fails, VI_TRUE);
    ViInt32 count = 0;
    ASSERT_EQ(ZOR_MeasurementLimitGetNoOfFailedPoints(vi, "Channel1:Trace2", &count), 0);
    EXPECT_EQ(count, static_cast<ViInt32>(failed_x.size()));
    ViReal64 xs[21] = {};
    ASSERT_EQ(ZOR_MeasurementLimitQueryXValuesOfFailedPoints(vi, "Channel1:Trace2", 21, xs, &count), 0);
    ASSERT_EQ(count, static_cast<ViInt32>(failed_x.size()));
    for (int i = 0; i < count; ++i) EXPECT_NEAR(xs[i], failed_x[static_cast<std::size_t>(i)], 1e-3);
    ViReal64 stimulus[21], upper[21], lower[21];
    ViInt32 results[21];
    ASSERT_EQ(ZOR_MeasurementLimitQueryTestResult(vi, "Channel1:Trace2", 21, stimulus, &count, results, upper, lower), 0);
    ASSERT_EQ(count, 21);
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(results[i], expected[i]) << i;
        EXPECT_NEAR(upper[i], -30 + 20 * (x(i) - 4e9) / 1e9, 1e-9) << i;
    }
}

TEST_F(Limit, RippleAndBandwidthAreThoseOfTheData) {
    small_sweep();
    // The pass band's middle, and a band reaching down a skirt.
    ViInt32 types[2] = {1, 1};
    ViReal64 from[2] = {4.35e9, 4.0e9}, to[2] = {4.65e9, 4.3e9}, allowed[2] = {1, 1};
    ASSERT_EQ(ZOR_MeasurementRippleLimitSetData(vi, "Channel1:Trace2", 0, 2, types, from, to, allowed), 0);
    ASSERT_EQ(ZOR_SetMeasurementRippleLimitEnabled(vi, "Channel1:Trace2", VI_TRUE), 0);
    double spread[2];
    for (int s = 0; s < 2; ++s) {
        double lo = 1e300, hi = -1e300;
        for (int i = 0; i < 21; ++i)
            if (x(i) >= from[s] - 1 && x(i) <= to[s] + 1) {
                lo = std::min(lo, y[i]);
                hi = std::max(hi, y[i]);
            }
        spread[s] = hi - lo;
    }
    ASSERT_LT(spread[0], 1);
    ASSERT_GT(spread[1], 1);
    ViBoolean fails = VI_FALSE;
    ASSERT_EQ(ZOR_MeasurementRippleLimitIsPassing(vi, "Channel1:Trace2", &fails), 0);
    EXPECT_EQ(fails, VI_TRUE);
    ViReal64 ripple[2] = {}, maximum[2] = {};
    ViInt32 results[2] = {}, count = 0;
    ASSERT_EQ(ZOR_MeasurementRippleLimitQueryTestResult(vi, "Channel1:Trace2", 0, 2, ripple, &count, maximum, results), 0);
    ASSERT_EQ(count, 2);
    EXPECT_NEAR(ripple[0], spread[0], 1e-9);
    EXPECT_NEAR(ripple[1], spread[1], 1e-9);
    EXPECT_EQ(std::vector<ViInt32>(results, results + 2), (std::vector<ViInt32>{0, 1}));

    // The 3 dB bandwidth: edges interpolated where the data fall 3 dB below their peak.
    const auto top = static_cast<int>(std::max_element(y.begin(), y.end()) - y.begin());
    const double level = y[top] - 3;
    int lo = top, hi = top;
    while (y[lo - 1] >= level) --lo;
    while (y[hi + 1] >= level) ++hi;
    auto edge = [&](int in, int out) { return x(in) + (x(out) - x(in)) * (y[in] - level) / (y[in] - y[out]); };
    const double expected = edge(hi, hi + 1) - edge(lo, lo - 1);
    ViReal64 bandwidth = 0;
    ASSERT_EQ(ZOR_MeasurementBWLimitGetTestResult(vi, "Channel1:Trace2", &bandwidth), 0);
    EXPECT_NEAR(bandwidth, expected, 1);
    ASSERT_EQ(ZOR_SetMeasurementBwLimitEnabled(vi, "Channel1:Trace2", VI_TRUE), 0);
    for (const auto& [maximum_hz, verdict] : {std::pair{expected - 1e6, VI_TRUE}, {expected + 1e6, VI_FALSE}}) {
        ASSERT_EQ(ZOR_SetMeasurementBwLimitMaximum(vi, "Channel1:Trace2", maximum_hz), 0);
        ASSERT_EQ(ZOR_MeasurementBWLimitIsPassing(vi, "Channel1:Trace2", &fails), 0);
        EXPECT_EQ(fails, verdict) << maximum_hz;
    }
    // 60 dB below the peak lies beyond both ends of this sweep: no result.
    ASSERT_EQ(ZOR_SetMeasurementBwLimitThreshold(vi, "Channel1:Trace2", 60), 0);
    ASSERT_EQ(ZOR_MeasurementBWLimitGetTestResult(vi, "Channel1:Trace2", &bandwidth), 0);
    EXPECT_DOUBLE_EQ(bandwidth, 9.91e37);
    ASSERT_EQ(ZOR_MeasurementBWLimitIsPassing(vi, "Channel1:Trace2", &fails), 0);
    EXPECT_EQ(fails, VI_TRUE);
}

}  // namespace
