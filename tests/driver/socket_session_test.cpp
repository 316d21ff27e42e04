// Sessions through the exported functions over a raw SCPI socket, VXI-11
// and HiSLIP, against the simulated analyzer served by the servers vna-sim runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ZOR.h"
#include "ivi_engine.h"
#include "visa.h"
#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/lan_servers.h>
#include <simulator/servers/tcp_server.h>
#include "../support/vna_sim_process.h"

extern "C" {
ViStatus ZOR_IVI_CALL Ivi_ValidateSession(ViSession vi);
}

namespace {

enum class protocol_t { socket, vxi11, hislip };

// A driver session over each LAN protocol, against one simulated analyzer
// served in this process by the servers vna-sim runs.
class SocketSession : public testing::TestWithParam<protocol_t> {
protected:
    std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();
    std::unique_ptr<zorsim::tcp_server_t> server;
    std::unique_ptr<zorsim::vxi11_server_t> vxi11;
    std::unique_ptr<zorsim::hislip_server_t> hislip;
    std::string resource;

    void SetUp() override {
        switch (GetParam()) {
        case protocol_t::socket:
            server = std::make_unique<zorsim::tcp_server_t>(analyzer);
            resource = "TCPIP0::127.0.0.1::" + std::to_string(server->start(0)) + "::SOCKET";
            break;
        case protocol_t::vxi11:
            vxi11 = std::make_unique<zorsim::vxi11_server_t>(analyzer);
            vxi11->start(0);
            zor_test::vna_sim_process_t::set_portmapper_port(vxi11->portmapper_port());
            resource = "TCPIP0::127.0.0.1::inst0::INSTR";
            break;
        case protocol_t::hislip:
            hislip = std::make_unique<zorsim::hislip_server_t>(analyzer);
            resource = "TCPIP0::127.0.0.1::hislip0," + std::to_string(hislip->start(0)) + "::INSTR";
            break;
        }
    }
    void stop_server() {
        if (server) server->stop();
        if (vxi11) vxi11->stop();
        if (hislip) hislip->stop();
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

std::vector<double> numbers(const std::string& text) {
    std::vector<double> out;
    const char* p = text.c_str();
    while (*p != '\0' && *p != '\n') {
        char* end = nullptr;
        out.push_back(std::strtod(p, &end));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0' && *p != '\n') break;
    }
    return out;
}

}  // namespace

TEST_P(SocketSession, OpenIdentifyResetCheckAndClose) {
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

// A whole trace, long enough to take many pieces on every protocol, reads
// back as the analyzer holds it.
TEST_P(SocketSession, TraceFetchGivesTheAnalyzersData) {
    ViSession vi = 0;
    ASSERT_EQ(init("", &vi), 0);
    constexpr ViInt32 points = 20001;
    ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(vi, "Channel1", points), 0);
    std::vector<double> data(2 * points + 1, -99.0);
    ViInt32 count = -1;
    EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 2 * points, data.data(), &count), 0);
    EXPECT_EQ(count, 2 * points);
    data.pop_back();
    const std::vector<double> held = numbers(analyzer->receive(":CALCulate1:TRACe1:DATA:SDATa?").reply);
    EXPECT_EQ(data, held);
    EXPECT_EQ(close(vi), 0);
}

// The same trace through a DataFormat:REAL64 session: every bit of the
// analyzer's values, whose 13-digit text a text session reads.
TEST_P(SocketSession, Real64TraceFetchGivesTheAnalyzersValuesBitForBit) {
    ViSession text = 0, binary = 0;
    ASSERT_EQ(init("", &text), 0);
    constexpr ViInt32 points = 20001;
    ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(text, "Channel1", points), 0);
    std::vector<double> from_text(2 * points), from_binary(2 * points);
    ViInt32 count = -1;
    EXPECT_EQ(ZOR_MeasurementQueryData(text, "Channel1:Trace1", 1, 2 * points, from_text.data(), &count), 0);
    EXPECT_EQ(close(text), 0);

    ASSERT_EQ(init("DriverSetup=DataFormat:REAL64", &binary), 0);
    ASSERT_EQ(ZOR_SetChannelStandardStimulusSweepNumberOfPoints(binary, "Channel1", points), 0);
    EXPECT_EQ(ZOR_MeasurementQueryData(binary, "Channel1:Trace1", 1, 2 * points, from_binary.data(), &count), 0);
    EXPECT_EQ(count, 2 * points);
    const std::string block = analyzer->receive(":CALCulate1:TRACe1:DATA:SDATa?").reply;
    const std::string header = "#6" + std::to_string(16 * points);
    ASSERT_EQ(block.size(), header.size() + 16 * points + 1);
    EXPECT_EQ(block.substr(0, header.size()), header);
    char digits[32];
    for (std::size_t i = 0; i < from_binary.size(); ++i) {
        unsigned char bytes[8];
        std::memcpy(bytes, block.data() + header.size() + 8 * i, 8);
        std::uint64_t wire = 0, got = 0;
        for (int b = 7; b >= 0; --b) wire = wire << 8 | bytes[b];
        std::memcpy(&got, &from_binary[i], 8);
        ASSERT_EQ(got, wire) << i;
        std::snprintf(digits, sizeof digits, "%.12e", from_binary[i]);
        ASSERT_EQ(std::strtod(digits, nullptr), from_text[i]) << i;
    }
    EXPECT_EQ(close(binary), 0);
}

TEST_P(SocketSession, IdentityMismatchOverTheWire) {
    analyzer->set_identity("Quorvex Technologies,ZOR,SN1,1.0");
    ViSession vi = 0;
    EXPECT_EQ(init("", &vi), ZOR_ERROR_IDENTITY_CHECK);
    EXPECT_NE(Ivi_ValidateSession(vi), 0);
}

TEST_P(SocketSession, UnansweredStatusQueryTimesOutOnTime) {
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

TEST_P(SocketSession, StoppedServerIsReportedNotHung) {
    stop_server();
    ViSession vi = 0;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(init("", &vi), VI_ERROR_RSRC_NFOUND);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
}

TEST_P(SocketSession, ServerGoneMidSessionGivesConnectionLost) {
    ViSession vi = 0;
    ASSERT_EQ(init("", &vi), 0);
    stop_server();
    ViReal64 start = 0;
    testing::internal::CaptureStdout();
    const ViStatus status = ZOR_GetStandardStimulusSweepFrequencyStart(vi, "Channel1", &start);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, VI_ERROR_CONN_LOST);
    EXPECT_EQ(close(vi), 0);
}

INSTANTIATE_TEST_SUITE_P(Protocols, SocketSession,
                         testing::Values(protocol_t::socket, protocol_t::vxi11, protocol_t::hislip),
                         [](const testing::TestParamInfo<protocol_t>& info) {
                             return info.param == protocol_t::socket  ? "Socket"
                                    : info.param == protocol_t::vxi11 ? "Vxi11"
                                                                      : "Hislip";
                         });

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
