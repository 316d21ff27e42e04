// Helpers for the VISA library tests: a resource-manager fixture and a
// loopback TCP server that plays the instrument side of a socket resource.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "visa.h"
#include "zor_sim_control.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using test_socket_t = SOCKET;
#else
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using test_socket_t = int;
#endif

// The declarations the library exports, from the shared lists.
#define ZOR_TEST_DECLARE(name, ret, params) extern "C" ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_TEST_DECLARE)
ZOR_VISA_INSTRUMENT_FUNCTIONS(ZOR_TEST_DECLARE)
#undef ZOR_TEST_DECLARE
#define ZOR_TEST_DECLARE_VARIADIC(name, ret, params) extern "C" ret name params;
ZOR_VISA_VARIADIC_FUNCTIONS(ZOR_TEST_DECLARE_VARIADIC)
#undef ZOR_TEST_DECLARE_VARIADIC

class rm_fixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS); }
    void TearDown() override { viClose(rm); }

    ViSession open_sim(const std::string& analyzer) {
        zsim_factory_reset(analyzer.c_str());
        ViSession vi = 0;
        EXPECT_EQ(viOpen(rm, ("SIM0::" + analyzer + "::INSTR").c_str(), VI_NO_LOCK, 0, &vi), VI_SUCCESS);
        return vi;
    }

    ViSession rm = 0;
};

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Accepts one connection on 127.0.0.1 and runs `play` on it in a thread.
class loopback_server {
public:
    using play_t = std::function<void(test_socket_t)>;

    explicit loopback_server(play_t play) {
#if defined(_WIN32)
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#else
        std::signal(SIGPIPE, SIG_IGN);  // a play still sending when the client has gone must not end the test
#endif
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        listen(listener_, 1);
        thread_ = std::thread([this, play] {
            const test_socket_t peer = accept(listener_, nullptr, nullptr);
            set_receive_timeout(peer, 5000);  // a broken test must not hang the server
            play(peer);
            close_socket(peer);
        });
    }
    ~loopback_server() {
        thread_.join();
        close_socket(listener_);
    }
    loopback_server(const loopback_server&) = delete;
    loopback_server& operator=(const loopback_server&) = delete;

    std::string resource() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }
    std::uint16_t port() const { return port_; }

    static void send_all(test_socket_t s, const std::string& data) {
        std::size_t done = 0;
        while (done < data.size()) {
            const auto n = send(s, data.data() + done, static_cast<int>(data.size() - done), 0);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    // One line, line feed included; empty on time-out or close.
    static std::string recv_line(test_socket_t s) {
        std::string line;
        char c = 0;
        while (recv(s, &c, 1, 0) == 1) {
            line += c;
            if (c == '\n') return line;
        }
        return line;
    }
    static void set_receive_timeout(test_socket_t s, int ms) {
#if defined(_WIN32)
        DWORD tv = static_cast<DWORD>(ms);
#else
        timeval tv{ms / 1000, (ms % 1000) * 1000};
#endif
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&tv), sizeof tv);
    }
    static void close_socket(test_socket_t s) {
#if defined(_WIN32)
        closesocket(s);
#else
        ::close(s);
#endif
    }

private:
    test_socket_t listener_;
    std::uint16_t port_ = 0;
    std::thread thread_;
};
