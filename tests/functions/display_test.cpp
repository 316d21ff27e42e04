// Tests of the display window and trace actions, against the simulated
// analyzer's layout (power-on: traces 1,2 in window 1 on channel 1, traces
// 3,4 in window 2 on channel 2; trace 1 and window 1 active).
#include <cstring>
#include <functional>

#include "function_fixture.h"

extern "C" {
#define ZOR_DISPLAY_TEST_VISA_DECL(name, ret, params) ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_DISPLAY_TEST_VISA_DECL)
#undef ZOR_DISPLAY_TEST_VISA_DECL
}

namespace {

using zor_test::strings;
using call_t = std::function<ViStatus(ViSession)>;

class Display : public zor_test::function_test_t {
protected:
    // Every error the analyzer queued, asked over a second VISA session.
    std::string instrument_errors() const {
        ViSession rm = 0, io = 0;
        std::string reply = "no session";
        if (viOpenDefaultRM(&rm) != 0) return reply;
        if (viOpen(rm, resource.c_str(), VI_NO_LOCK, 2000, &io) == 0) {
            const char query[] = ":SYSTem:ERRor:ALL?";
            char buffer[1024];
            ViUInt32 count = 0;
            viWrite(io, reinterpret_cast<ViConstBuf>(query), sizeof query - 1, &count);
            if (viRead(io, reinterpret_cast<ViBuf>(buffer), sizeof buffer, &count) >= 0) reply.assign(buffer, count);
            while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
            viClose(io);
        }
        viClose(rm);
        return reply;
    }
    std::string trace_catalog(const char* window) {
        char text[64] = {};
        EXPECT_EQ(ZOR_DisplayWindowTraceGetCatalog(vi, window, sizeof text, text), 0);
        return text;
    }
};

const char* const no_error = "0,\"No error\"";

struct sent_t {
    const char* what;
    call_t call;
    strings wire;
};

// What each action sends, and that the analyzer takes it without complaint.
TEST_F(Display, ActionsSendTheirCommandsPerRecord) {
    const sent_t rows[] = {
        {"autoscale two windows", [](ViSession s) { return ZOR_DisplayWindowAutoscaleAll(s, "Window1,Window2"); },
         {":DISPlay:WINDow1:Y:AUTO", ":DISPlay:WINDow2:Y:AUTO"}},
        {"autoscale the active window", [](ViSession s) { return ZOR_DisplayWindowAutoscaleAll(s, ""); },
         {":DISPlay:WINDow:SELect?", ":DISPlay:WINDow1:Y:AUTO"}},
        {"show window 3", [](ViSession s) { return ZOR_DisplayWindowCreateOrDelete(s, 2, 3); },
         {":DISPlay:WINDow3:STATe 1"}},
        {"close window 3", [](ViSession s) { return ZOR_DisplayWindowCreateOrDelete(s, VI_FALSE, 3); },
         {":DISPlay:WINDow3:STATe 0"}},
        {"move trace 1", [](ViSession s) { return ZOR_DisplayWindowTraceMove(s, "Trace1", 2); },
         {"DISPlay:MEASure1:MOVE 2"}},
        {"select trace 3", [](ViSession s) { return ZOR_DisplayWindowTraceSelect(s, "Trace3"); },
         {":DISPlay:TRACe3:ACTivate"}},
        {"autoscale trace 4 in window 1", [](ViSession s) { return ZOR_DisplayWindowTraceAutoScaleY(s, "Trace4"); },
         {":DISPlay:WINDow1:TRACe4:Y:SCALe:AUTO"}},
        {"delete trace 4 of window 2", [](ViSession s) { return ZOR_DisplayWindowTraceDelete(s, "Window2", 4); },
         {":DISPlay:WINDow2:TRACe4 0"}},
        {"create trace 5 in window 3", [](ViSession s) { return ZOR_MeasurementTraceCreate(s, "Trace5", 3); },
         {":DISPlay:WINDow3:TRACe5 1"}},
        {"delete trace 3 of window 2", [](ViSession s) { return ZOR_MeasurementTraceDelete(s, "Window2:Trace3"); },
         {":DISPlay:WINDow2:TRACe3 0"}},
        {"delete trace 2 of the active window", [](ViSession s) { return ZOR_MeasurementTraceDelete(s, "Trace2"); },
         {":DISPlay:WINDow:SELect?", ":DISPlay:WINDow1:TRACe2 0"}},
        {"move two traces", [](ViSession s) { return ZOR_MeasurementTraceMove(s, "Trace1,Trace2", 3); },
         {"DISPlay:MEASure1:MOVE 3", "DISPlay:MEASure2:MOVE 3"}},
        {"select trace 4", [](ViSession s) { return ZOR_MeasurementTraceSelect(s, "Trace4"); },
         {":DISPlay:TRACe4:ACTivate"}},
        {"autoscale trace 3", [](ViSession s) { return ZOR_MeasurementTraceAutoScaleY(s, "3"); },
         {":DISPlay:WINDow1:TRACe3:Y:SCALe:AUTO"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        zsim_factory_reset(analyzer.c_str());
        EXPECT_EQ(row.call(vi), 0);
        EXPECT_EQ(log(), row.wire);
        EXPECT_EQ(instrument_errors(), no_error);
    }
}

struct refused_t {
    const char* what;
    call_t call;
    ViInt32 position;
    const char* message;
};

TEST_F(Display, NullArgumentsAreRefusedBeforeAnyTraffic) {
    ViBoolean flag = 7;
    char text[8];
    const refused_t rows[] = {
        {"present name", [&](ViSession s) { return ZOR_DisplayWindowIsPresent(s, nullptr, &flag); }, 2,
         "Null address for WindowName"},
        {"present out", [](ViSession s) { return ZOR_DisplayWindowIsPresent(s, "Window1", nullptr); }, 3,
         "Null address for Present"},
        {"autoscale all", [](ViSession s) { return ZOR_DisplayWindowAutoscaleAll(s, nullptr); }, 2,
         "Null address for WindowName"},
        {"window catalog", [](ViSession s) { return ZOR_DisplayWindowGetCatalog(s, 8, nullptr); }, 3,
         "Null address for Catalog"},
        {"trace move", [](ViSession s) { return ZOR_DisplayWindowTraceMove(s, nullptr, 1); }, 2,
         "Null address for TraceName"},
        {"trace select", [](ViSession s) { return ZOR_DisplayWindowTraceSelect(s, nullptr); }, 2,
         "Null address for TraceName"},
        {"trace autoscale", [](ViSession s) { return ZOR_DisplayWindowTraceAutoScaleY(s, nullptr); }, 2,
         "Null address for TraceName"},
        {"active trace", [](ViSession s) { return ZOR_DisplayWindowTraceGetActiveTrace(s, "Window1", nullptr); }, 3,
         "Null address for Trace"},
        {"trace delete", [](ViSession s) { return ZOR_DisplayWindowTraceDelete(s, nullptr, 1); }, 2,
         "Null address for WindowName"},
        {"trace catalog", [](ViSession s) { return ZOR_DisplayWindowTraceGetCatalog(s, "Window1", 8, nullptr); }, 4,
         "Null address for Catalog"},
        {"create", [](ViSession s) { return ZOR_MeasurementTraceCreate(s, nullptr, 1); }, 2,
         "Null address for MeasurementName"},
        {"delete", [](ViSession s) { return ZOR_MeasurementTraceDelete(s, nullptr); }, 2,
         "Null address for MeasurementName"},
        {"move", [](ViSession s) { return ZOR_MeasurementTraceMove(s, nullptr, 1); }, 2,
         "Null address for MeasurementName"},
        {"select", [](ViSession s) { return ZOR_MeasurementTraceSelect(s, nullptr); }, 2,
         "Null address for MeasurementName"},
        {"autoscale", [](ViSession s) { return ZOR_MeasurementTraceAutoScaleY(s, nullptr); }, 2,
         "Null address for MeasurementName"},
        // A buffer of no bytes is refused the same way, without a record.
        {"window catalog size 0", [&](ViSession s) { return ZOR_DisplayWindowGetCatalog(s, 0, text); }, 0, ""},
        {"trace catalog size -1", [&](ViSession s) { return ZOR_DisplayWindowTraceGetCatalog(s, "1", -1, text); },
         0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_ClearErrorInfo(vi);
        if (row.position == 0) {
            EXPECT_EQ(row.call(vi), ZOR_ERROR_BUFFER_SIZE);
        } else {
            EXPECT_EQ(row.call(vi), ZOR_ERROR_NULL_POINTER);
            Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
            EXPECT_EQ(primary, ZOR_ERROR_NULL_POINTER);
            EXPECT_EQ(secondary, Ivi_ParamPositionError(row.position));
            EXPECT_STREQ(elaboration, row.message);
        }
        EXPECT_TRUE(log().empty());
    }
    EXPECT_EQ(flag, 7);
}

// The analyzer's layout follows the actions.
TEST_F(Display, LayoutFollowsTheActions) {
    EXPECT_EQ(ZOR_MeasurementTraceCreate(vi, "Trace5", 3), 0);
    EXPECT_EQ(trace_catalog("Window3"), "5");
    EXPECT_EQ(ZOR_MeasurementTraceMove(vi, "Trace2", 2), 0);
    EXPECT_EQ(trace_catalog("Window2"), "2,3,4");
    EXPECT_EQ(ZOR_DisplayWindowTraceDelete(vi, "Window2", 4), 0);
    EXPECT_EQ(trace_catalog("Window2"), "2,3");
    EXPECT_EQ(ZOR_DisplayWindowTraceSelect(vi, "Trace3"), 0);
    ViInt32 trace = 0, channel = 0;
    EXPECT_EQ(ZOR_DisplayWindowTraceGetActiveTrace(vi, nullptr, &trace), 0);
    EXPECT_EQ(trace, 3);
    EXPECT_EQ(ZOR_ChannelGetActiveChannel(vi, &channel), 0);
    EXPECT_EQ(channel, 2);
    // The active window is now 2: a name without a window lists window 2.
    EXPECT_EQ(trace_catalog(nullptr), "2,3");
    EXPECT_EQ(ZOR_DisplayWindowCreateOrDelete(vi, VI_FALSE, 3), 0);
    char windows[16] = {};
    EXPECT_EQ(ZOR_DisplayWindowGetCatalog(vi, sizeof windows, windows), 0);
    EXPECT_STREQ(windows, "1,2");
    ViBoolean present = VI_TRUE;
    EXPECT_EQ(ZOR_DisplayWindowIsPresent(vi, "Window3", &present), 0);
    EXPECT_EQ(present, VI_FALSE);
    EXPECT_EQ(instrument_errors(), no_error);
}

// Autoscaling what is not shown is refused by the analyzer, not the driver.
TEST_F(Display, AutoscaleOfAbsentWindowOrTraceIsAConflict) {
    EXPECT_EQ(ZOR_DisplayWindowAutoscaleAll(vi, "Window4"), 0);
    EXPECT_EQ(ZOR_MeasurementTraceAutoScaleY(vi, "Trace9"), 0);
    EXPECT_EQ(instrument_errors(), "-221,\"Settings conflict\",-221,\"Settings conflict\"");
}

struct presence_t {
    const char* name;
    const char* list;
    ViBoolean expected;
};

TEST_F(Display, WindowPresenceFromTheListReply) {
    const presence_t rows[] = {
        {"Window3", "1,2", VI_FALSE}, {"Window2", "1,2", VI_TRUE},    {"2", " 1, 2 ", VI_TRUE},
        {"Window1", "", VI_FALSE},     {"Window3,Window1", "1,2", VI_TRUE}, {"Window1,Window3", "1,2", VI_FALSE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        script(":DISPlay:WINDow:LIST?", row.list);
        ViBoolean present = 9;
        EXPECT_EQ(ZOR_DisplayWindowIsPresent(vi, row.name, &present), 0);
        EXPECT_EQ(present, row.expected);
    }
}

// A name that expands to no window cannot answer: the caller's flag and
// buffer stay unwritten, so the call must not report success.
TEST_F(Display, NamesThatYieldNoWindowAreReported) {
    // Malformed or oversized selectors are refused as such; a well-formed
    // empty list names no window.
    const struct {
        const char* name;
        ViStatus status;
    } cases[] = {{"Foo", ZOR_ERROR_BADLY_FORMED_SELECTOR},
                 {"[]", ZOR_ERROR_REP_CAP_NOT_FOUND},
                 {"Window3-Window1", ZOR_ERROR_BADLY_FORMED_SELECTOR},
                 {"Window1-Window70000", ZOR_ERROR_BADLY_FORMED_SELECTOR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        ViBoolean present = 9;
        const ViStatus present_status = ZOR_DisplayWindowIsPresent(vi, c.name, &present);
        char text[8] = "xxxxxxx";
        const ViStatus catalog_status = ZOR_DisplayWindowTraceGetCatalog(vi, c.name, sizeof text, text);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(present_status, c.status);
        EXPECT_EQ(present, 9);
        EXPECT_EQ(catalog_status, c.status);
        EXPECT_STREQ(text, "xxxxxxx");
    }
}

TEST_F(Display, FailedQueriesLeaveTheCallersValuesAlone) {
    testing::internal::CaptureStdout();
    script(":DISPlay:WINDow:LIST?", nullptr, VI_ERROR_TMO);
    ViBoolean present = 9;
    EXPECT_EQ(ZOR_DisplayWindowIsPresent(vi, "Window1", &present), VI_ERROR_TMO);
    EXPECT_EQ(present, 9);

    script(":DISPlay:TRACe:SELect?", nullptr, VI_ERROR_TMO);
    ViInt32 trace = -5;
    EXPECT_EQ(ZOR_DisplayWindowTraceGetActiveTrace(vi, "Window1", &trace), VI_ERROR_TMO);
    EXPECT_EQ(trace, -5);

    script(":DISPlay:WINDow:LIST?", nullptr, 0, VI_ERROR_IO);
    char text[8];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ZOR_DisplayWindowGetCatalog(vi, sizeof text, text), VI_ERROR_IO);
    EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'x'));

    // Window 1's list arrives, window 2's query fails: the failure is the result.
    script(":DISPlay:WINDow2:TRACe:LIST?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_DisplayWindowTraceGetCatalog(vi, "Window1,Window2", sizeof text, text), VI_ERROR_TMO);
    EXPECT_STREQ(text, "1,2");

    script(":DISPlay:WINDow3:STATe 1", nullptr, 0, VI_ERROR_IO);
    EXPECT_EQ(ZOR_DisplayWindowCreateOrDelete(vi, VI_TRUE, 3), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(lockable_from_another_thread());
}

// Calls that address the active window, and how its query can fail: the
// failure is the call's status and no command goes out for a guessed window.
// The next call (the analyzer answering again) works.
TEST_F(Display, AFailedActiveWindowQueryEndsTheCall) {
    ViBoolean present = 9;
    const sent_t calls[] = {
        {"autoscale", [](ViSession s) { return ZOR_DisplayWindowAutoscaleAll(s, ""); }, {}},
        {"delete trace 2", [](ViSession s) { return ZOR_MeasurementTraceDelete(s, "Trace2"); }, {}},
        {"presence", [&](ViSession s) { return ZOR_DisplayWindowIsPresent(s, "", &present); },
         {":DISPlay:WINDow:LIST?"}},
        {"shown attribute",
         [](ViSession s) { return ZOR_SetAttributeViBoolean(s, "", ZOR_ATTR_DISPLAY_WINDOW_ENABLED, VI_TRUE); }, {}},
    };
    struct fault_t {
        const char* what;
        const char* reply;
        ViStatus read_status;
    } const faults[] = {{"time-out", nullptr, VI_ERROR_TMO}, {"I/O error", nullptr, VI_ERROR_IO},
                        {"not a number", "window one", 0}};
    // The driver's console lines stay out of the test's output.
    const auto quietly = [&](const call_t& call) {
        testing::internal::CaptureStdout();
        const ViStatus status = call(vi);
        testing::internal::GetCapturedStdout();
        return status;
    };
    for (const auto& call : calls) {
        for (const auto& fault : faults) {
            SCOPED_TRACE(std::string(call.what) + ", " + fault.what);
            script(":DISPlay:WINDow:SELect?", fault.reply, fault.read_status);
            raw_query("*CLS");  // errors of earlier rounds would explain the time-out
            clear_log();
            const ViStatus status = quietly(call.call);
            if (fault.read_status != 0) EXPECT_EQ(status, fault.read_status);
            else EXPECT_LT(status, 0);
            strings wire = call.wire;
            wire.push_back(":DISPlay:WINDow:SELect?");
            if (fault.read_status == VI_ERROR_TMO) wire.push_back(zor_test::error_query_after_timeout);
            EXPECT_EQ(log(), wire);
            EXPECT_EQ(present, 9);
            EXPECT_EQ(quietly(call.call), 0);
            present = 9;
        }
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

// The active trace and channel are looked up the same way: a failed lookup
// ends the call and nothing acts on a guessed trace 1 or channel 1.
TEST_F(Display, AFailedActiveTraceOrChannelQueryEndsTheCall) {
    const struct {
        const char* failing;
        strings wire;
    } cases[] = {{":DISPlay:TRACe:SELect?", {":DISPlay:TRACe:SELect?", zor_test::error_query_after_timeout}},
                 {":DISPlay:CHANnel:SELect?",
                  {":DISPlay:TRACe:SELect?", ":DISPlay:CHANnel:SELect?", zor_test::error_query_after_timeout}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        script(c.failing, nullptr, VI_ERROR_TMO);
        clear_log();
        testing::internal::CaptureStdout();
        EXPECT_EQ(ZOR_SetSystemActiveMarker(vi, 3), VI_ERROR_TMO);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(log(), c.wire);
        EXPECT_EQ(ZOR_SetSystemActiveMarker(vi, 3), 0);
    }
}

struct catalog_t {
    ViInt32 size;
    const char* reply;
    ViStatus status;
    const char* text;
};

// At most size - 1 characters and a NUL; a cut text is reported.
TEST_F(Display, CatalogsAreCutToTheCallersBuffer) {
    const catalog_t rows[] = {
        {4, "1,2", 0, "1,2"}, {4, "1,2,", ZOR_ERROR_TEXT_CUT, "1,2"}, {4, "1,2,4", ZOR_ERROR_TEXT_CUT, "1,2"},
        {1, "1", ZOR_ERROR_TEXT_CUT, ""}, {16, "", 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        char text[16];
        std::memset(text, 'x', sizeof text);
        script(":DISPlay:WINDow:LIST?", row.reply);
        EXPECT_EQ(ZOR_DisplayWindowGetCatalog(vi, row.size, text), row.status);
        EXPECT_STREQ(text, row.text);
        script(":DISPlay:WINDow2:TRACe:LIST?", row.reply);
        EXPECT_EQ(ZOR_DisplayWindowTraceGetCatalog(vi, "Window2", row.size, text), row.status);
        EXPECT_STREQ(text, row.text);
    }
}

TEST_F(Display, TraceCatalogKeepsTheLastWindowAndStopsAtACut) {
    char text[8] = {};
    EXPECT_EQ(ZOR_DisplayWindowTraceGetCatalog(vi, "Window1,Window2", sizeof text, text), 0);
    EXPECT_STREQ(text, "3,4");
    clear_log();
    EXPECT_EQ(ZOR_DisplayWindowTraceGetCatalog(vi, "Window1,Window2", 3, text), ZOR_ERROR_TEXT_CUT);
    EXPECT_STREQ(text, "1,");
    EXPECT_EQ(log(), (strings{":DISPlay:WINDow1:TRACe:LIST?"}));
}

TEST_F(Display, RecordLoopStopsAtTheFirstFailure) {
    script("DISPlay:MEASure2:MOVE 3", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_MeasurementTraceMove(vi, "Trace1-Trace3", 3), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(log(), (strings{"DISPlay:MEASure1:MOVE 3", "DISPlay:MEASure2:MOVE 3"}));
    EXPECT_TRUE(lockable_from_another_thread());
}

}  // namespace
