// Tests of the marker and marker-search actions, against the simulated
// analyzer's synthetic response: trace 2 (S21) is a band-pass with its peak
// at 4.5 GHz and lobes at 2.25 and 6.75 GHz; trace 1 (S11) its mirror image,
// a notch. The power-on sweep is 300 kHz to 9 GHz in 201 points.
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

TEST_F(Marker, ResponseValueFollowsTheMarkerAndDeltaMode) {
    ViReal64 real = 0, imaginary = 9;
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 4.5e9), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerGetYPosition(vi, m1t2, &real, &imaginary), 0);
    EXPECT_NEAR(real, -1.0, 1e-9);
    EXPECT_EQ(imaginary, 0.0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, "Channel1:Trace2:Marker10", 2.25e9), 0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerDeltaEnabled(vi, m1t2, VI_TRUE), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, m1t2, &real), 0);
    EXPECT_NEAR(real, -1.0 - (-31.0), 1e-4);
    // The reflection trace shows the notch at the same place.
    EXPECT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, "Channel1:Trace1:Marker1", 4.5e9), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerGetYPositionReal(vi, "Channel1:Trace1:Marker1", &real), 0);
    EXPECT_NEAR(real, -41.0, 1e-6);
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

TEST_F(Marker, PeakSearchesMoveTheMarkerAlongTheResponse) {
    // From the power-on marker position (1 GHz); each step starts where the
    // previous one left the marker. Points 50, 100 and 150 are the peaks.
    const std::pair<ViInt32, int> steps[] = {
        {2, 100},  // maximum
        {5, 50},   // next peak: the 2.25 GHz lobe (-31 dB)
        {5, 150},  // then the 6.75 GHz lobe (-35 dB)
        {4, 100},  // left peak
        {4, 50},   // left again
        {3, 100},  // right peak
        {1, 0},    // minimum: the floor begins at the first point
        {9, 100},  // peak
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.first);
        EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, step.first), 0);
        EXPECT_DOUBLE_EQ(marker_x(m1t2), point(step.second));
    }
    EXPECT_EQ(instrument_error().first, 0);
    ViBoolean on = VI_FALSE;
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2", 1, &on), 0);
    EXPECT_EQ(on, VI_TRUE);
}

TEST_F(Marker, PeakSearchHonoursExcursionThresholdAndPolarity) {
    // An excursion above the 6.75 GHz lobe's 6 dB leaves it out.
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchPeakExcursion(vi, m1t2, 8.0), 0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 5e9), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 3), 0);  // right peak: none
    EXPECT_DOUBLE_EQ(marker_x(m1t2), 5e9);
    EXPECT_EQ(instrument_error(), std::make_pair(ViInt32{-200}, std::string("Execution error; peak not found")));
    // A threshold above -31 dB leaves only the main peak for NPEak to skip to.
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchPeakExcursion(vi, m1t2, 3.0), 0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchPeakThreshold(vi, m1t2, -30.0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 5), 0);
    EXPECT_DOUBLE_EQ(marker_x(m1t2), point(100));
    // Negative polarity finds the notch of the reflection trace.
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchPeakPolarity(vi, "Channel1:Trace1:Marker1", 0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, "Channel1:Trace1:Marker1", 9), 0);
    EXPECT_DOUBLE_EQ(marker_x("Channel1:Trace1:Marker1"), point(100));
    EXPECT_EQ(instrument_error().first, 0);
}

TEST_F(Marker, TargetSearchesFindTheCrossings) {
    // -20 dB is crossed on both flanks of the main lobe, 433.5 MHz from its centre.
    const double edge = 5.4e8 * std::sqrt(-std::log(1 - 19.0 / 40));
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchTargetValue(vi, m1t2, -20.0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 6), 0);  // nearest to 1 GHz
    EXPECT_NEAR(marker_x(m1t2), 4.5e9 - edge, 2e7);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 8), 0);  // right
    EXPECT_NEAR(marker_x(m1t2), 4.5e9 + edge, 2e7);
    const double right = marker_x(m1t2);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 8), 0);  // none further right
    EXPECT_EQ(marker_x(m1t2), right);
    EXPECT_EQ(instrument_error(), std::make_pair(ViInt32{-200}, std::string("Execution error; target not found")));
    // Only falling crossings: from the start, the right flank.
    ASSERT_EQ(ZOR_SetMeasurementMarkerSearchTargetTransition(vi, m1t2, 1), 0);
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, start), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, m1t2, 6), 0);
    EXPECT_NEAR(marker_x(m1t2), 4.5e9 + edge, 2e7);
    EXPECT_EQ(instrument_error().first, 0);
}

TEST_F(Marker, MultiPeakSearchPlacesMarkersOnEveryPeak) {
    EXPECT_EQ(ZOR_MeasurementMarkerSearchMultiSearchExecute(vi, m1t2, 1), 0);
    const std::pair<const char*, int> placed[] = {
        {"Channel1:Trace2:Marker1", 50}, {"Channel1:Trace2:Marker2", 100}, {"Channel1:Trace2:Marker3", 150}};
    for (const auto& p : placed) EXPECT_DOUBLE_EQ(marker_x(p.first), point(p.second)) << p.first;
    ViBoolean on = VI_FALSE;
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2", 3, &on), 0);
    EXPECT_EQ(on, VI_TRUE);
    EXPECT_EQ(ZOR_MeasurementMarkerGetEnabled(vi, "Channel1:Trace2", 4, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    // A single search afterwards runs the single search again.
    EXPECT_EQ(ZOR_MeasurementMarkerSearchExecute(vi, "Channel1:Trace2:Marker3", 1), 0);
    EXPECT_DOUBLE_EQ(marker_x("Channel1:Trace2:Marker3"), point(0));
    EXPECT_DOUBLE_EQ(marker_x("Channel1:Trace2:Marker1"), point(50));
    EXPECT_EQ(instrument_error().first, 0);
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

TEST_F(Marker, BandwidthAndNotchResultsOfTheSyntheticResponse) {
    ViReal64 width = 0, center = 0, q = 0, loss = 0;
    // Band-pass, 3 dB below its -1 dB peak.
    const double bandwidth = 2 * 5.4e8 * std::sqrt(-std::log(1 - 3.0 / 40));
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &width, &center, &q, &loss, 0), 0);
    EXPECT_NEAR(width, bandwidth, 0.03 * bandwidth);
    EXPECT_NEAR(center, 4.5e9, 5e6);
    EXPECT_NEAR(q, center / width, 1e-9 * q);
    EXPECT_NEAR(loss, -1.0, 1e-3);
    // A deeper threshold widens it.
    ASSERT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(vi, m1t2, -6.0, 0), 0);
    ViReal64 threshold = 0;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetThreshold(vi, m1t2, 0, &threshold), 0);
    EXPECT_EQ(threshold, -6.0);
    ViReal64 wider = 0;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &wider, &center, &q, &loss, 0), 0);
    EXPECT_GT(wider, width * 1.3);
    // Notch of the reflection trace, 3 dB below its -1 dB floor.
    const double notch = 2 * 5.4e8 * std::sqrt(-std::log(3.0 / 40));
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, "Channel1:Trace1:Marker1", &width, &center, &q,
                                                               &loss, 1),
              0);
    EXPECT_NEAR(width, notch, 0.03 * notch);
    EXPECT_NEAR(center, 4.5e9, 5e6);
    EXPECT_NEAR(loss, -41.0, 1e-3);
}

TEST_F(Marker, BandwidthAroundTheMarkerWhenReferencedToIt) {
    ViInt32 reference = -1;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 0, &reference), 0);
    EXPECT_EQ(reference, 0);
    ASSERT_EQ(ZOR_MeasurementMarkerSearchBWandNotchSetReference(vi, m1t2, 1, 0), 0);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 0, &reference), 0);
    EXPECT_EQ(reference, 1);
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchGetReference(vi, m1t2, 1, &reference), 0);
    EXPECT_EQ(reference, 0);  // the notch keeps its own
    ASSERT_EQ(ZOR_SetMeasurementMarkerXPosition(vi, m1t2, 2.25e9), 0);
    ViReal64 width = 0, center = 0, q = 0, loss = 0;
    EXPECT_EQ(ZOR_MeasurementMarkerSearchBWandNotchQueryResult(vi, m1t2, &width, &center, &q, &loss, 0), 0);
    EXPECT_NEAR(center, 2.25e9, 1e7);
    EXPECT_NEAR(loss, -31.0, 1e-3);
    EXPECT_LT(width, 3e8);
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
