// Tests of the utility exports: pass-through I/O, revisions, error records
// and the error queue, reset, self-test and the session lock.
#include <cstring>
#include <functional>

#include "function_fixture.h"

namespace {

using zor_test::strings;

class Utility : public zor_test::function_test_t {
protected:
    // What the engine says of a status, as ZOR_GetError must quote it.
    static std::string described(ViStatus status) {
        char text[256] = {};
        Ivi_GetSpecificDriverStatusDesc(0, status, text, nullptr);
        return text;
    }
    // Writes `text` through the pass-through write.
    ViStatus send_text(const std::string& text) {
        return ZOR_viWrite(vi, text.size(), reinterpret_cast<const ViByte*>(text.c_str()), nullptr);
    }
};

// The engine checks the instrument's status after the operations that ask for it.
class UtilityStatusChecked : public Utility {
protected:
    const char* options() const override { return "QueryInstrStatus=1"; }
};

class UtilitySimulated : public Utility {
protected:
    const char* options() const override { return "Simulate=1"; }
};

constexpr ViStatus null_pointer = static_cast<ViStatus>(0xBFFA000F);
constexpr ViStatus text_cut = static_cast<ViStatus>(0xBFFF0071);
constexpr ViStatus buffer_size = static_cast<ViStatus>(0xBFFA4001);
constexpr ViStatus invalid_session = static_cast<ViStatus>(0xBFFF000E);

// ---------------------------------------------------------------- null checks

struct null_case_t {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    ViInt32 position;
    const char* message;
};

TEST_F(Utility, NullArgumentsAreRefusedWithTheirRecordAndNothingSent) {
    char text[256] = {};
    ViInt32 code = 0;
    ViInt16 result = 0;
    const null_case_t cases[] = {
        {"viRead", [](ViSession s) { return ZOR_viRead(s, 10, nullptr, nullptr); }, 3, "Null address for Buffer"},
        {"viWrite", [](ViSession s) { return ZOR_viWrite(s, 10, nullptr, nullptr); }, 3, "Null address for Buffer"},
        {"revision driver", [&](ViSession s) { return ZOR_revision_query(s, nullptr, text); }, 2,
         "Null address for Driver Revision"},
        {"revision instrument", [&](ViSession s) { return ZOR_revision_query(s, text, nullptr); }, 3,
         "Null address for Instrument Revision"},
        {"error_message", [](ViSession s) { return ZOR_error_message(s, 0, nullptr); }, 3,
         "Null address for Error Message"},
        {"GetError code", [&](ViSession s) { return ZOR_GetError(s, nullptr, 256, text); }, 2, "Null address for Error"},
        {"GetError description", [&](ViSession s) { return ZOR_GetError(s, &code, 256, nullptr); }, 4,
         "Null address for Description"},
        {"error_query code", [&](ViSession s) { return ZOR_error_query(s, nullptr, text); }, 2,
         "Null address for Error Code"},
        {"error_query message", [&](ViSession s) { return ZOR_error_query(s, &code, nullptr); }, 3,
         "Null address for Error Message"},
        {"self_test result", [&](ViSession s) { return ZOR_self_test(s, nullptr, text); }, 2,
         "Null address for Test Result"},
        {"self_test message", [&](ViSession s) { return ZOR_self_test(s, &result, nullptr); }, 3,
         "Null address for Test Message"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clear_log();
        EXPECT_EQ(c.call(vi), null_pointer);
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
        EXPECT_EQ(primary, null_pointer);
        EXPECT_EQ(secondary, Ivi_ParamPositionError(c.position));
        EXPECT_STREQ(elaboration, c.message);
        EXPECT_TRUE(log().empty());
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

// ---------------------------------------------------------------- viWrite / viRead

TEST_F(Utility, WriteSendsUpToTheNulOrTheCountWhicheverComesFirst) {
    const ViByte text[] = "*CLS\0:ABORt";
    ViUInt64 written = 99;
    EXPECT_EQ(ZOR_viWrite(vi, sizeof text, text, &written), 0);
    EXPECT_EQ(written, 4u);
    const ViByte longer[] = ":SYSTem:PRESet";
    EXPECT_EQ(ZOR_viWrite(vi, 6, longer, &written), 0);
    EXPECT_EQ(written, 6u);
    // No NUL within the count: exactly count bytes, nothing read beyond them.
    const ViByte unterminated[4] = {'*', 'W', 'A', 'I'};
    EXPECT_EQ(ZOR_viWrite(vi, sizeof unterminated, unterminated, nullptr), 0);
    EXPECT_EQ(log(), (strings{"*CLS", ":SYSTe", "*WAI"}));
}

TEST_F(Utility, FailedWriteReturnsVisaStatusAndLeavesTheCountAlone) {
    script("*CLS", nullptr, 0, VI_ERROR_IO);
    ViUInt64 written = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_viWrite(vi, 4, reinterpret_cast<const ViByte*>("*CLS"), &written), VI_ERROR_IO);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(written, 77u);
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Utility, ReadReturnsTheWholeReplyWithoutTrailingWhiteSpace) {
    ASSERT_EQ(send_text("*IDN?"), 0);
    ViByte buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    ViUInt64 count = 0;
    EXPECT_EQ(ZOR_viRead(vi, sizeof buffer, buffer, &count), 0);
    const std::string identity = "Quorvex Technologies,ZOR4220,SIM00001,1.0.0";
    EXPECT_EQ(reinterpret_cast<char*>(buffer), identity);
    EXPECT_EQ(count, identity.size());
    // The bounded copy zero-fills the rest of the buffer.
    EXPECT_EQ(buffer[sizeof buffer - 1], 0);
}

struct read_case_t {
    std::string reply;
    ViUInt64 count;
    ViStatus status;
    std::string stored;
    ViUInt64 length;
};

TEST_F(Utility, ReadCutsToTheCountAndReportsTheFullLength) {
    const std::string long_reply(700, 'r');
    const read_case_t cases[] = {
        {"0123456789", 4, text_cut, "012", 10},
        {"0123456789", 10, text_cut, "012345678", 10},
        {"0123456789", 11, 0, "0123456789", 10},
        {"abc  \t ", 10, 0, "abc", 3},
        {"a b", 10, 0, "a b", 3},
        {long_reply, 1000, 0, long_reply, 700},       // several 256-byte pieces
        {long_reply, 300, text_cut, long_reply.substr(0, 299), 700},
        {long_reply, 1, text_cut, "", 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 12) + " / " + std::to_string(c.count));
        script("*IDN?", c.reply.c_str());
        ASSERT_EQ(send_text("*IDN?"), 0);
        std::vector<ViByte> buffer(c.count + 8, 'x');
        ViUInt64 length = 0;
        EXPECT_EQ(ZOR_viRead(vi, c.count, buffer.data(), &length), c.status);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data())), c.stored);
        // Nothing is written past the count.
        EXPECT_EQ(buffer[c.count], 'x');
    }
}

TEST_F(Utility, ReadWithCountZeroIsRefusedAndLeavesTheReplyQueued) {
    ASSERT_EQ(send_text("*OPC?"), 0);
    ViByte buffer[16] = {'x'};
    ViUInt64 length = 5;
    EXPECT_EQ(ZOR_viRead(vi, 0, buffer, &length), buffer_size);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(ZOR_viRead(vi, sizeof buffer, buffer, &length), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "1");
}

TEST_F(Utility, ReadFailureReturnsVisaStatusAndTouchesNothing) {
    ViByte buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    ViUInt64 length = 5;
    // Nothing was asked: the read times out.
    EXPECT_EQ(ZOR_viRead(vi, sizeof buffer, buffer, &length), VI_ERROR_TMO);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_TRUE(lockable_from_another_thread());
}

// ---------------------------------------------------------------- revision_query

TEST_F(Utility, RevisionQueryGivesTheDriverTextAndTheFirmwareField) {
    char driver[256], instrument[256];
    EXPECT_EQ(ZOR_revision_query(vi, driver, instrument), 0);
    EXPECT_STREQ(driver, "Driver: ZOR 1.0, Compiler: MSVC 14.00, Components: IVIEngine 19.00, VISA-Spec 5.80");
    EXPECT_STREQ(instrument, "1.0.0");
    EXPECT_EQ(log(), (strings{"*idn?"}));
}

TEST_F(Utility, RevisionQueryRefusesAnIncompleteIdentityAndCutsALongFirmwareText) {
    char driver[256], instrument[256] = "untouched";
    script("*idn?", "Quorvex Technologies,ZOR4220,SIM00001");
    EXPECT_EQ(ZOR_revision_query(vi, driver, instrument), static_cast<ViStatus>(0xBFFA0010));
    EXPECT_STREQ(instrument, "untouched");

    const std::string firmware(300, 'f');
    script("*idn?", ("Quorvex Technologies,ZOR4220,SIM00001," + firmware).c_str());
    EXPECT_EQ(ZOR_revision_query(vi, driver, instrument), text_cut);
    EXPECT_EQ(std::string(instrument), firmware.substr(0, 255));
}

TEST_F(UtilityStatusChecked, RevisionQueryChecksStatusOnlyWhenTheEngineAsks) {
    char driver[256], instrument[256];
    EXPECT_EQ(ZOR_revision_query(vi, driver, instrument), 0);
    EXPECT_EQ(log(), (strings{"*idn?"}));
    // The error query marks the status as needing a check.
    ViInt32 code = 0;
    ASSERT_EQ(ZOR_error_query(vi, &code, driver), 0);
    clear_log();
    script("*ESR?", "32");
    EXPECT_EQ(ZOR_revision_query(vi, driver, instrument), static_cast<ViStatus>(0xBFFA0001));
    // The error queue, read for the error record, is empty here.
    EXPECT_EQ(log(), (strings{"*idn?", "*ESR?", ":SYST:ERR?"}));
}

// ---------------------------------------------------------------- error_message / GetError

TEST_F(Utility, ErrorMessageDescribesThroughTheEngineWithOrWithoutSession) {
    char message[256];
    EXPECT_EQ(ZOR_error_message(vi, VI_ERROR_TMO, message), 0);
    EXPECT_EQ(message, described(VI_ERROR_TMO));
    EXPECT_FALSE(std::string(message).empty());
    // The engine's unknown-status warning is not passed on.
    EXPECT_EQ(ZOR_error_message(0, static_cast<ViStatus>(0x12345678), message), 0);
    EXPECT_STREQ(message, "Unknown status code 0x12345678");
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Utility, GetErrorReportsTheRecordLineByLineAndClearsIt) {
    ASSERT_EQ(ZOR_viWrite(vi, 3, nullptr, nullptr), null_pointer);
    ViStatus code = 0;
    char text[1024];
    EXPECT_EQ(ZOR_GetError(vi, &code, sizeof text, text), 0);
    EXPECT_EQ(code, null_pointer);
    const ViStatus secondary = static_cast<ViStatus>(0xBFFC0003);
    ASSERT_EQ(Ivi_ParamPositionError(3), secondary);
    const std::string expected = "Primary-Error: (0xBFFA000F) " + described(null_pointer) +
                                 "\nSecondary-Error: (0xBFFC0003) " + described(secondary) +
                                 "\nElaboration: Null address for Buffer";
    EXPECT_EQ(text, expected);

    // Taken: the second call finds nothing.
    code = 1;
    EXPECT_EQ(ZOR_GetError(vi, &code, sizeof text, text), 0);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(text, "");
}

TEST_F(Utility, GetErrorWithOnlyAPrimaryCodeGivesOneLine) {
    Ivi_SetErrorInfo(vi, VI_FALSE, VI_ERROR_TMO, 0, "");
    ViStatus code = 0;
    char text[256];
    EXPECT_EQ(ZOR_GetError(vi, &code, sizeof text, text), 0);
    EXPECT_EQ(code, VI_ERROR_TMO);
    EXPECT_EQ(text, "Primary-Error: (0xBFFF0015) " + described(VI_ERROR_TMO) + "\n");
}

TEST_F(Utility, GetErrorWithSizeZeroTellsTheSizeAndKeepsTheRecord) {
    Ivi_SetErrorInfo(vi, VI_FALSE, VI_ERROR_TMO, 0, "waited");
    const std::string expected = "Primary-Error: (0xBFFF0015) " + described(VI_ERROR_TMO) + "\nElaboration: waited";
    ViStatus code = 0;
    EXPECT_EQ(ZOR_GetError(vi, &code, 0, nullptr), static_cast<ViStatus>(expected.size() + 1));
    EXPECT_EQ(code, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_GetError(vi, nullptr, 0, nullptr), static_cast<ViStatus>(expected.size() + 1));

    std::vector<char> text(expected.size() + 1);
    EXPECT_EQ(ZOR_GetError(vi, &code, static_cast<ViInt32>(text.size()), text.data()), 0);
    EXPECT_EQ(text.data(), expected);
}

TEST_F(Utility, GetErrorCutsToTheBufferAndRefusesANegativeSizeWithoutLosingTheRecord) {
    Ivi_SetErrorInfo(vi, VI_FALSE, VI_ERROR_TMO, 0, "waited");
    ViStatus code = 0;
    char text[32];
    EXPECT_EQ(ZOR_GetError(vi, &code, -1, text), buffer_size);
    EXPECT_EQ(take_error().first, VI_ERROR_TMO);

    Ivi_SetErrorInfo(vi, VI_FALSE, VI_ERROR_TMO, 0, "waited");
    EXPECT_EQ(ZOR_GetError(vi, &code, 10, text), text_cut);
    EXPECT_STREQ(text, "Primary-E");
    EXPECT_EQ(code, VI_ERROR_TMO);
}

TEST_F(Utility, SessionCheckedExportsRefuseAnUnknownSession) {
    ViStatus code = 0;
    char text[256];
    EXPECT_EQ(ZOR_GetError(vi + 1000, &code, sizeof text, text), invalid_session);
    EXPECT_EQ(ZOR_reset(0), invalid_session);
    EXPECT_EQ(ZOR_ResetWithDefaults(vi + 1000), invalid_session);
    EXPECT_EQ(ZOR_Disable(vi + 1000), invalid_session);
    EXPECT_TRUE(log().empty());
}

TEST_F(Utility, EngineForwardersAnswerForTheSession) {
    Ivi_SetErrorInfo(vi, VI_FALSE, VI_ERROR_TMO, 0, "waited");
    EXPECT_EQ(ZOR_ClearError(vi), 0);
    EXPECT_EQ(take_error(), (std::pair<ViStatus, std::string>{0, ""}));
    char record[64] = "stale";
    EXPECT_EQ(ZOR_GetNextCoercionRecord(vi, sizeof record, record), 0);
    EXPECT_STREQ(record, "");
    EXPECT_EQ(ZOR_InvalidateAllAttributes(vi), 0);
    EXPECT_EQ(ZOR_InvalidateAllAttributes(vi + 1000), invalid_session);
    EXPECT_EQ(ZOR_ClearError(vi + 1000), invalid_session);
    EXPECT_EQ(ZOR_Disable(vi), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(Utility, CallerLockNestsTheLibrarysOwnPairs) {
    ViBoolean has_lock = VI_FALSE;
    ASSERT_EQ(ZOR_LockSession(vi, &has_lock), 0);
    EXPECT_EQ(has_lock, VI_TRUE);
    char text[256];
    ViStatus code = 0;
    EXPECT_EQ(ZOR_GetError(vi, &code, sizeof text, text), 0);  // itself nests ZOR_error_message
    EXPECT_EQ(ZOR_reset(vi), 0);
    EXPECT_EQ(ZOR_UnlockSession(vi, &has_lock), 0);
    EXPECT_EQ(has_lock, VI_FALSE);
    EXPECT_TRUE(lockable_from_another_thread());
    EXPECT_EQ(ZOR_UnlockSession(vi, nullptr), IVI_ERROR_NOT_LOCKED_BY_CALLER);
}

// ---------------------------------------------------------------- error_query / self_test

TEST_F(Utility, ErrorQueryTakesTheAnalyzersQueueInOrder) {
    ASSERT_EQ(send_text(":NOSuch:COMMand"), 0);
    ViInt32 code = 0;
    char message[256];
    EXPECT_EQ(ZOR_error_query(vi, &code, message), 0);
    EXPECT_EQ(code, -113);
    EXPECT_NE(std::string(message).find("Undefined header"), std::string::npos) << message;
    EXPECT_EQ(ZOR_error_query(vi, &code, message), 0);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(message, "No error");
    EXPECT_EQ(log(), (strings{":NOSuch:COMMand", ":SYST:ERR?", ":SYST:ERR?"}));
}

TEST_F(Utility, ErrorQueryFailureLeavesTheOutputsAlone) {
    struct fault_t {
        const char* reply;
        int read_status;
    };
    for (const fault_t f : {fault_t{nullptr, VI_ERROR_TMO}, fault_t{"garbage", 0}}) {
        SCOPED_TRACE(f.reply ? f.reply : "time-out");
        script(":SYST:ERR?", f.reply, f.read_status);
        ViInt32 code = 42;
        char message[256] = "untouched";
        EXPECT_LT(ZOR_error_query(vi, &code, message), 0);
        EXPECT_EQ(code, 42);
        EXPECT_STREQ(message, "untouched");
    }
    EXPECT_TRUE(lockable_from_another_thread());
}

TEST_F(Utility, SelfTestReportsTheResultAndAnEmptyMessage) {
    ViInt16 result = 9;
    char message[256];
    std::memset(message, 'x', sizeof message);
    EXPECT_EQ(ZOR_self_test(vi, &result, message), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(message, sizeof message), std::string(sizeof message, '\0'));
    script("*TST?", "3");
    EXPECT_EQ(ZOR_self_test(vi, &result, message), 0);
    EXPECT_EQ(result, 3);
    EXPECT_EQ(log(), (strings{"*TST?", "*TST?"}));

    script("*TST?", nullptr, VI_ERROR_TMO);
    result = 9;
    EXPECT_EQ(ZOR_self_test(vi, &result, message), VI_ERROR_TMO);
    EXPECT_EQ(result, 9);
}

TEST_F(UtilitySimulated, ErrorQueryAndSelfTestAnswerWithoutTraffic) {
    ViInt32 code = 5;
    char message[256] = {};
    EXPECT_EQ(ZOR_error_query(vi, &code, message), 0);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(message, "No error.");
    ViInt16 result = 5;
    std::strcpy(message, "stale");
    EXPECT_EQ(ZOR_self_test(vi, &result, message), 0);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "No error.");
    EXPECT_EQ(ZOR_reset(vi), 0);
    EXPECT_TRUE(log().empty());
}

// ---------------------------------------------------------------- reset

TEST_F(Utility, ResetRestoresTheAnalyzersSettings) {
    ASSERT_EQ(send_text(":SENSe1:SWEep:POINts 401"), 0);
    EXPECT_EQ(ZOR_reset(vi), 0);
    ASSERT_EQ(send_text(":SENSe1:SWEep:POINts?"), 0);
    char reply[32];
    ASSERT_EQ(ZOR_viRead(vi, sizeof reply, reinterpret_cast<ViByte*>(reply), nullptr), 0);
    EXPECT_STREQ(reply, "201");
    EXPECT_EQ(ZOR_ResetWithDefaults(vi), 0);
    EXPECT_EQ(log(), (strings{":SENSe1:SWEep:POINts 401", "*RST", ":SENSe1:SWEep:POINts?", "*RST"}));
}

TEST_F(UtilityStatusChecked, ResetChecksTheStatusAfterwardsAndOnlyItCanFail) {
    EXPECT_EQ(ZOR_reset(vi), 0);
    EXPECT_EQ(log(), (strings{"*RST", "*ESR?"}));

    // A failed "*RST" is not the reset's failure.
    script("*RST", nullptr, 0, VI_ERROR_IO);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_reset(vi), 0);
    testing::internal::GetCapturedStdout();

    script("*ESR?", "36");
    EXPECT_EQ(ZOR_reset(vi), static_cast<ViStatus>(0xBFFA0001));
    script("*ESR?", "36");
    EXPECT_EQ(ZOR_ResetWithDefaults(vi), static_cast<ViStatus>(0xBFFA0001));
    script("*ESR?", nullptr, VI_ERROR_TMO);
    EXPECT_EQ(ZOR_reset(vi), VI_ERROR_TMO);
    EXPECT_TRUE(lockable_from_another_thread());
}

}  // namespace
