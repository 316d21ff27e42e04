// A minimal blocking TCP client for the tests (POSIX sockets or winsock).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class test_client_t {
public:
    explicit test_client_t(std::uint16_t port, const char* host = "127.0.0.1");  // throws std::runtime_error
    ~test_client_t();
    test_client_t(const test_client_t&) = delete;
    test_client_t& operator=(const test_client_t&) = delete;

    void send(std::string_view bytes);  // all of them
    // Bytes up to and including the next '\n'; empty on time-out or close.
    std::string read_line(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Exactly n bytes; fewer on time-out or close.
    std::string read_bytes(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True when nothing arrives within `wait`.
    bool silent_for(std::chrono::milliseconds wait);
    // True when the server closed the connection within `timeout`.
    bool closed_within(std::chrono::milliseconds timeout);
    void close();

private:
    bool fill(std::chrono::steady_clock::time_point deadline);  // false on time-out or close
    std::intptr_t socket_ = -1;
    std::string buffer_;
    bool eof_ = false;
};
