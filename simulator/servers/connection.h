// What the servers (raw socket, VXI-11 and its portmapper, HiSLIP) make of
// the shared socket seam (protocols/socket.h): listening sockets with one
// thread per connection, blocking reads that give up when the server stops,
// writes that may come from other threads (service requests), and outgoing
// connections (the VXI-11 interrupt channel).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zorsim::lan {

class connection_t {
public:
    connection_t(std::intptr_t socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}
    ~connection_t();
    connection_t(const connection_t&) = delete;
    connection_t& operator=(const connection_t&) = delete;

    // Exactly n bytes; false when the peer closed, on an error, or when the
    // server stops.
    bool read_exact(char* p, std::size_t n);
    // Some bytes (at most n), waiting as long as it takes; 0 when the peer
    // closed, on an error, or when the server stops.
    std::size_t read_some(char* p, std::size_t n);
    // Waits at most ms for something to read (false: nothing, or closed).
    bool readable_within(int ms);
    // Reads and drops whatever has arrived, without waiting; false when
    // the peer closed.
    bool discard_pending();
    bool write(std::string_view data);
    void shutdown();
    // The local address the peer reached, dotted (IPv4) or "" otherwise.
    std::string local_ipv4() const;
    std::uint64_t id = 0;

    // A connection to an IPv4 address (host order), or null when it cannot
    // be made within timeout_ms.
    static std::shared_ptr<connection_t> connect_ipv4(std::uint32_t address, std::uint16_t port, int timeout_ms,
                                                      const std::atomic<bool>& stopping);

private:
    std::intptr_t socket_;
    const std::atomic<bool>& stopping_;
    std::mutex write_mutex_;
};

class listener_t {
public:
    using serve_t = std::function<void(const std::shared_ptr<connection_t>&)>;
    listener_t() = default;
    ~listener_t() { stop(); }
    listener_t(const listener_t&) = delete;
    listener_t& operator=(const listener_t&) = delete;

    // Throws tcp_server_error when it cannot listen. Returns the port.
    std::uint16_t start(std::uint16_t port, const std::string& bind_address, serve_t serve);
    void stop();
    std::uint16_t port() const { return port_; }
    bool running() const { return accept_thread_.joinable(); }
    const std::atomic<bool>& stopping() const { return stopping_; }
    std::size_t active() const;  // connections being served now

private:
    struct worker_t {
        std::shared_ptr<connection_t> connection;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    void accept_loop();
    void reap();

    serve_t serve_;
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread accept_thread_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<worker_t>> workers_;
    std::uint64_t next_id_ = 1;
};

}  // namespace zorsim::lan
