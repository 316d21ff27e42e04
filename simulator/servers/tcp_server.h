// Serves an analyzer over TCP, like the raw SCPI socket (port 5025) of a
// LAN instrument: one program message per line, each reply sent back whole.
#pragma once

#include <simulator/analyzer/analyzer.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim {

namespace lan {
class connection_t;
class listener_t;
}  // namespace lan

// Cuts a byte stream into program messages: a message ends at '\n' outside
// a definite-length block (#NDDD<bytes>, whose bytes may hold '\n'); a
// trailing '\r' is removed. Quoted strings are tracked only so that a '#'
// inside one does not start a block ('\n' still ends a message there).
class message_framer_t {
public:
    // Appends the messages completed by `data` to `out`.
    void feed(std::string_view data, std::vector<std::string>& out);
    // Bytes received but not yet part of a complete message.
    std::size_t pending() const { return buffer_.size(); }
    void clear();

private:
    enum class state_t { text, double_quoted, single_quoted, hash, block_digits, block_data };
    std::string buffer_;
    state_t state_ = state_t::text;
    std::size_t digits_left_ = 0;
    std::size_t block_left_ = 0;
};

class tcp_server_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class tcp_server_t {
public:
    // A connection whose unfinished message grows past this is closed, so a
    // peer cannot make the server buffer without bound.
    static constexpr std::size_t max_message_bytes = 64u << 20;

    // Called for each message after the analyzer processed it (from the
    // connection's thread): connection number, message, response.
    using observer_t = std::function<void(std::uint64_t connection, const std::string& message, const response_t& response)>;

    explicit tcp_server_t(std::shared_ptr<analyzer_t> analyzer);
    ~tcp_server_t();  // stop()
    tcp_server_t(const tcp_server_t&) = delete;
    tcp_server_t& operator=(const tcp_server_t&) = delete;

    // Listens on bind_address:port (port 0 picks a free one) and returns the
    // port listened on. Throws tcp_server_error when it cannot listen or
    // when already started.
    std::uint16_t start(std::uint16_t port, const std::string& bind_address = "127.0.0.1");
    // Closes the listener and every connection and joins all threads. Safe
    // to call more than once, or without start().
    void stop();

    bool running() const;
    std::uint16_t port() const;
    std::size_t connection_count() const;  // connections open now
    void set_observer(observer_t observer);  // before start()

    std::shared_ptr<analyzer_t> analyzer() const { return analyzer_; }

private:
    void serve(lan::connection_t& connection);

    std::shared_ptr<analyzer_t> analyzer_;
    observer_t observer_;
    std::unique_ptr<lan::listener_t> listener_;
};

}  // namespace zorsim
