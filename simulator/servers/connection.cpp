#include "connection.h"
#include "tcp_server.h"

#include <protocols/socket.h>

#include <algorithm>

namespace zorsim::lan {

namespace tcp = zorwire::tcp;

namespace {

tcp::handle_t to_socket(std::intptr_t v) { return static_cast<tcp::handle_t>(v); }
constexpr int poll_interval_ms = 100;

void require_sockets() {
    if (!tcp::ready()) throw tcp_server_error("sockets unavailable (WSAStartup failed)");
}

}  // namespace

connection_t::~connection_t() { tcp::close_handle(to_socket(socket_)); }

void connection_t::shutdown() { tcp::shutdown_handle(to_socket(socket_)); }

bool connection_t::readable_within(int ms) { return tcp::wait_handle(to_socket(socket_), false, ms) > 0; }

std::size_t connection_t::read_some(char* p, std::size_t n) {
    const tcp::handle_t s = to_socket(socket_);
    while (!stopping_) {
        const int ready = tcp::wait_handle(s, false, poll_interval_ms);
        if (ready == 0) continue;
        if (ready < 0) return 0;
        const long got = tcp::recv_some(s, p, n);
        if (got < 0 && tcp::would_block(tcp::last_error())) continue;
        if (got <= 0) return 0;
        tcp::acknowledge_promptly(s);
        return static_cast<std::size_t>(got);
    }
    return 0;
}

bool connection_t::read_exact(char* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const std::size_t got = read_some(p + done, n - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

bool connection_t::discard_pending() {
    const tcp::handle_t s = to_socket(socket_);
    char sink[512];
    while (tcp::wait_handle(s, false, 0) > 0) {
        const long got = tcp::recv_some(s, sink, sizeof sink);
        if (got < 0 && tcp::would_block(tcp::last_error())) return true;
        if (got <= 0) return false;
    }
    return true;
}

std::shared_ptr<connection_t> connection_t::connect_ipv4(std::uint32_t address, std::uint16_t port, int timeout_ms,
                                                         const std::atomic<bool>& stopping) {
    require_sockets();
    tcp::handle_t s = tcp::invalid_handle;
    if (tcp::connect(tcp::dotted(address), port, timeout_ms, s) != tcp::connect_t::connected) return nullptr;
    return std::make_shared<connection_t>(static_cast<std::intptr_t>(s), stopping);
}

bool connection_t::write(std::string_view data) {
    std::lock_guard<std::mutex> lock(write_mutex_);
    const tcp::handle_t s = to_socket(socket_);
    std::size_t off = 0;
    while (off < data.size()) {
        const long n = tcp::send_some(s, data.data() + off, data.size() - off);
        if (n > 0) {
            off += static_cast<std::size_t>(n);
            continue;
        }
        // A slow reader: wait for room, as long as the connection lives.
        if (n < 0 && tcp::would_block(tcp::last_error()) && tcp::wait_handle(s, true, poll_interval_ms) >= 0) continue;
        return false;
    }
    return true;
}

std::string connection_t::local_ipv4() const {
    std::uint32_t address = 0;
    return tcp::local_ipv4(to_socket(socket_), address) ? tcp::dotted(address) : std::string();
}

std::uint16_t listener_t::start(std::uint16_t port, const std::string& bind_address, serve_t serve) {
    if (accept_thread_.joinable()) throw tcp_server_error("listener already started");
    require_sockets();
    std::string error;
    const tcp::handle_t listener = tcp::listen_on(bind_address, port, 16, error);
    if (listener == tcp::invalid_handle) throw tcp_server_error(error);
    port_ = tcp::local_port(listener);
    listener_ = static_cast<std::intptr_t>(listener);
    serve_ = std::move(serve);
    stopping_ = false;
    accept_thread_ = std::thread([this] { accept_loop(); });
    return port_;
}

void listener_t::accept_loop() {
    const tcp::handle_t listener = to_socket(listener_);
    while (!stopping_) {
        if (tcp::wait_handle(listener, false, poll_interval_ms) <= 0) continue;
        const tcp::handle_t s = tcp::accept_handle(listener);
        if (s == tcp::invalid_handle) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        reap();
        if (stopping_) {
            tcp::close_handle(s);
            break;
        }
        auto w = std::make_unique<worker_t>();
        w->connection = std::make_shared<connection_t>(static_cast<std::intptr_t>(s), stopping_);
        w->connection->id = next_id_++;
        worker_t& ref = *w;
        workers_.push_back(std::move(w));
        ref.thread = std::thread([this, &ref] {
            serve_(ref.connection);
            ref.connection->shutdown();
            ref.finished = true;
        });
    }
}

std::size_t listener_t::active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto& w : workers_)
        if (!w->finished) ++n;
    return n;
}

void listener_t::reap() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void listener_t::stop() {
    stopping_ = true;
    if (accept_thread_.joinable()) accept_thread_.join();
    if (listener_ != -1) {
        tcp::close_handle(to_socket(listener_));
        listener_ = -1;
    }
    std::vector<std::unique_ptr<worker_t>> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& w : workers) w->connection->shutdown();
    for (auto& w : workers)
        if (w->thread.joinable()) w->thread.join();
}

}  // namespace zorsim::lan
