// Tests of the measurement actions: trace data in and out, the active trace
// and window, the memory trace, statistics and the equation check, against
// the simulated analyzer's own trace data.
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "function_fixture.h"


namespace {

using values = std::vector<double>;

constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000F);
constexpr ViStatus not_supported = static_cast<ViStatus>(0xBFFA0011);
constexpr ViStatus keyword_error = static_cast<ViStatus>(0xBFFF001D);
constexpr ViStatus value_count_error = static_cast<ViStatus>(0xBFFF0010);

class Measurement : public zor_test::function_test_t {
protected:
    void set_points(const char* channel, ViInt32 points) {
        ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, channel, points), 0);
    }
    // Reads a whole trace; the status must be 0.
    values read_trace(const char* name, ViInt32 type, ViInt32 size) {
        values data(static_cast<std::size_t>(size), -99.0);
        ViInt32 count = -1;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, name, type, size, data.data(), &count), 0);
        EXPECT_EQ(count, size);
        return data;
    }
};

// ---- refused arguments: nothing sent, the error record names the argument

struct refusal_t {
    const char* what;
    std::function<ViStatus(ViSession)> call;
    ViInt32 position;
    const char* message;
};

ViReal64 some_data[8] = {1, 0, 0.5, -0.5, 0, 0, 0, 0};
ViInt32 int_out = 0;

const refusal_t refusals[] = {
    {"write: null name", [](ViSession s) { return ZOR_MeasurementWriteData(s, nullptr, 0, 4, some_data); }, 2,
     "Null address for MeasurementName"},
    {"write: null data", [](ViSession s) { return ZOR_MeasurementWriteData(s, "", 0, 4, nullptr); }, 5,
     "Null address for Data"},
    {"write: odd size", [](ViSession s) { return ZOR_MeasurementWriteData(s, "", 0, 3, some_data); }, 4,
     "DataBufferSize should be even"},
    {"write: one point", [](ViSession s) { return ZOR_MeasurementWriteData(s, "", 0, 2, some_data); }, 4,
     "DataBufferSize should be greater than 4"},
    {"write: negative size", [](ViSession s) { return ZOR_MeasurementWriteData(s, "", 0, -4, some_data); }, 4,
     "DataBufferSize should be greater than 4"},
    {"query: null name", [](ViSession s) { return ZOR_MeasurementQueryData(s, nullptr, 0, 8, some_data, nullptr); },
     2, "Null address for MeasurementName"},
    {"query: null data", [](ViSession s) { return ZOR_MeasurementQueryData(s, "", 0, 8, nullptr, &int_out); }, 5,
     "Null address for Val"},
    {"query: negative size", [](ViSession s) { return ZOR_MeasurementQueryData(s, "", 0, -2, some_data, nullptr); },
     4, "DataBufferSize should not be negative"},
    {"trace number", [](ViSession s) { return ZOR_MeasurementGetTraceNumber(s, "", nullptr); }, 3,
     "Null address for Val"},
    {"window number", [](ViSession s) { return ZOR_MeasurementGetWindowNumber(s, "", nullptr); }, 3,
     "Null address for Val"},
    {"statistics data", [](ViSession s) { return ZOR_MeasurementTraceStatisticsGetData(s, "", nullptr); }, 3,
     "Null address for Val"},
    {"statistics type", [](ViSession s) { return ZOR_MeasurementTraceStatisticsQueryType(s, "", nullptr); }, 3,
     "Null address for Val"},
    {"range start", [](ViSession s) { return ZOR_MeasurementTraceStatisticsGetRangeStart(s, "", 0, nullptr); }, 4,
     "Null address for Val"},
    {"range stop", [](ViSession s) { return ZOR_MeasurementTraceStatisticsGetRangeStop(s, "", 0, nullptr); }, 4,
     "Null address for Val"},
    {"equation valid", [](ViSession s) { return ZOR_MeasurementEquationIsValid(s, "", nullptr); }, 3,
     "Null address for Val"},
    {"equation editor valid", [](ViSession s) { return ZOR_MeasurementEquationEditorIsValid(s, "", nullptr); }, 3,
     "Null address for Val"},
};

TEST_F(Measurement, RefusedArgumentsSendNothingAndNameTheArgument) {
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(r.call(vi), null_pointer);
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
        EXPECT_EQ(primary, null_pointer);
        EXPECT_EQ(secondary, Ivi_ParamPositionError(r.position));
        EXPECT_STREQ(elaboration, r.message);
        EXPECT_TRUE(log().empty());
    }
}

// ---- writing trace data

TEST_F(Measurement, WriteSendsPairsPerDataTypeAndRefusesOthers) {
    const struct {
        ViInt32 type;
        ViStatus status;
        zor_test::strings sent;
    } cases[] = {
        {0, 0, {":CALCulate2:TRACe3:DATA:FDATa 1.000000000000e+00,0.000000000000e+00,5.000000000000e-01,-5.000000000000e-01"}},
        {1, 0, {":CALCulate2:TRACe3:DATA:SDATa 1.000000000000e+00,0.000000000000e+00,5.000000000000e-01,-5.000000000000e-01"}},
        {2, not_supported, {}},
        {-1, not_supported, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        clear_log();
        EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel2:Trace3", c.type, 4, some_data), c.status);
        EXPECT_EQ(log(), c.sent);
    }
}

TEST_F(Measurement, WrittenDataReadBackPerChannelAndTrace) {
    set_points("Channel2", 2);
    EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel2:Trace3", 1, 4, some_data), 0);
    EXPECT_EQ(read_trace("Channel2:Trace3", 1, 4), values(some_data, some_data + 4));
    // The neighbouring trace keeps what the analyzer measured.
    EXPECT_NE(read_trace("Channel2:Trace4", 1, 4), values(some_data, some_data + 4));
    // Formatted data written by hand last until the format changes.
    EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel2:Trace3", 0, 4, some_data), 0);
    EXPECT_EQ(read_trace("Channel2:Trace3", 0, 4), values(some_data, some_data + 4));
    ASSERT_EQ(ZOR_SetMeasurementDisplayFormat(vi, "Channel2:Trace3", 7), 0);
    EXPECT_EQ(read_trace("Channel2:Trace3", 0, 4), (values{1, 0, 0.5, 0}));
}

TEST_F(Measurement, WriteStopsAtTheFirstFailingRecord) {
    set_points("Channel1", 2);
    clear_log();
    EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1-Trace2", 1, 4, some_data), 0);
    EXPECT_EQ(log().size(), 2u);
    clear_log();
    script(":CALCulate1:TRACe1:DATA:SDATa 1.000000000000e+00,0.000000000000e+00,5.000000000000e-01,-5.000000000000e-01",
           nullptr, 0, VI_ERROR_TMO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1-Trace2", 1, 4, some_data), VI_ERROR_TMO);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(log().size(), 2u);
    EXPECT_EQ(log()[1], zor_test::error_query_after_timeout);
    EXPECT_TRUE(lockable_from_another_thread());
}

// A full-size sweep goes out and comes back whole and exact.
TEST_F(Measurement, HundredThousandPointsRoundTrip) {
    constexpr ViInt32 points = 100001;
    set_points("Channel1", points);
    values sent(2 * points);
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<double>(i % 2001) * 0.25 - 250;
    EXPECT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1", 1, 2 * points, sent.data()), 0);
    EXPECT_EQ(read_trace("Channel1:Trace1", 1, 2 * points), sent);
}

// ---- binary trace data: DriverSetup=DataFormat:REAL64

// A second session on the same analyzer with `options`; its open status.
ViStatus open_second(const std::string& resource, const char* options, ViSession* second) {
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, options, second);
    testing::internal::GetCapturedStdout();
    return status;
}

values query(ViSession session, const char* name, ViInt32 type, ViInt32 size, ViStatus expected = 0) {
    values data(static_cast<std::size_t>(size), -99.0);
    ViInt32 count = -1;
    EXPECT_EQ(ZOR_MeasurementQueryData(session, name, type, size, data.data(), &count), expected);
    if (expected == 0) {
        EXPECT_EQ(count, size);
    }
    return data;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(Measurement, Real64SessionsReadTheValuesTextSessionsRead) {
    constexpr ViInt32 points = 1601;
    set_points("Channel1", points);
    // Values of 13 significant digits go through text exactly.
    values written(2 * points);
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> any(-1e3, 1e3);
    char digits[32];
    for (double& v : written) {
        std::snprintf(digits, sizeof digits, "%.12e", any(random) * 1e-5);
        v = std::strtod(digits, nullptr);
    }
    ASSERT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1", 1, 2 * points, written.data()), 0);
    const values text_written = query(vi, "Channel1:Trace1", 1, 2 * points);
    const values text_measured = query(vi, "Channel1:Trace2", 0, 2 * points);

    ViSession binary = 0;
    ASSERT_EQ(open_second(resource, "DriverSetup=DataFormat:REAL64", &binary), 0);
    EXPECT_EQ(raw_query(":FORMat:DATA?;:FORMat:BORDer?"), "REAL,64;SWAP");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "after the open" : "after a reset");
        const values binary_written = query(binary, "Channel1:Trace1", 1, 2 * points);
        const values binary_measured = query(binary, "Channel1:Trace2", 0, 2 * points);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < written.size(); ++i) {
            ASSERT_TRUE(same_bits(binary_written[i], written[i])) << i;
            ASSERT_TRUE(same_bits(text_written[i], written[i])) << i;
            // Text carries 13 digits of the analyzer's value, a block all of it.
            std::snprintf(digits, sizeof digits, "%.12e", binary_measured[i]);
            ASSERT_TRUE(same_bits(std::strtod(digits, nullptr), text_measured[i])) << i << " " << digits;
            differing += binary_measured[i] != text_measured[i];
        }
        EXPECT_GT(differing, written.size() / 4);
        // A reset puts the analyzer back to text; the session switches again.
        testing::internal::CaptureStdout();
        EXPECT_EQ(ZOR_reset(binary), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(raw_query(":FORMat:DATA?;:FORMat:BORDer?"), "REAL,64;SWAP");
        set_points("Channel1", points);
        ASSERT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1", 1, 2 * points, written.data()), 0);
    }
    testing::internal::CaptureStdout();
    ZOR_close(binary);
    testing::internal::GetCapturedStdout();
    // The analyzer sends text again, for the text session.
    EXPECT_EQ(raw_query(":FORMat:DATA?;:FORMat:BORDer?"), "ASC;NORM");
    EXPECT_EQ(query(vi, "Channel1:Trace1", 1, 2 * points), text_written);
}

TEST_F(Measurement, Real64BlocksOfTheWrongLengthAreErrorsNotData) {
    ViSession binary = 0;
    ASSERT_EQ(open_second(resource, "DriverSetup=DataFormat:REAL64", &binary), 0);
    const std::string sixteen(16, 'A');  // two values of 0x4141...: 2.26e6
    const struct {
        std::string reply;
        ViStatus status;
    } cases[] = {
        {"#216" + sixteen, 0},
        {"#232" + sixteen, VI_ERROR_INV_LENGTH},
        {"#18" + sixteen, VI_ERROR_INV_LENGTH},
        {"#212" + sixteen.substr(0, 12), VI_ERROR_INV_LENGTH},
        {"#0" + sixteen, VI_ERROR_INV_LENGTH},
        {"1.5,2.5", 0},  // text, as after a reset sent round the driver
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":CALCulate1:TRACe1:DATA:SDATa?", c.reply.c_str());
        const values data = query(binary, "Channel1:Trace1", 1, 2, c.status);
        if (c.status != 0) {
            EXPECT_EQ(data, values(2, -99.0));
        } else if (c.reply[0] == '#') {
            EXPECT_EQ(data[0], data[1]);
            EXPECT_NEAR(data[0], 2.26e6, 1e4);
        } else {
            EXPECT_EQ(data, (values{1.5, 2.5}));
        }
    }
    ViInt32 trace = 0;  // the session goes on
    EXPECT_EQ(ZOR_MeasurementGetTraceNumber(binary, "", &trace), 0);
    testing::internal::CaptureStdout();
    ZOR_close(binary);
    testing::internal::GetCapturedStdout();
}

TEST_F(Measurement, DataFormatOptionIsCheckedAtOpen) {
    const struct {
        const char* options;
        ViStatus status;
        const char* format;  // the analyzer's after the open
    } cases[] = {
        {"DriverSetup=DataFormat:REAL32", IVI_ERROR_INVALID_OPTION_STRING, "ASC"},
        {"DriverSetup=Model:ZOR24, DataFormat:", IVI_ERROR_INVALID_OPTION_STRING, "ASC"},
        {"DriverSetup=DataFormat:ASCII", 0, "ASC"},
        {"DriverSetup=Model:ZOR24; DataFormat:REAL64", IVI_ERROR_INVALID_OPTION_STRING, "ASC"},
        {"DriverSetup= ; dataformat : real64", 0, "REAL,64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        raw_query(":FORMat:DATA ASCii");
        ViSession second = 123;
        EXPECT_EQ(open_second(resource, c.options, &second), c.status);
        EXPECT_EQ(raw_query(":FORMat:DATA?"), c.format);
        if (c.status == 0) {
            testing::internal::CaptureStdout();
            ZOR_close(second);
            testing::internal::GetCapturedStdout();
        } else {
            EXPECT_EQ(second, VI_NULL);
        }
    }
}

// ---- reading trace data

TEST_F(Measurement, QueryCopiesWholePointsThatFitAndCountsAllValues) {
    const struct {
        const char* reply;
        ViInt32 size;
        values expected;  // the buffer afterwards; it starts as all -99
        ViInt32 count;
    } cases[] = {
        {"1,2,3,4,5,6", 5, {1, 2, 3, 4, -99}, 6},   // the odd last element stays
        {"1,2,3,4,5,6", 6, {1, 2, 3, 4, 5, 6}, 6},
        {"1,2,3,4,5,6", 0, {}, 6},                  // only the count
        {"1,2,3", 4, {1, 2, -99, -99}, 2},           // an unpaired value is dropped
        {"1,x,3,4", 4, {1, 0, 3, 4}, 4},             // not a number reads as 0
        {"+1.5E+00, -2.0E-01", 2, {1.5, -0.2}, 2},
        {"", 2, {-99, -99}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":CALCulate1:TRACe2:DATA:FDATa?", c.reply);
        values data(static_cast<std::size_t>(c.size) + 1, -99.0);  // one guard element past the size
        ViInt32 count = -1;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace2", 0, c.size, data.data(), &count), 0);
        EXPECT_EQ(values(data.begin(), data.end() - 1), c.expected);
        EXPECT_EQ(data.back(), -99.0);
        EXPECT_EQ(count, c.count);
    }
}

TEST_F(Measurement, QueryOfAnotherDataTypeIsRefusedAndAsksNothing) {
    for (ViInt32 type : {7, 2, -1}) {
        values data(4, -99.0);
        ViInt32 count = -1;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace1", type, 4, data.data(), &count), not_supported);
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(count, -1);
        EXPECT_EQ(data, values(4, -99.0));
    }
}

TEST_F(Measurement, QueryFailuresLeaveTheOutputsAlone) {
    const struct {
        const char* what;
        int read_status;
        int write_status;
    } cases[] = {{"time-out", VI_ERROR_TMO, 0}, {"failed write", 0, VI_ERROR_IO}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script(":CALCulate1:TRACe1:DATA:SDATa?", "1,2", c.read_status, c.write_status);
        values data(2, -99.0);
        ViInt32 count = -1;
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 2, data.data(), &count);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.read_status != 0 ? c.read_status : c.write_status);
        EXPECT_EQ(data, values(2, -99.0));
        EXPECT_EQ(count, -1);
        EXPECT_TRUE(lockable_from_another_thread());
    }
}

// A runaway reply is refused, not stored, and the next exchange is clean.
TEST_F(Measurement, OverlongReplyIsRefusedAndDrained) {
    std::string flood(13u << 20, '1');
    script(":CALCulate1:TRACe1:DATA:FDATa?", flood.c_str());
    values data(2, -99.0);
    ViInt32 count = -1;
    EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 0, 2, data.data(), &count), value_count_error);
    EXPECT_EQ(count, -1);
    ViInt32 trace = 0;
    EXPECT_EQ(ZOR_MeasurementGetTraceNumber(vi, "", &trace), 0);
    EXPECT_EQ(trace, 1);
}

// The analyzer formats its corrected data: MLOG is 20 log10 |S|, POLar the
// complex value, REAL the real part with 0 beside it.
TEST_F(Measurement, FormattedDataFollowTheCorrectedData) {
    set_points("Channel1", 11);
    const values corrected = read_trace("Channel1:Trace2", 1, 22);
    const struct {
        ViInt32 format;
        std::function<std::pair<double, double>(std::complex<double>)> expected;
    } cases[] = {
        {0, [](std::complex<double> s) { return std::make_pair(20 * std::log10(std::abs(s)), 0.0); }},
        {5, [](std::complex<double> s) { return std::make_pair(s.real(), s.imag()); }},
        {7, [](std::complex<double> s) { return std::make_pair(s.real(), 0.0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_EQ(ZOR_SetMeasurementDisplayFormat(vi, "Channel1:Trace2", c.format), 0);
        const values formatted = read_trace("Channel1:Trace2", 0, 22);
        for (std::size_t k = 0; k < 11; ++k) {
            const auto e = c.expected({corrected[2 * k], corrected[2 * k + 1]});
            EXPECT_NEAR(formatted[2 * k], e.first, 1e-9);
            EXPECT_NEAR(formatted[2 * k + 1], e.second, 1e-9);
        }
    }
}

// ---- active trace and window, memory, statistics

TEST_F(Measurement, ActiveTraceAndWindowWhateverTheName) {
    ASSERT_EQ(ZOR_SetDisplayWindowActiveWindow(vi, 2), 0);
    clear_log();
    ViInt32 trace = 0, window = 0;
    EXPECT_EQ(ZOR_MeasurementGetTraceNumber(vi, "Channel1:Trace1", &trace), 0);
    EXPECT_EQ(ZOR_MeasurementGetWindowNumber(vi, "Window1", &window), 0);
    EXPECT_EQ(trace, 3);
    EXPECT_EQ(window, 2);
    EXPECT_EQ(log(), (zor_test::strings{":DISPlay:TRACe:SELect?", ":DISPlay:WINDow:SELect?"}));
}

// Data divided by the memory just stored is 1, i.e. 0 dB at every point.
TEST_F(Measurement, StoredMemoryDividesToZeroDecibels) {
    set_points("Channel2", 5);
    clear_log();
    EXPECT_EQ(ZOR_MeasurementTraceMathStoreDataInMemory(vi, "Channel2:Trace3"), 0);
    EXPECT_EQ(log(), zor_test::strings{":CALCulate2:TRACe3:MATH:NORMalize"});
    EXPECT_EQ(raw_query(":CALC2:TRAC3:DATA:SMEM?"), raw_query(":CALC2:TRAC3:DATA:SDAT?"));
    ASSERT_EQ(ZOR_SetMeasurementTraceMathOperation(vi, "Channel2:Trace3", 4), 0);
    for (double v : read_trace("Channel2:Trace3", 0, 10)) EXPECT_NEAR(v, 0.0, 1e-9);
}

TEST_F(Measurement, StatisticsOfWrittenFormattedData) {
    set_points("Channel1", 4);
    ViReal64 trace[] = {1, 0, 3, 0, 5, 0, 7, 0};
    ASSERT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace1", 0, 8, trace), 0);
    clear_log();
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsExecuteAnalysis(vi, "Channel1:Trace1"), 0);
    ViReal64 mean = 0;
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsGetData(vi, "Channel1:Trace1", &mean), 0);
    EXPECT_EQ(mean, 4.0);
    EXPECT_EQ(log(), (zor_test::strings{":CALCulate1:TRACe1:MSTatistics:STATe 1",
                                        ":CALCulate1:TRACe1:MSTatistics:DATA?"}));
    ViBoolean shown = VI_FALSE;
    EXPECT_EQ(ZOR_GetMeasurementTraceStatisticsDisplayEnabled(vi, "Channel1:Trace1", &shown), 0);
    EXPECT_EQ(shown, VI_TRUE);
    EXPECT_EQ(raw_query(":CALC1:TRAC1:MST:DATA?"), "+4.000000000000E+00,+2.236067977500E+00,+6.000000000000E+00");
}

TEST_F(Measurement, StatisticsTypeRoundTripsAndRefusesOtherValues) {
    const char* const keywords[] = {"PTPeak", "STDEV", "MEAN"};
    for (ViInt32 type = 0; type < 3; ++type) {
        clear_log();
        EXPECT_EQ(ZOR_MeasurementTraceStatisticsSetType(vi, "Channel2:Trace4", type), 0);
        ViInt32 back = -1;
        EXPECT_EQ(ZOR_MeasurementTraceStatisticsQueryType(vi, "Channel2:Trace4", &back), 0);
        EXPECT_EQ(back, type);
        EXPECT_EQ(log(), (zor_test::strings{std::string(":CALCulate2:MEASure4:FUNCtion:TYPE ") + keywords[type],
                                            ":CALCulate2:MEASure4:FUNCtion:TYPE?"}));
    }
    clear_log();
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsSetType(vi, "Channel2:Trace4", 3), keyword_error);
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsSetType(vi, "Channel2:Trace4", -1), keyword_error);
    EXPECT_TRUE(log().empty());
}

TEST_F(Measurement, StatisticsTypeRepliesMapByLeadingPart) {
    const struct {
        const char* reply;
        ViStatus status;
        ViInt32 type;  // -1: untouched
    } cases[] = {
        {"MEAN", 0, 2}, {"ST", 0, 1}, {"PTP", 0, 0}, {"mean", keyword_error, -1}, {"BOGUS", keyword_error, -1},
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":CALCulate1:MEASure1:FUNCtion:TYPE?", c.reply);
        ViInt32 type = -1;
        EXPECT_EQ(ZOR_MeasurementTraceStatisticsQueryType(vi, "Channel1:Trace1", &type), c.status);
        EXPECT_EQ(type, c.type);
    }
}

TEST_F(Measurement, StatisticsRangeIgnoresTheThirdArgumentAndLimitsTheAnalysis) {
    set_points("Channel1", 4);  // points at 300 kHz and about 3, 6 and 9 GHz
    ViReal64 trace[] = {1, 0, 3, 0, 5, 0, 11, 0};
    ASSERT_EQ(ZOR_MeasurementWriteData(vi, "Channel1:Trace2", 0, 8, trace), 0);
    clear_log();
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsSetRangeStart(vi, "Channel1:Trace2", 99, 1e9), 0);
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsSetRangeStop(vi, "Channel1:Trace2", -5, 7e9), 0);
    ViReal64 start = 0, stop = 0;
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsGetRangeStart(vi, "Channel1:Trace2", 0, &start), 0);
    EXPECT_EQ(ZOR_MeasurementTraceStatisticsGetRangeStop(vi, "Channel1:Trace2", 0, &stop), 0);
    EXPECT_EQ(start, 1e9);
    EXPECT_EQ(stop, 7e9);
    EXPECT_EQ(log(), (zor_test::strings{":CALCulate1:MEASure2:FUNCtion:USER:RANGe:STARt 1.000000000000e+09",
                                        ":CALCulate1:MEASure2:FUNCtion:USER:RANGe:STOP 7.000000000000e+09",
                                        ":CALCulate1:MEASure2:FUNCtion:USER:RANGe:STARt?",
                                        ":CALCulate1:MEASure2:FUNCtion:USER:RANGe:STOP?"}));
    ASSERT_EQ(ZOR_MeasurementTraceStatisticsSetType(vi, "Channel1:Trace2", 0), 0);
    EXPECT_EQ(raw_query(":CALC1:TRAC2:FUNC:DATA?"), "+2.000000000000E+00");  // 5 - 3 inside the range
}

// ---- the equation check

TEST_F(Measurement, EquationValidityAsTheAnalyzerJudgesIt) {
    const std::string deep = std::string(100, '(') + "S11" + std::string(100, ')');
    const struct {
        std::string text;
        ViBoolean valid;
    } cases[] = {
        {"S21/S11", VI_TRUE}, {"S21/(1-S11)*2.5e-1", VI_TRUE}, {"-s12 + 3", VI_TRUE}, {"", VI_FALSE},
        {"S33", VI_FALSE},    {"S21/", VI_FALSE},              {"((S11)", VI_FALSE}, {"S11 S22", VI_FALSE},
        {deep, VI_FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(ZOR_SetMeasurementEquationText(vi, "Channel1:Trace2", c.text.c_str()), 0);
        ViBoolean valid = 7, editor = 7;
        EXPECT_EQ(ZOR_MeasurementEquationIsValid(vi, "Channel1:Trace2", &valid), 0);
        EXPECT_EQ(ZOR_MeasurementEquationEditorIsValid(vi, "Channel1:Trace2", &editor), 0);
        EXPECT_EQ(valid, c.valid);
        EXPECT_EQ(editor, c.valid);
    }
}

TEST_F(Measurement, EquationValidOnlyForExactlyOneAndUntouchedOnFailure) {
    const struct {
        const char* reply;
        int read_status;
        ViStatus status;
        ViBoolean valid;
    } cases[] = {{"1", 0, 0, VI_TRUE}, {"2", 0, 0, VI_FALSE}, {"0", 0, 0, VI_FALSE}, {"1", VI_ERROR_TMO, VI_ERROR_TMO, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        script(":CALCulate2:TRACe3:EQUation:VALID?", c.reply, c.read_status);
        ViBoolean valid = 7;
        EXPECT_EQ(ZOR_MeasurementEquationIsValid(vi, "Channel2:Trace3", &valid), c.status);
        EXPECT_EQ(valid, c.valid);
    }
}

}  // namespace
