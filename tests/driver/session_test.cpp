// Opening, identifying and closing sessions through the exported functions.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "ZOR.h"
#include "ivi_engine.h"
#include "sim_fixture.h"
#include "visa.h"

// The engine stand-in's own exports, for looking behind the driver's back.
extern "C" {
#define ZOR_TEST_ENGINE_DECL(name, ret, params, required) ret ZOR_IVI_CALL name params;
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_TEST_ENGINE_DECL)
#undef ZOR_TEST_ENGINE_DECL
}

namespace {

using zor_test::lockable_from_another_thread;
using strings = std::vector<std::string>;

class Session : public zor_test::sim_test_t {
protected:
    ViStatus init(ViBoolean id_query, ViBoolean reset, const char* options, ViSession* vi, std::string* out = nullptr) {
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), id_query, reset, options, vi);
        const std::string text = testing::internal::GetCapturedStdout();
        if (out) *out = text;
        return status;
    }
    ViStatus close(ViSession vi) {
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_close(vi);
        testing::internal::GetCapturedStdout();
        return status;
    }
};

}  // namespace

TEST_F(Session, InitWithIdQueryResetAndStatusCheck) {
    ViSession vi = 0;
    std::string out;
    ASSERT_EQ(init(VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi, &out), 0);
    EXPECT_NE(vi, 0u);
    EXPECT_NE(out.find("[INFO] new ivi session: " + std::to_string(vi) + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[INFO] Open resource {" + resource + "}"), std::string::npos) << out;
    EXPECT_EQ(log(), (strings{"*IDN?", "*idn?", "*RST", "*ESR?"}));
    EXPECT_EQ(Ivi_NeedToCheckStatus(vi), VI_FALSE);  // cleared once the check ran

    ViSession io = 0;
    EXPECT_EQ(Ivi_GetAttributeViSession(vi, nullptr, IVI_ATTR_IO_SESSION, 0, &io), 0);
    EXPECT_NE(io, 0u);
    char descriptor[256] = {};
    EXPECT_GE(Ivi_GetAttributeViString(vi, nullptr, IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 0, 256, descriptor), 0);
    EXPECT_EQ(std::string(descriptor), resource);
    EXPECT_TRUE(lockable_from_another_thread(vi));

    EXPECT_EQ(close(vi), 0);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
    // The engine's disposal decides what close returns.
    EXPECT_EQ(close(vi), ZOR_ERROR_INVALID_SESSION);
}

TEST_F(Session, InitIsInitWithOptionsWithoutOptions) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(ZOR_init(const_cast<char*>(resource.c_str()), VI_TRUE, VI_FALSE, &vi), 0);
    testing::internal::GetCapturedStdout();
    // Status checking is off by default: identity only.
    EXPECT_EQ(log(), (strings{"*IDN?", "*idn?"}));
    EXPECT_EQ(close(vi), 0);
}

TEST_F(Session, WithoutIdQueryTheInstrumentIsStillOpened) {
    zsim_set_identity(analyzer.c_str(), "Someone Else,XYZ,1,1");
    ViSession vi = 0;
    ASSERT_EQ(init(VI_FALSE, VI_FALSE, "", &vi), 0);
    EXPECT_EQ(log(), (strings{"*IDN?"}));
    EXPECT_EQ(close(vi), 0);
}

TEST_F(Session, IdentityChecks) {
    struct {
        const char* idn;
        bool passes;
        const char* message;
    } cases[] = {
        {"quorvex technologies,zor1234,1,1", true, nullptr},
        {"Quorvex Technologies,KRM-20,1,1", true, nullptr},
        {"Quorvex Technologies,ZOR,1,1", false, "! id_query > model error\n"},
        {"Quorvex Technologies Inc,ZOR4220,1,1", false, "! id_query > manufacturer error\n"},
        {"Quorvex Technologies, ZOR4220,1,1", false, "! id_query > model error\n"},
        {"Other,Other,1,1", false, "! id_query > manufacturer error\n! id_query > model error\n"},
        {"", false, "! id_query > manufacturer error\n! id_query > model error\n"},
    };
    for (const auto& c : cases) {
        zsim_set_identity(analyzer.c_str(), c.idn);
        ViSession vi = 0;
        std::string out;
        const ViStatus status = init(VI_TRUE, VI_FALSE, "", &vi, &out);
        if (c.passes) {
            EXPECT_EQ(status, 0) << c.idn;
            EXPECT_EQ(close(vi), 0);
        } else {
            EXPECT_EQ(status, ZOR_ERROR_IDENTITY_CHECK) << c.idn;
            EXPECT_NE(out.find(c.message), std::string::npos) << c.idn << "\n" << out;
            // The session the engine made was disposed of, and no handle is left.
            EXPECT_EQ(vi, 0u);
        }
    }
}

TEST_F(Session, SimulatedSessionsWorkAgainstAnAnalyzerOfTheirOwn) {
    ViSession vi = 0;
    ASSERT_EQ(init(VI_TRUE, VI_TRUE, "Simulate=1,QueryInstrStatus=1", &vi), 0);
    ViSession io = 0;
    Ivi_GetAttributeViSession(vi, nullptr, IVI_ATTR_IO_SESSION, 0, &io);
    EXPECT_NE(io, 0u);

    // Settings round-trip, and data come back for every point.
    ViReal64 start = 0;
    EXPECT_EQ(ZOR_SetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, 2e9), 0);
    EXPECT_EQ(ZOR_GetAttributeViReal64(vi, "Channel1", ZOR_ATTR_FREQUENCY_START, &start), 0);
    EXPECT_DOUBLE_EQ(start, 2e9);
    ViInt32 points = 0;
    EXPECT_EQ(ZOR_GetAttributeViInt32(vi, "Channel1", ZOR_ATTR_SWEEP_NUMBER_OF_POINTS, &points), 0);
    std::vector<ViReal64> data(2 * static_cast<std::size_t>(points));
    ViInt32 count = 0;
    EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Trace1", 1, static_cast<ViInt32>(data.size()), data.data(), &count), 0);
    EXPECT_EQ(count, 2 * points);
    char identity[256] = {}, firmware[256] = {};
    EXPECT_EQ(ZOR_revision_query(vi, identity, firmware), 0);
    EXPECT_STRNE(firmware, "");

    // The named resource heard nothing; a second simulated session has its
    // own analyzer.
    EXPECT_TRUE(log().empty());
    ViSession other = 0;
    ASSERT_EQ(init(VI_FALSE, VI_FALSE, "Simulate=1", &other), 0);
    EXPECT_EQ(ZOR_GetAttributeViReal64(other, "Channel1", ZOR_ATTR_FREQUENCY_START, &start), 0);
    EXPECT_NE(start, 2e9);
    EXPECT_EQ(close(other), 0);
    EXPECT_EQ(close(vi), 0);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(Session, FailingStatusChecksTearDown) {
    struct {
        const char* reply;
        ViStatus read_status;
        ViStatus expected;
    } cases[] = {
        {"32", 0, ZOR_ERROR_INSTRUMENT_STATUS},
        {nullptr, 0, VI_ERROR_TMO},  // no answer at all: a time-out
        {nullptr, VI_ERROR_CONN_LOST, VI_ERROR_CONN_LOST},
        {"garbage", 0, VI_ERROR_INV_FMT},
    };
    for (const auto& c : cases) {
        script("*ESR?", c.reply, c.read_status);
        ViSession vi = 0;
        vi = 77;
        EXPECT_EQ(init(VI_TRUE, VI_FALSE, "QueryInstrStatus=true", &vi), c.expected);
        EXPECT_EQ(vi, static_cast<ViSession>(VI_NULL));  // no dead session number left behind
    }
}

TEST_F(Session, FailingResetDoesNotFailInit) {
    script("*RST", nullptr, 0, VI_ERROR_IO);
    ViSession vi = 0;
    std::string out;
    ASSERT_EQ(init(VI_TRUE, VI_TRUE, "", &vi, &out), 0);
    EXPECT_NE(out.find("cmd: '*RST' error -> "), std::string::npos);
    EXPECT_EQ(close(vi), 0);
}

TEST_F(Session, BadArgumentsAndOptions) {
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_FALSE, "", nullptr),
              ZOR_ERROR_NULL_POINTER);
    ViStatus primary = 0, secondary = 0;
    char elaboration[256] = {};
    Ivi_GetErrorInfo(0, &primary, &secondary, elaboration);
    EXPECT_EQ(primary, ZOR_ERROR_NULL_POINTER);
    EXPECT_EQ(secondary, Ivi_ParamPositionError(5));
    EXPECT_STREQ(elaboration, "Null address for Instrument Handle (Vi)");

    ViSession vi = 0;
    // A malformed option string: the error names the item.
    for (const char* options : {"Simulate=maybe", "Cache=1, Speed=9", "RangeCheck"}) {
        EXPECT_EQ(init(VI_TRUE, VI_FALSE, options, &vi), IVI_ERROR_INVALID_OPTION_STRING);
        ViStatus code = 0;
        char text[512] = {};
        EXPECT_EQ(ZOR_GetError(VI_NULL, &code, sizeof text, text), 0);
        EXPECT_EQ(code, IVI_ERROR_INVALID_OPTION_STRING);
        const std::string item = std::string(options).substr(std::string(options).rfind(' ') + 1);
        EXPECT_NE(std::string(text).find("item not understood: \"" + item + "\""), std::string::npos) << text;
    }
    const std::string long_name(300, 'x');
    EXPECT_EQ(ZOR_InitWithOptions(const_cast<char*>(long_name.c_str()), VI_TRUE, VI_FALSE, "", &vi),
              VI_ERROR_INV_RSRC_NAME);
    EXPECT_TRUE(log().empty());
}

TEST_F(Session, UnknownResourceFailsWithVisasStatus) {
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_InitWithOptions(const_cast<char*>("TCPIP::127.0.0.1::1::SOCKET"), VI_TRUE, VI_FALSE,
                                                "", &vi);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_LT(status, 0);
    EXPECT_NE(out.find("[ERROR] Open resource TCPIP::127.0.0.1::1::SOCKET failed: {status="), std::string::npos);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}

TEST_F(Session, SessionsAreIndependent) {
    ViSession a = 0, b = 0;
    ASSERT_EQ(init(VI_TRUE, VI_FALSE, "", &a), 0);
    ASSERT_EQ(init(VI_TRUE, VI_FALSE, "", &b), 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(close(a), 0);
    EXPECT_EQ(Ivi_ValidateSession(b), 0);
    EXPECT_TRUE(lockable_from_another_thread(b));
    EXPECT_EQ(close(b), 0);
}
