// Listening sockets and connections for the LAN protocol servers (VXI-11,
// its portmapper, HiSLIP): one thread per connection, blocking reads that
// give up when the server stops, writes that may come from other threads
// (service requests).
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
    // Waits at most ms for something to read (false: nothing, or closed).
    bool readable_within(int ms);
    bool write(std::string_view data);
    void shutdown();
    // The local address the peer reached, dotted (IPv4) or "" otherwise.
    std::string local_ipv4() const;
    std::uint64_t id = 0;

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
    const std::atomic<bool>& stopping() const { return stopping_; }

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
    std::mutex mutex_;
    std::vector<std::unique_ptr<worker_t>> workers_;
    std::uint64_t next_id_ = 1;
};

}  // namespace zorsim::lan
