// Sessions through the exported functions over a raw SCPI socket, against
// the simulated analyzer served by the same TCP server as vna-sim.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "ZOR.h"
#include "ivi_engine.h"
#include "visa.h"
#include "zorsim/analyzer.h"
#include "zorsim/tcp_server.h"
#include "../support/vna_sim_process.h"

extern "C" {
ViStatus ZOR_IVI_CALL Ivi_ValidateSession(ViSession vi);
}

namespace {

class SocketSession : public testing::Test {
protected:
    std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();
    std::unique_ptr<zorsim::tcp_server_t> server;
    std::string resource;

    void SetUp() override {
        server = std::make_unique<zorsim::tcp_server_t>(analyzer);
        const auto port = server->start(0);
        resource = "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
    }

    ViStatus init(const char* options, ViSession* vi) {
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_TRUE, options, vi);
        testing::internal::GetCapturedStdout();
        return status;
    }
    static ViStatus close(ViSession vi) {
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_close(vi);
        testing::internal::GetCapturedStdout();
        return status;
    }
};

}  // namespace

TEST_F(SocketSession, OpenIdentifyResetCheckAndClose) {
    ViSession vi = 0;
    ASSERT_EQ(init("QueryInstrStatus=1", &vi), 0);
    EXPECT_EQ(analyzer->wire_log(), (std::vector<std::string>{"*IDN?", "*idn?", "*RST", "*ESR?"}));
    EXPECT_EQ(ZOR_SetStandardStimulusSweepFrequencyStart(vi, "Channel2", 1.5e9), 0);
    ViReal64 start = 0;
    EXPECT_EQ(ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel2", &start), 0);
    EXPECT_EQ(start, 1.5e9);
    EXPECT_EQ(close(vi), 0);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}

TEST_F(SocketSession, IdentityMismatchOverTheWire) {
    analyzer->set_identity("Quorvex Technologies,ZOR,SN1,1.0");
    ViSession vi = 0;
    EXPECT_EQ(init("", &vi), ZOR_ERROR_IDENTITY_CHECK);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}

TEST_F(SocketSession, UnansweredStatusQueryTimesOutOnTime) {
    zorsim::script_t silence;
    silence.message = "*ESR?";
    silence.reply.reset();
    analyzer->add_script(silence);
    ViSession vi = 0;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(init("QueryInstrStatus=1", &vi), VI_ERROR_TMO);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    // The session's I/O timeout is 2000 ms.
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(4000));
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}

TEST_F(SocketSession, StoppedServerIsReportedNotHung) {
    server->stop();
    ViSession vi = 0;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(init("", &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
}

TEST_F(SocketSession, ServerGoneMidSessionGivesConnectionLost) {
    ViSession vi = 0;
    ASSERT_EQ(init("", &vi), 0);
    server->stop();
    ViReal64 start = 0;
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel1", &start);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(close(vi), 0);
}

// The vna-sim program itself, as users run it.
TEST(VnaSimProgramSession, InitCloseAndAClosedProgram) {
    zor_test::vna_sim_process_t program;
    std::string error;
    ASSERT_TRUE(program.start(error)) << error;
    std::string resource = program.resource();
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    EXPECT_EQ(program.received(), (std::vector<std::string>{"*IDN?", "*idn?", "*RST", "*ESR?"}));
    testing::internal::CaptureStdout();
    EXPECT_EQ(ZOR_close(vi), 0);
    testing::internal::GetCapturedStdout();

    program.stop();
    testing::internal::CaptureStdout();
    status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_TRUE, "", &vi);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, VI_ERROR_RSRC_NFOUND);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}
