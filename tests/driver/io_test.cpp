// The command object and the VISA resource against the in-process analyzer.
#include <gtest/gtest.h>

#include <cmath>

#include "io/visa_library.h"
#include "io/zor_api.h"
#include "sim_fixture.h"

using namespace qvdriver;

namespace {

class CommandObject : public zor_test::sim_test_t {
protected:
    zor_api_t api;
    ViSession rm = 0;

    void SetUp() override {
        sim_test_t::SetUp();
        ASSERT_TRUE(load_visa_library());
        ASSERT_EQ(visa::api().viOpenDefaultRM(&rm), 0);
        api.resource.rm = rm;
        status_t status = 0;
        testing::internal::CaptureStdout();
        api.open(status, resource, 0, 2000);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(status, 0);
        ASSERT_NE(api.resource.io, 0u);
        zsim_clear_wire_log(analyzer.c_str());
    }
    void TearDown() override { visa::api().viClose(rm); }
};

}  // namespace

TEST_F(CommandObject, OpenSendsOneIdentityQueryAndLogsTheReply) {
    zor_api_t other;
    other.resource.rm = rm;
    status_t status = -1;
    testing::internal::CaptureStdout();
    other.open(status, resource, 0, 2000);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("[INFO] Open resource {" + resource + "}<"), std::string::npos) << out;
    EXPECT_NE(out.find("ok --> {Quorvex Technologies,"), std::string::npos) << out;
    EXPECT_EQ(log(), (std::vector<std::string>{"*IDN?"}));

    // Already open on the same manager: nothing is sent.
    zsim_clear_wire_log(analyzer.c_str());
    other.open(status, resource, 0, 2000);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(log().empty());
    other.close(status);
}

TEST_F(CommandObject, OpenWithoutManagerOrOnUnknownResource) {
    zor_api_t other;
    status_t status = 0;
    testing::internal::CaptureStdout();
    other.open(status, "SIM::x::INSTR", 0, 2000);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, zor_error_no_resource_manager);
    EXPECT_EQ(out, "[ERROR] Open resource SIM::x::INSTR failed: {ViResourceManager is invalid!}\n");

    other.resource.rm = rm;
    testing::internal::CaptureStdout();
    other.open(status, "GPIB0::99::INSTR", 0, 2000);
    out = testing::internal::GetCapturedStdout();
    EXPECT_LT(status, 0);
    EXPECT_EQ(other.resource.io, 0u);
    EXPECT_NE(out.find("[ERROR] Open resource GPIB0::99::INSTR failed: {status="), std::string::npos) << out;
}

TEST_F(CommandObject, CheckStatusLooksOnlyAtErrorBits) {
    struct {
        const char* esr;
        status_t expected;
    } cases[] = {{"0", 0}, {"1", 0}, {"2", 0}, {"64", 0}, {"128", 0}, {"193", 0}, {"4", zor_error_instrument_status},
                 {"8", zor_error_instrument_status}, {"16", zor_error_instrument_status},
                 {"32", zor_error_instrument_status}, {"+33", zor_error_instrument_status}};
    for (const auto& c : cases) {
        script("*ESR?", c.esr);
        status_t status = -1;
        EXPECT_EQ(api.check_status(status), c.expected) << c.esr;
        EXPECT_EQ(status, c.expected);
    }
}

TEST_F(CommandObject, RealInstrumentErrorsReachCheckStatusAndErrorQueue) {
    status_t status = 0;
    api.write(status, ":NO:SUCH:COMMand 1", nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(api.check_status(status), zor_error_instrument_status);
    std::int32_t code = 0;
    std::string message;
    EXPECT_EQ(api.system_error(status, code, message), 0);
    EXPECT_LT(code, 0);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(api.system_error(status, code, message), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(message, "No error");
}

TEST_F(CommandObject, SystemErrorHoldsA256CharacterMessage) {
    const std::string long_message(300, 'm');
    script(":SYST:ERR?", ("-222," + std::string("\"") + long_message + "\"").c_str());
    std::int32_t code = 0;
    std::string message = "untouched";
    status_t status = -1;
    EXPECT_EQ(api.system_error(status, code, message), 0);
    EXPECT_EQ(code, -222);
    EXPECT_EQ(message, std::string(256, 'm'));

    script(":SYST:ERR?", nullptr, VI_ERROR_TMO);
    message = "untouched";
    EXPECT_EQ(api.system_error(status, code, message), VI_ERROR_TMO);
    EXPECT_EQ(message, "untouched");
}

TEST_F(CommandObject, NumberQueriesUseTheirWidths) {
    double real = 0;
    status_t status = 0;
    script("Q:REAL?", "+1.234567890123E+09");
    EXPECT_EQ(api.number_query(status, "Q:REAL?", real), 0);
    EXPECT_EQ(real, 1.234567890123e9);

    script("Q:BOOL?", "1");
    std::int16_t state = 0;
    EXPECT_EQ(api.number_query(status, "Q:BOOL?", state), 0);
    EXPECT_EQ(state, 1);

    script("Q:INT?", "-2147483648");
    std::int32_t number = 0;
    EXPECT_EQ(api.number_query(status, "Q:INT?", number), 0);
    EXPECT_EQ(number, INT32_MIN);

    // A reply that does not convert is an error, and the value stays.
    script("Q:REAL?", "OVERLOAD");
    real = 7.0;
    EXPECT_LT(api.number_query(status, "Q:REAL?", real), 0);
    EXPECT_EQ(real, 7.0);
    // Beyond a double's range (a long double holds it): no infinity.
    script("Q:REAL?", "1e400");
    EXPECT_LT(api.number_query(status, "Q:REAL?", real), 0);
    EXPECT_EQ(real, 7.0);
    script("Q:INT?", "abc");
    number = 7;
    EXPECT_LT(api.number_query(status, "Q:INT?", number), 0);
    EXPECT_EQ(number, 7);
}

TEST_F(CommandObject, ReadJoinsLongRepliesAndTrimsTrailingWhiteSpace) {
    std::string reply(10000, 'x');
    for (std::size_t i = 0; i < reply.size(); i += 97) reply[i] = static_cast<char>('a' + i % 26);
    script("LONG?", (reply + " \t\r\n").c_str());
    std::string got;
    status_t status = -1;
    EXPECT_EQ(api.text_query(status, "LONG?", got), 0);
    EXPECT_EQ(got, reply);

    script("EMPTY?", "\n");
    got = "stale";
    EXPECT_EQ(api.text_query(status, "EMPTY?", got), 0);
    EXPECT_EQ(got, "");

    script("NOTHING?", nullptr);
    EXPECT_EQ(api.text_query(status, "NOTHING?", got), VI_ERROR_TMO);
}

TEST_F(CommandObject, WriteFailuresAreReportedOnTheConsole) {
    script("*CLS", nullptr, 0, VI_ERROR_IO);
    status_t status = 0;
    testing::internal::CaptureStdout();
    api.clear_status(status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cmd: '*CLS' error -> " + std::to_string(VI_ERROR_IO) + "\n");
    EXPECT_EQ(status, VI_ERROR_IO);
}

TEST_F(CommandObject, CommonCommandsOnTheWire) {
    status_t status = 0;
    std::int32_t value = 0;
    api.clear_status(status);
    api.set_event_status_enable(status, 60);
    api.event_status_enable(status, value);
    EXPECT_EQ(value, 60);
    api.set_service_request_enable(status, 32);
    api.service_request_enable(status, value);
    EXPECT_EQ(value, 32);
    api.reset(status);
    api.wait(status);
    api.status_preset(status);
    api.operation_condition(status, value);
    api.operation_event(status, value);
    api.questionable_condition(status, value);
    api.questionable_event(status, value);
    api.status_byte(status, value);
    api.self_test(status, value);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(log(), (std::vector<std::string>{"*CLS", "*ESE 60", "*ESE?", "*SRE 32", "*SRE?", "*RST", "*WAI",
                                                "STATus:PRESet", "STATus:OPERation:CONDition?",
                                                "STATus:OPERation:EVENt?", "STATus:QUEStionable:CONDition?",
                                                "STATus:QUEStionable:EVENt?", "*STB?", "*TST?"}));
}

TEST_F(CommandObject, IdentityFields) {
    zsim_set_identity(analyzer.c_str(), "Quorvex Technologies,ZOR4220,SN123,2.5.1");
    status_t status = -1;
    std::string text;
    EXPECT_EQ(api.firmware_revision(status, text), 0);
    EXPECT_EQ(text, "2.5.1");
    EXPECT_EQ(api.serial_number(status, text), 0);
    EXPECT_EQ(text, "SN123");

    script("*idn?", "Quorvex Technologies,ZOR4220,SN123\n");
    text = "kept";
    EXPECT_EQ(api.firmware_revision(status, text), zor_error_identity_incomplete);
    script("*idn?", "Quorvex Technologies,ZOR4220,SN123\n");
    EXPECT_EQ(api.serial_number(status, text), zor_error_identity_incomplete);
    EXPECT_EQ(text, "kept");

    script("*idn?", nullptr);
    const auto fields = api.idn_fields();
    for (const auto& f : fields) EXPECT_EQ(f, "");

    const auto parsed = parse_idn_reply("  A, B,C,D,E\n");
    EXPECT_EQ(parsed[0], "A");
    EXPECT_EQ(parsed[1], " B");  // pieces are not trimmed one by one
    EXPECT_EQ(parsed[3], "D");
}

TEST_F(CommandObject, WaitOperationCompleteRestoresTheTimeout) {
    const auto& visa = visa::api();
    visa.viSetAttribute(api.resource.io, VI_ATTR_TMO_VALUE, 1234);
    status_t status = -1;
    EXPECT_EQ(api.wait_operation_complete(status, 5000), 0);
    ViUInt32 timeout = 0;
    visa.viGetAttribute(api.resource.io, VI_ATTR_TMO_VALUE, &timeout);
    EXPECT_EQ(timeout, 1234u);

    script("*OPC?", nullptr);
    EXPECT_EQ(api.wait_operation_complete(status, 10), VI_ERROR_TMO);
    visa.viGetAttribute(api.resource.io, VI_ATTR_TMO_VALUE, &timeout);
    EXPECT_EQ(timeout, 1234u);
}

TEST_F(CommandObject, CloseOfAClosedSessionWarns) {
    status_t status = 0;
    api.close(status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(api.resource.io, 0u);
    testing::internal::CaptureStdout();
    api.close(status);
    EXPECT_EQ(status, VI_WARN_NULL_OBJECT);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[Warning] visa_resource_t::close() >> The specified object reference is uninitialized.\n");
}
