// Tests of the marker and marker-search actions against the simulated
// analyzer's default device, a band-pass filter around 4.5 GHz: every value a
// marker reads or a search finds must be what a program computes from the
// same formatted data (FDATa). The power-on sweep is 300 kHz to 9 GHz in 201
// points; the fixture switches the noise off.
#include <algorithm>
#include <cmath>
#include <functional>

#include "function_fixture.h"

namespace {

using zor_test::strings;

constexpr double start = 3e5, stop = 9e9;
double point(int i) { return start + (stop - start) * i / 200.0; }

class Marker : public zor_test::function_test_t {
protected:
    // Runs `call` with the console captured (fallbacks and failed writes
    // print there); returns its status and leaves the output in `console`.
    ViStatus quietly(const std::function<ViStatus()>& call) {
        testing::internal::CaptureStdout();
        const ViStatus status = call();
        console = testing::internal::GetCapturedStdout();
        return status;
    }
    std::string console;

    double marker_x(const char* selector) {
        ViReal64 x = 0;
        EXPECT_EQ(ZOR_GetMeasurementMarkerXPosition(vi, selector, &x), 0);
        return x;
    }
    double start_of(const char* channel) {
        ViReal64 f = 0;
        EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStart(vi, channel, &f), 0);
        return f;
    }
    double stop_of(const char* channel) {
        ViReal64 f = 0;
        EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStop(vi, channel, &f), 0);
        return f;
    }
    // The analyzer's oldest queued error: a search that finds nothing says so.
    std::pair<ViInt32, std::string> instrument_error() {
        ViInt32 code = 0;
        char message[256] = {};
        EXPECT_EQ(ZOR_error_query(vi, &code, message), 0);
        return {code, message};
    }
    // The error record's status, parameter position and message.
    void expect_null_record(ViInt32 position, const char* message) {
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
        EXPECT_EQ(primary, ZOR_ERROR_NULL_POINTER);
        EXPECT_EQ(secondary, Ivi_ParamPositionError(position));
        EXPECT_STREQ(elaboration, message);
    }
};

const char* const m1t2 = "Channel1:Trace2:Marker1";

// ---------------------------------------------------------------- argument checks

TEST_F(Marker, NullOutputsAreRefusedWithTheirPositionBeforeAnythingIsSent) {
    ViReal64 r = 0;
    struct row_t {
        const char* what;
        std::function<ViStatus(ViSession)> call;
        ViInt32 position;
        const char* message;
    };
    const row_t rows[] = {
        {"Y real", [&](ViSession s) { return ZOR_MeasurementMarkerGetYPosition(s, m1t2, nullptr, &r); }, 3,
         "Null address for Real"},
        {"Y imaginary", [&](ViSession s) { return ZOR_MeasurementMarkerGetYPosition(s, m1t2, &r, nullptr); }, 4,
         "Null address for Imaginary"},
        {"Y both", [&](ViSession s) { return ZOR_MeasurementMarkerGetYPosition(s, m1t2, nullptr, nullptr); }, 3,
         "Null address for Real"},
        {"Y real only", [&](ViSession s) { return ZOR_MeasurementMarkerGetYPositionReal(s, m1t2, nullptr); }, 3,
         "Null address for Real"},
        {"type", [&](ViSession s) { return ZOR_MeasurementMarkerQueryType(s, m1t2, nullptr); }, 3,
         "Null address for Val"},
        {"enabled", [&](ViSession s) { return ZOR_MeasurementMarkerGetEnabled(s, m1t2, 1, nullptr); }, 4,
         "Null address for Val"},
        {"result 1",
         [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(s, m1t2, nullptr, nullptr, &r, &r, 0); },
         3, "Null address for Val"},
        {"result 2",
         [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(s, m1t2, &r, nullptr, nullptr, &r, 0); },
         4, "Null address for Val"},
        {"result 3",
         [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(s, m1t2, &r, &r, nullptr, nullptr, 0); },
         5, "Null address for Val"},
        {"result 4",
         [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(s, m1t2, &r, &r, &r, nullptr, 0); },
         6, "Null address for Val"},
        {"shown", [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(s, m1t2, 0, nullptr); },
         4, "Null address for Val"},
        {"threshold", [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchGetThreshold(s, m1t2, 0, nullptr); },
         4, "Null address for Val"},
        {"reference", [&](ViSession s) { return ZOR_MeasurementMarkerSearchBWandNotchGetReference(s, m1t2, 0, nullptr); },
         4, "Null address for Val"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.call(vi), ZOR_ERROR_NULL_POINTER);
        expect_null_record(row.position, row.message);
    }
    EXPECT_EQ(log(), strings{});
}

TEST_F(Marker, ValuesOutsideTheirKeywordTableSendNothing) {
    ViReal64 r = 0;
    ViInt32 n = 0;
    ViBoolean b = 0;
    const std::pair<const char*, std::function<ViStatus()>> rows[] = {
        {"type 2", [&] { return ZOR_MeasurementMarkerSetType(vi, m1t2, 2); }},
        {"type -1", [&] { return ZOR_MeasurementMarkerSetType(vi, m1t2, -1); }},
        {"setting 8", [&] { return ZOR_MeasurementMarkerModifyInstrumentSetting(vi, m1t2, 8); }},
        {"search 10", [&] { return ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 10); }},
        {"search -1", [&] { return ZOR_MeasurementMarkerSearchExecute(vi, m1t2, -1); }},
        {"multi 3", [&] { return ZOR_MeasurementMarkerSearchMultiSearchExecute(vi, m1t2, 3); }},
        {"result kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &r, &r, &r, &r, 2); }},
        {"show kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchSetDisplayEnabled(vi, m1t2, VI_TRUE, 2); }},
        {"shown kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(vi, m1t2, -1, &b); }},
        {"threshold kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, m1t2, -3, 2); }},
        {"get threshold kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchGetThreshold(vi, m1t2, 2, &r); }},
        {"reference kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, m1t2, 0, 2); }},
        {"reference 2", [&] { return ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, m1t2, 2, 0); }},
        {"get reference kind", [&] { return ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 2, &n); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        EXPECT_EQ(row.second(), ZOR_ERROR_KEYWORD);
    }
    EXPECT_EQ(log(), strings{});
    EXPECT_TRUE(lockable_from_another_thread());
}

// ---------------------------------------------------------------- commands and selectors

TEST_F(Marker, CommandTextsAndIndexOrder) {
    ViReal64 r = 0;
    const std::pair<std::function<ViStatus()>, const char*> rows[] = {
        {[&] { return ZOR_MeasurementMarkerDisableAll(vi, "Channel2:Trace3"); }, ":CALCulate2:MEASure3:MARKer:AOFF"},
        {[&] { return ZOR_MeasurementMarkerSetType(vi, "Channel2:Trace3:Marker4", 1); },
         ":CALCulate2:MEASure3:MARKer4:TYPE FIXed"},
        {[&] { return ZOR_MeasurementMarkerModifyInstrumentSetting(vi, "Channel1:Trace2:Marker3", 6); },
         ":CALCulate1:TRACe2:MARKer3:SET CWFReq"},
        {[&] { return ZOR_MeasurementMarkerSearchBWandNotchSetDisplayEnabled(vi, "Channel1:Trace2:Marker3", VI_TRUE, 1); },
         ":CALCulate1:TRACe2:MARKer3:NOTCh 1"},
        {[&] { return ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, "Channel1:Trace2:Marker3", -6.5, 0); },
         ":CALCulate1:TRACe2:MARKer3:BWIDth:THReshold -6.500000000000e+00"},
        {[&] { return ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, "Channel1:Trace2:Marker3", 1, 0); },
         ":CALCulate1:TRACe2:MARKer3:BWIDth:REF MARKer"},
        {[&] { return ZOR_MeasurementMarkerGetYPositionReal(vi, "Channel2:Trace4:Marker2", &r); },
         ":CALCulate2:TRACe4:MARKer2:Y?"},
    };
    for (const auto& row : rows) {
        clear_log();
        EXPECT_EQ(row.first(), 0) << row.second;
        EXPECT_EQ(log(), strings{row.second});
    }
}

TEST_F(Marker, SetEnabledUsesTheCallersMarkerNotTheSelectors) {
    EXPECT_EQ(ZOR_MeasurementMarkerSetEnabled(vi, "Channel1:Trace2:Marker5", VI_TRUE, 3), 0);
    EXPECT_EQ(log(), strings{":CALCulate1:MEASure2:MARKer3 1"});
    ViBoolean on = VI_FALSE;
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2:Marker5", 3, &on), 0);
    EXPECT_EQ(on, VI_TRUE);
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2:Marker3", 5, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    // All markers of the trace go off, those of the other trace stay on.
    EXPECT_EQ(ZOR_MeasurementMarkerSetEnabled(vi, "Channel1:Trace1", VI_TRUE, 3), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerDisableAll(vi, "Channel1:Trace2"), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2", 3, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace1", 3, &on), 0);
    EXPECT_EQ(on, VI_TRUE);
}

TEST_F(Marker, BooleanRepliesOtherThanOneReadFalse) {
    ViBoolean on = VI_TRUE;
    script(":CALCulate1:MEASure2:MARKer1?", "2");
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, m1t2, 1, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    on = VI_TRUE;
    script(":CALCulate1:TRACe2:MARKer1:BWIDth?", "2");
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(vi, m1t2, 0, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
}

TEST_F(Marker, TraceWithoutMarkerAddressesThatTracesActiveMarker) {
    ASSERT_EQ(ZOR_SetMeasurementMarkerActiveMarker(vi, "Channel1:Trace2", 4), 0);
    clear_log();
    EXPECT_EQ(ZOR_MeasurementMarkerModifyInstrumentSetting(vi, "Trace2", 0), 0);
    const strings sent = log();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), ":CALCulate1:TRACe2:MARKer4:SET CENTer");
}

TEST_F(Marker, EmptySelectorUsesTheActiveChannelAndTraceAndMarkerOneAfterAWarning) {
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerSetType(vi, "", 0); }), 0);
    EXPECT_NE(console.find("Parse RepCapIdentifier error -> invalid rep_cap_name = 'Marker'"), std::string::npos)
        << console;
    const strings sent = log();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), ":CALCulate1:MEASure1:MARKer1:TYPE NORMal");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), sent.back()), 1);
}

TEST_F(Marker, RecordLoopStopsAtTheFirstFailingRecord) {
    script(":CALCulate1:MEASure2:MARKer2:TYPE FIXed", nullptr, 0, VI_ERROR_IO);
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerSetType(vi, "Channel1:Trace2:Marker1-Marker3", 1); }),
              VI_ERROR_IO);
    EXPECT_EQ(log(), (strings{":CALCulate1:MEASure2:MARKer1:TYPE FIXed", ":CALCulate1:MEASure2:MARKer2:TYPE FIXed"}));
    EXPECT_TRUE(lockable_from_another_thread());
}

// ---------------------------------------------------------------- type

TEST_F(Marker, TypeReadsBackThroughItsShortForm) {
    ViInt32 type = -1;
    EXPECT_EQ(ZOR_MeasurementMarkerQueryType(vi, m1t2, &type), 0);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSetType(vi, m1t2, 1), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerQueryType(vi, m1t2, &type), 0);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(ZOR_MeasurementMarkerQueryType(vi, "Channel1:Trace2:Marker2", &type), 0);
    EXPECT_EQ(type, 0);
}

TEST_F(Marker, EmptyKeywordReplyNamesTheFirstEntry) {
    ViInt32 type = 7;
    script(":CALCulate1:MEASure2:MARKer1:TYPE?", "");
    EXPECT_EQ(ZOR_MeasurementMarkerQueryType(vi, m1t2, &type), 0);
    EXPECT_EQ(type, 0);
}

TEST_F(Marker, KeywordRepliesNotInTheTableAreRefusedAndLeaveTheOutputAlone) {
    for (const char* reply : {"XYZ", "NORMALLY", "norm"}) {
        SCOPED_TRACE(reply);
        ViInt32 type = 7, reference = 7;
        script(":CALCulate1:MEASure2:MARKer1:TYPE?", reply);
        EXPECT_EQ(ZOR_MeasurementMarkerQueryType(vi, m1t2, &type), ZOR_ERROR_KEYWORD);
        EXPECT_EQ(type, 7);
        script(":CALCulate1:TRACe2:MARKer1:NOTCh:REF?", reply);
        EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 1, &reference), ZOR_ERROR_KEYWORD);
        EXPECT_EQ(reference, 7);
    }
}

// ---------------------------------------------------------------- response value

TEST_F(Marker, ResponseValueNeedsExactlyTwoNumbers) {
    struct row_t {
        const char* reply;
        ViStatus status;
        double real, imaginary;
    };
    const row_t rows[] = {
        {"1.0,2.0", 0, 1.0, 2.0},
        {"+1.000000000000E+00, -2.5E-01", 0, 1.0, -0.25},
        {"1,2,3", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"5", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"1,", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"abc,1", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"1.0x,2", ZOR_ERROR_VALUE_COUNT, 9, 9},
        {"1e999,0", ZOR_ERROR_VALUE_COUNT, 9, 9},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        ViReal64 real = 9, imaginary = 9;
        script(":CALCulate1:TRACe2:MARKer1:Y?", row.reply);
        EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerGetYPosition(vi, m1t2, &real, &imaginary); }), row.status);
        EXPECT_EQ(real, row.real);
        EXPECT_EQ(imaginary, row.imaginary);
    }
}

TEST_F(Marker, ResponseValueFailuresPassThrough) {
    ViReal64 real = 9;
    script(":CALCulate1:TRACe2:MARKer1:Y?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real); }), VI_ERROR_TMO);
    script(":CALCulate1:TRACe2:MARKer1:Y?", nullptr, 0, VI_ERROR_IO);
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real); }), VI_ERROR_IO);
    EXPECT_EQ(real, 9);
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Marker, ResponseValueIsTheFormattedDataAtTheMarker) {
    const char* formats[] = {"MLOG", "PHAS", "SMIT", "GDEL", "SWR"};
    for (const char* format : formats) {
        SCOPED_TRACE(format);
        raw_query(std::string(":CALC1:TRAC2:FORM ") + format);
        const auto y = formatted("Channel1:Trace2", 201);
        auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * (1 + std::fabs(b)); };
        ViReal64 real = 0, imaginary = 0;
        ASSERT_EQ(ZOR_SetMeasurementMarkerDeltaEnabled(vi, m1t2, VI_FALSE), 0);
        for (int k : {0, 37, 100, 200}) {
            ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, point(k)), 0);
            ASSERT_EQ(ZOR_MeasurementMarkerGetYPosition(vi, m1t2, &real, &imaginary), 0);
            EXPECT_PRED2(near, real, y[2 * k]) << k;
            EXPECT_PRED2(near, imaginary, y[2 * k + 1]) << k;
        }
        // Between points: interpolated, or the nearest point when discrete.
        ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, point(80) + 0.25 * (point(81) - point(80))), 0);
        ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real), 0);
        EXPECT_PRED2(near, real, 0.75 * y[160] + 0.25 * y[162]);
        raw_query(":CALC1:TRAC2:MARK1:DISC ON");
        ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real), 0);
        EXPECT_PRED2(near, real, y[160]);
        raw_query(":CALC1:TRAC2:MARK1:DISC OFF");
        // A delta marker reads against the reference marker.
        ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, "Channel1:Trace2:Marker10", point(60)), 0);
        ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, point(90)), 0);
        ASSERT_EQ(ZOR_SetMeasurementMarkerDeltaEnabled(vi, m1t2, VI_TRUE), 0);
        ASSERT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real), 0);
        EXPECT_PRED2(near, real, y[180] - y[120]);
    }
    // A marker placed beyond the sweep lands on its end, with an error.
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 2e10), 0);
    EXPECT_DOUBLE_EQ(marker_x(m1t2), stop);
    EXPECT_EQ(instrument_error().first, -222);
}

// ---------------------------------------------------------------- searches

TEST_F(Marker, SearchOffOnlyEndsTracking) {
    for (auto execute : {ZOR_MeasurementMarkerSearchExecute, ZOR_MeasurementMarkerSearchMultiSearchExecute}) {
        ASSERT_EQ(ZOR_SetMeasurementMarkerSearchTrackingEnabled(vi, "Channel1:Trace2:Marker3", VI_TRUE), 0);
        clear_log();
        EXPECT_EQ(execute(vi, "Channel1:Trace2:Marker3", 0), 0);
        EXPECT_EQ(log(), strings{":CALCulate1:TRACe2:MARKer3:FUNCtion:TRACking 0"});
        ViBoolean tracking = VI_TRUE;
        EXPECT_EQ(ZOR_GetMeasurementMarkerSearchTrackingEnabled(vi, "Channel1:Trace2:Marker3", &tracking), 0);
        EXPECT_EQ(tracking, VI_FALSE);
    }
}

TEST_F(Marker, SearchFunctionsSelectTheirKeywordThenExecute) {
    const std::pair<ViInt32, const char*> rows[] = {{1, "MINimum"}, {2, "MAXimum"}, {3, "RPEak"}, {4, "LPEak"},
                                                    {5, "NPEak"},   {6, "TARget"},  {7, "LTARget"}, {8, "RTARget"},
                                                    {9, "PEAK"}};
    for (const auto& row : rows) {
        clear_log();
        EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, "Channel1:Trace2:Marker3", row.first), 0) << row.second;
        EXPECT_EQ(log(), (strings{std::string(":CALCulate1:TRACe2:MARKer3:FUNCtion:TYPE ") + row.second,
                                  ":CALCulate1:TRACe2:MARKer3:FUNCtion:EXECute"}));
    }
    clear_log();
    EXPECT_EQ(ZOR_MeasurementMarkerSearchMultiSearchExecute(vi, "Channel1:Trace2:Marker3", 2), 0);
    EXPECT_EQ(log(), (strings{":CALCulate1:TRACe2:MARKer:FUNCtion:MULTi:TYPE TARGet",
                              ":CALCulate1:TRACe2:MARKer3:FUNCtion:EXECute"}));
}

TEST_F(Marker, SearchStopsWhenSelectingTheFunctionFails) {
    script(":CALCulate1:TRACe2:MARKer1:FUNCtion:TYPE MAXimum", nullptr, 0, VI_ERROR_IO);
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerSearchExecute(vi, "Channel1:Trace2:Marker1-Marker2", 2); }),
              VI_ERROR_IO);
    EXPECT_EQ(log(), strings{":CALCulate1:TRACe2:MARKer1:FUNCtion:TYPE MAXimum"});
    script(":CALCulate1:TRACe2:MARKer1:FUNCtion:EXECute", nullptr, 0, VI_ERROR_IO);
    clear_log();
    EXPECT_EQ(quietly([&] { return ZOR_MeasurementMarkerSearchExecute(vi, "Channel1:Trace2:Marker1-Marker2", 2); }),
              VI_ERROR_IO);
    EXPECT_EQ(log(), (strings{":CALCulate1:TRACe2:MARKer1:FUNCtion:TYPE MAXimum",
                              ":CALCulate1:TRACe2:MARKer1:FUNCtion:EXECute"}));
    EXPECT_TRUE(lockable_from_another_thread());
}

// What a program finds in formatted values: extremes, crossings, peaks.
std::vector<double> first_values(const std::vector<double>& pairs) {
    std::vector<double> y;
    for (std::size_t k = 0; k < pairs.size(); k += 2) y.push_back(pairs[k]);
    return y;
}
std::size_t arg_max(const std::vector<double>& y) {
    return static_cast<std::size_t>(std::max_element(y.begin(), y.end()) - y.begin());
}
std::size_t arg_min(const std::vector<double>& y) {
    return static_cast<std::size_t>(std::min_element(y.begin(), y.end()) - y.begin());
}
// Every crossing of `level`, interpolated between points.
std::vector<double> crossings(const std::vector<double>& y, double level) {
    std::vector<double> x;
    for (int k = 0; k + 1 < static_cast<int>(y.size()); ++k) {
        const double a = y[k] - level, b = y[k + 1] - level;
        if ((a < 0 && b >= 0) || (a > 0 && b <= 0)) x.push_back(point(k) + (point(k + 1) - point(k)) * a / (a - b));
    }
    return x;
}
// Points lower than both neighbours that stand `excursion` below the lower
// of the highest ground reached on each side before a lower point.
std::vector<int> dips(const std::vector<double>& y, double excursion) {
    std::vector<int> found;
    const int n = static_cast<int>(y.size());
    for (int i = 1; i + 1 < n; ++i) {
        if (!(y[i] < y[i - 1] && y[i] <= y[i + 1])) continue;
        double left = y[i], right = y[i];
        for (int j = i - 1; j >= 0 && y[j] >= y[i]; --j) left = std::max(left, y[j]);
        for (int j = i + 1; j < n && y[j] >= y[i]; ++j) right = std::max(right, y[j]);
        if (std::min(left, right) - y[i] >= excursion) found.push_back(i);
    }
    return found;
}

TEST_F(Marker, SearchesLandWhereTheFormattedDataSay) {
    const auto y = first_values(formatted("Channel1:Trace2", 201));
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 2), 0);  // maximum
    EXPECT_DOUBLE_EQ(marker_x(m1t2), point(static_cast<int>(arg_max(y))));
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 1), 0);  // minimum
    EXPECT_DOUBLE_EQ(marker_x(m1t2), point(static_cast<int>(arg_min(y))));
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 9), 0);  // peak: the pass band's top
    EXPECT_DOUBLE_EQ(marker_x(m1t2), point(static_cast<int>(arg_max(y))));

    // -20 dB is crossed once on each flank of the pass band.
    const auto edges = crossings(y, -20);
    ASSERT_EQ(edges.size(), 2u);
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 1e9), 0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchTargetValue(vi, m1t2, -20.0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 6), 0);  // nearest
    EXPECT_NEAR(marker_x(m1t2), edges[0], 1);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 8), 0);  // right
    EXPECT_NEAR(marker_x(m1t2), edges[1], 1);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 8), 0);  // none further right: stays
    EXPECT_NEAR(marker_x(m1t2), edges[1], 1);
    EXPECT_EQ(instrument_error(), std::make_pair(ViInt32{-200}, std::string("Execution error; target not found")));
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchTargetTransition(vi, m1t2, 1), 0);  // falling only
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, start), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 6), 0);
    EXPECT_NEAR(marker_x(m1t2), edges[1], 1);
    EXPECT_EQ(instrument_error().first, 0);
}

TEST_F(Marker, MultiPeakSearchMarksTheReflectionDips) {
    // Finely swept, the pass band's return loss dips at each resonance.
    raw_query(":SENS1:FREQ:STAR 4e9;:SENS1:FREQ:STOP 5e9");
    const auto y = first_values(formatted("Channel1:Trace1", 201));
    const auto expected = dips(y, 3.0);
    ASSERT_GE(expected.size(), 3u);
    ASSERT_LE(expected.size(), 9u);
    raw_query(":CALC1:TRAC1:MARK:FUNC:MULT:PPOL NEG");
    EXPECT_EQ(ZOR_MeasurementMarkerSearchMultiSearchExecute(vi, "Channel1:Trace1", 1), 0);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string marker = "Channel1:Trace1:Marker" + std::to_string(i + 1);
        EXPECT_NEAR(marker_x(marker.c_str()), 4e9 + 1e9 * expected[i] / 200.0, 1) << marker;
    }
    ViBoolean on = VI_TRUE;
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace1", static_cast<ViInt32>(expected.size() + 1), &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    // A larger excursion than any dip finds none.
    raw_query(":CALC1:TRAC1:MARK:FUNC:MULT:PEXC 200");
    EXPECT_EQ(ZOR_MeasurementMarkerSearchMultiSearchExecute(vi, "Channel1:Trace1", 1), 0);
    EXPECT_EQ(instrument_error(), std::make_pair(ViInt32{-200}, std::string("Execution error; peak not found")));
}

// ---------------------------------------------------------------- marker to setting

TEST_F(Marker, MarkerToSettingMovesTheSweep) {
    struct row_t {
        ViInt32 setting;
        double start, stop;
    };
    const row_t rows[] = {
        {2, 2e9, 9e9},    // start
        {3, 2e9, 2e9},    // stop: the start pushed down with it
        {0, 2e9, 2e9},    // center of a zero span
    };
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 2e9), 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.setting);
        EXPECT_EQ(ZOR_MeasurementMarkerModifyInstrumentSetting(vi, m1t2, row.setting), 0);
        EXPECT_DOUBLE_EQ(start_of("Channel1"), row.start);
        EXPECT_DOUBLE_EQ(stop_of("Channel1"), row.stop);
    }
    // The other channel keeps its sweep.
    EXPECT_DOUBLE_EQ(start_of("Channel2"), start);
    EXPECT_EQ(instrument_error().first, 0);
}

TEST_F(Marker, MarkerToCenterKeepsTheSpanWithinTheLimits) {
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 8e9), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerModifyInstrumentSetting(vi, m1t2, 0), 0);
    EXPECT_DOUBLE_EQ(start_of("Channel1"), 7e9);
    EXPECT_DOUBLE_EQ(stop_of("Channel1"), 9e9);
    // The response belongs to the stimulus: the peak is still at 4.5 GHz
    // seen from a narrower sweep.
    ASSERT_EQ(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel1", 4e9), 0);
    ASSERT_EQ(ZOR_SetStandardStimulusSweepFrequencyStop(vi, "Channel1", 5e9), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 2), 0);
    EXPECT_DOUBLE_EQ(marker_x(m1t2), 4.5e9);
}

// ---------------------------------------------------------------- bandwidth and notch

// Width, centre, Q and loss of the band around `around` where `inside`
// holds, edges interpolated; none when the band reaches an end.
struct band_t {
    bool found = false;
    double width = 0, center = 0, q = 0;
};
band_t band_of(const std::vector<double>& y, std::size_t around, double level, bool below) {
    auto inside = [&](std::size_t k) { return below ? y[k] < level : y[k] > level; };
    band_t b;
    std::size_t lo = around, hi = around;
    while (lo > 0 && inside(lo - 1)) --lo;
    while (hi + 1 < y.size() && inside(hi + 1)) ++hi;
    if (!inside(around) || lo == 0 || hi + 1 == y.size()) return b;
    auto edge = [&](std::size_t out, std::size_t in) {
        const double a = y[out] - level, c = y[in] - level;
        return point(static_cast<int>(out)) + (point(static_cast<int>(in)) - point(static_cast<int>(out))) * a / (a - c);
    };
    const double left = edge(lo - 1, lo), right = edge(hi + 1, hi);
    b = {true, right - left, (left + right) / 2, (left + right) / 2 / (right - left)};
    return b;
}

TEST_F(Marker, BandwidthAndNotchAreThoseOfTheFormattedData) {
    struct row_t {
        const char* device;
        ViInt32 kind;  // 0 bandwidth, 1 notch
        double threshold;
    };
    const row_t rows[] = {{"bandpass", 0, -3}, {"bandpass", 0, -20}, {"notch", 1, -3}, {"notch", 1, -10}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.device) + " " + std::to_string(row.threshold));
        raw_query(std::string(":SYST:SIM:DUT \"") + row.device + "\"");
        ASSERT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, m1t2, row.threshold, row.kind), 0);
        const auto y = first_values(formatted("Channel1:Trace2", 201));
        const std::size_t top = arg_max(y), bottom = arg_min(y);
        const band_t expected = band_of(y, row.kind ? bottom : top, y[top] + row.threshold, row.kind == 1);
        ASSERT_TRUE(expected.found);
        ViReal64 width = 0, center = 0, q = 0, loss = 0;
        EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &width, &center, &q, &loss, row.kind), 0);
        EXPECT_NEAR(width, expected.width, 1e-6 * expected.width);
        EXPECT_NEAR(center, expected.center, 1);
        EXPECT_NEAR(q, expected.q, 1e-6 * expected.q);
        EXPECT_NEAR(loss, row.kind ? y[bottom] : y[top], 1e-9);
    }
    // 200 dB down the band reaches both ends of the sweep: no result.
    raw_query(":SYST:SIM:DUT \"bandpass\"");
    ASSERT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, m1t2, -200, 0), 0);
    ViReal64 width = 0, center = 0, q = 0, loss = 0;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &width, &center, &q, &loss, 0), 0);
    EXPECT_EQ(width, 9.91e37);
    EXPECT_EQ(loss, 9.91e37);
}

TEST_F(Marker, BandwidthAroundTheMarkerWhenReferencedToIt) {
    ViInt32 reference = -1;
    ASSERT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, m1t2, 1, 0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 0, &reference), 0);
    EXPECT_EQ(reference, 1);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 1, &reference), 0);
    EXPECT_EQ(reference, 0);  // the notch keeps its own
    // From a marker on the lower skirt the band spans the pass band.
    const auto y = first_values(formatted("Channel1:Trace2", 201));
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, point(95)), 0);
    const band_t expected = band_of(y, 95, y[95] - 3, false);
    ASSERT_TRUE(expected.found);
    ViReal64 width = 0, center = 0, q = 0, loss = 0;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &width, &center, &q, &loss, 0), 0);
    EXPECT_NEAR(width, expected.width, 1e-6 * expected.width);
    EXPECT_NEAR(loss, y[95], 1e-9);
    EXPECT_EQ(instrument_error().first, 0);
}

TEST_F(Marker, BandwidthDisplaySwitchesPerKind) {
    ViBoolean shown = VI_TRUE;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetDisplayEnabled(vi, m1t2, VI_TRUE, 1), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(vi, m1t2, 1, &shown), 0);
    EXPECT_EQ(shown, VI_TRUE);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(vi, m1t2, 0, &shown), 0);
    EXPECT_EQ(shown, VI_FALSE);
}

TEST_F(Marker, BandwidthResultNeedsExactlyFourNumbers) {
    for (const char* reply : {"1,2,3", "1,2,3,4,5", "", "1,2,x,4"}) {
        SCOPED_TRACE(reply);
        ViReal64 out[4] = {7, 7, 7, 7};
        script(":CALCulate1:TRACe2:MARKer1:NOTCh:DATA?", reply);
        EXPECT_EQ(quietly([&] {
                      return ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &out[0], &out[1], &out[2],
                                                                              &out[3], 1);
                  }),
                  ZOR_ERROR_VALUE_COUNT);
        for (double v : out) EXPECT_EQ(v, 7);
    }
    ViReal64 out[4] = {};
    script(":CALCulate1:TRACe2:MARKer1:NOTCh:DATA?", "1,2,3,4");
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &out[0], &out[1], &out[2], &out[3], 1), 0);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3], 4);
}

}  // namespace
