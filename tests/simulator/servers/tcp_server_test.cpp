// The TCP server and its message framing.
#include "tcp_test_client.h"

#include <simulator/analyzer/analyzer.h>
#include <simulator/servers/tcp_server.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using zorsim::message_framer_t;
using zorsim::tcp_server_t;

namespace {

std::vector<std::string> frame(message_framer_t& f, std::string_view data) {
    std::vector<std::string> out;
    f.feed(data, out);
    return out;
}

}  // namespace

TEST(MessageFramer, LinesWholeFragmentedAndBatched) {
    message_framer_t f;
    EXPECT_EQ(frame(f, "*IDN?\n"), std::vector<std::string>{"*IDN?"});
    EXPECT_TRUE(frame(f, "SENS:FR").empty());
    EXPECT_EQ(f.pending(), 7u);
    EXPECT_TRUE(frame(f, "EQ:STAR?\r").empty());
    EXPECT_EQ(frame(f, "\n*OPC?\n*TST?\nX"), (std::vector<std::string>{"SENS:FREQ:STAR?", "*OPC?", "*TST?"}));
    EXPECT_EQ(frame(f, "\n\n"), (std::vector<std::string>{"X", ""}));
    EXPECT_EQ(f.pending(), 0u);
}

TEST(MessageFramer, BlocksMayHoldLineFeeds) {
    message_framer_t f;
    EXPECT_EQ(frame(f, "DATA #15a\nb\nc,1\n"), std::vector<std::string>{"DATA #15a\nb\nc,1"});
    // Split inside the header and inside the data.
    EXPECT_TRUE(frame(f, "DATA #").empty());
    EXPECT_TRUE(frame(f, "2").empty());
    EXPECT_TRUE(frame(f, "1").empty());
    EXPECT_TRUE(frame(f, "2\n\n\n").empty());
    EXPECT_TRUE(frame(f, "456789").empty());
    EXPECT_EQ(frame(f, "\n;*OPC?\n*IDN?\n"),
              (std::vector<std::string>{"DATA #212\n\n\n456789\n;*OPC?", "*IDN?"}));
    // A '#' in a string starts no block; #0, #H and broken headers end at LF.
    EXPECT_EQ(frame(f, "MMEM:STOR \"a#15\"\nX #0ab\nY #H1F\nZ #3x\n"),
              (std::vector<std::string>{"MMEM:STOR \"a#15\"", "X #0ab", "Y #H1F", "Z #3x"}));
    // An unterminated string still ends at the line's end.
    EXPECT_EQ(frame(f, "X \"open\nY 'q\n"), (std::vector<std::string>{"X \"open", "Y 'q"}));
    EXPECT_EQ(frame(f, "D #10\n"), std::vector<std::string>{"D #10"});
}

class TcpServer : public ::testing::Test {
protected:
    void SetUp() override { port = server.start(0); }
    std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();
    tcp_server_t server{analyzer};
    std::uint16_t port = 0;
};

TEST_F(TcpServer, StartsOnAFreePortAndAnswers) {
    EXPECT_NE(port, 0);
    EXPECT_EQ(server.port(), port);
    EXPECT_TRUE(server.running());
    test_client_t c(port);
    c.send("*IDN?\n");
    EXPECT_EQ(c.read_line(), std::string(zorsim::default_identity) + "\n");
    c.send("SENS:FREQ:STAR 1e6\r\n");
    c.send("SENS:FREQ:STAR?\r\n");
    EXPECT_EQ(c.read_line(), "+1.000000000000E+06\n");
    EXPECT_EQ(analyzer->wire_log(), (std::vector<std::string>{"*IDN?", "SENS:FREQ:STAR 1e6", "SENS:FREQ:STAR?"}));
}

TEST_F(TcpServer, FragmentedLinesAndTwoLinesInOneSend) {
    test_client_t c(port);
    c.send("SENS:FR");
    std::this_thread::sleep_for(30ms);
    c.send("EQ:ST");
    std::this_thread::sleep_for(30ms);
    c.send("AR?");
    EXPECT_TRUE(c.silent_for(100ms)) << "no reply before the line is complete";
    c.send("\n");
    EXPECT_EQ(c.read_line(), "+3.000000000000E+05\n");
    c.send("*OPC?\n*IDN?;*TST?\n");
    EXPECT_EQ(c.read_line(), "1\n");
    EXPECT_EQ(c.read_line(), std::string(zorsim::default_identity) + ";0\n");
    // One byte at a time.
    for (char ch : std::string("SENS:SWE:POIN?\n")) c.send(std::string(1, ch));
    EXPECT_EQ(c.read_line(), "201\n");
}

TEST_F(TcpServer, BlockParametersMayHoldLineFeeds) {
    zorsim::script_t s;
    s.message = "DATA #15a\nb\nc;DATA?";
    s.reply = "#15a\nb\nc";
    analyzer->add_script(s);
    test_client_t c(port);
    c.send("DATA #15a\nb");
    c.send("\nc;DATA?\n");
    EXPECT_EQ(c.read_bytes(9), "#15a\nb\nc\n");
}

TEST_F(TcpServer, LargeRepliesArriveWhole) {
    zorsim::script_t s;
    s.message = "BIG?";
    s.reply = std::string(3'000'000, 'x');
    analyzer->add_script(s);
    test_client_t c(port);
    c.send("BIG?\n*OPC?\n");
    std::string line = c.read_line(10s);
    EXPECT_EQ(line.size(), 3'000'001u);
    EXPECT_EQ(c.read_line(), "1\n");
}

TEST_F(TcpServer, OverlongMessageClosesTheConnection) {
    test_client_t c(port);
    // A block header announcing more than the server buffers, then its data.
    c.send("DATA #9999999999");
    const std::string chunk(1 << 20, 'x');
    try {
        for (std::size_t sent = 0; sent <= tcp_server_t::max_message_bytes; sent += chunk.size()) c.send(chunk);
    } catch (const std::runtime_error&) {
        // The server may close while we are still sending.
    }
    EXPECT_TRUE(c.closed_within(5s));
    test_client_t other(port);
    other.send("*OPC?\n");
    EXPECT_EQ(other.read_line(), "1\n") << "the server goes on serving";
}

TEST_F(TcpServer, ScriptedReadStatusSendsNothing) {
    zorsim::script_t s;
    s.message = "*OPC?";
    s.reply = "1";
    s.read_status = -1073807339;
    analyzer->add_script(s);
    test_client_t c(port);
    c.send("*OPC?\n");
    EXPECT_TRUE(c.silent_for(200ms));
    c.send("*OPC?\n");
    EXPECT_EQ(c.read_line(), "1\n");
}

TEST_F(TcpServer, CommandsWithoutReplySendNothing) {
    test_client_t c(port);
    c.send("*CLS\nBOGUS\n");
    EXPECT_TRUE(c.silent_for(150ms));
    c.send("SYST:ERR?\n");
    EXPECT_EQ(c.read_line(), "-113,\"Undefined header\"\n");
}

TEST_F(TcpServer, SeveralConcurrentClients) {
    constexpr int clients = 6;
    constexpr int rounds = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back([this, t, &failures] {
            try {
                test_client_t c(port);
                const std::string ch = std::to_string(t + 1);
                for (int i = 0; i < rounds; ++i) {
                    const std::string points = std::to_string(10 + i);
                    c.send("SENS" + ch + ":SWE:POIN " + points + ";POIN?\n");
                    if (c.read_line() != points + "\n") ++failures;
                }
            } catch (...) {
                ++failures;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(analyzer->wire_log().size(), static_cast<std::size_t>(clients * rounds));
}

TEST_F(TcpServer, ConnectionsAreCountedAndReaped) {
    {
        test_client_t a(port);
        test_client_t b(port);
        a.send("*OPC?\n");
        b.send("*OPC?\n");
        EXPECT_EQ(a.read_line(), "1\n");
        EXPECT_EQ(b.read_line(), "1\n");
        EXPECT_EQ(server.connection_count(), 2u);
    }
    auto deadline = std::chrono::steady_clock::now() + 2s;
    while (server.connection_count() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(server.connection_count(), 0u);
}

TEST_F(TcpServer, StopReturnsPromptlyWithClientsConnected) {
    test_client_t a(port);
    test_client_t b(port);
    test_client_t idle(port);
    a.send("*OPC?\n");
    EXPECT_EQ(a.read_line(), "1\n");
    b.send("SENS:FREQ:ST");  // half a message pending
    std::this_thread::sleep_for(50ms);
    auto t0 = std::chrono::steady_clock::now();
    server.stop();
    auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(server.running());
    EXPECT_TRUE(a.closed_within(2s));
    EXPECT_TRUE(b.closed_within(2s));
    EXPECT_TRUE(idle.closed_within(2s));
    EXPECT_THROW(test_client_t late(port), std::runtime_error);
    server.stop();  // twice is fine
}

TEST_F(TcpServer, RestartAfterStop) {
    server.stop();
    std::uint16_t again = server.start(0);
    test_client_t c(again);
    c.send("*OPC?\n");
    EXPECT_EQ(c.read_line(), "1\n");
}

TEST(TcpServerErrors, StartTwiceOrOnABusyPortFails) {
    tcp_server_t a(std::make_shared<zorsim::analyzer_t>());
    std::uint16_t port = a.start(0);
    EXPECT_THROW(a.start(0), zorsim::tcp_server_error);
    tcp_server_t b(std::make_shared<zorsim::analyzer_t>());
    EXPECT_THROW(b.start(port), zorsim::tcp_server_error);
    EXPECT_THROW(b.start(0, "not an address!"), zorsim::tcp_server_error);
    EXPECT_THROW(tcp_server_t(nullptr), zorsim::tcp_server_error);
}

TEST(TcpServerErrors, ObserverSeesMessagesAndReplies) {
    auto analyzer = std::make_shared<zorsim::analyzer_t>();
    tcp_server_t server(analyzer);
    std::mutex m;
    std::vector<std::string> seen;
    server.set_observer([&](std::uint64_t, const std::string& message, const zorsim::response_t& r) {
        std::lock_guard<std::mutex> lock(m);
        seen.push_back(message + "|" + r.reply);
    });
    test_client_t c(server.start(0));
    c.send("*OPC?\n*CLS\n*OPC?\n");
    EXPECT_EQ(c.read_line(), "1\n");
    EXPECT_EQ(c.read_line(), "1\n");
    server.stop();
    EXPECT_EQ(seen, (std::vector<std::string>{"*OPC?|1\n", "*CLS|", "*OPC?|1\n"}));
}
