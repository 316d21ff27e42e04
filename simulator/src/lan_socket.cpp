#if defined(_WIN32) && !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0601  // WSAPoll
#endif

#include "lan_socket.h"

#include <zorsim/tcp_server.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zorsim::lan {
namespace {

#ifdef _WIN32
using socket_t = SOCKET;
const socket_t invalid_socket = INVALID_SOCKET;
void close_socket(socket_t s) { ::closesocket(s); }
int last_error() { return ::WSAGetLastError(); }
bool interrupted(int) { return false; }
int poll_one(socket_t s, int timeout_ms, short events = POLLIN) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = events;
    return ::WSAPoll(&p, 1, timeout_ms);
}
bool set_blocking(socket_t s, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ::ioctlsocket(s, FIONBIO, &mode) == 0;
}
bool connect_pending(int e) { return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS; }
void ensure_sockets() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw tcp_server_error("WSAStartup failed");
    });
}
constexpr int send_flags = 0;
constexpr int shutdown_both = SD_BOTH;
#else
using socket_t = int;
const socket_t invalid_socket = -1;
void close_socket(socket_t s) { ::close(s); }
int last_error() { return errno; }
bool interrupted(int e) { return e == EINTR; }
int poll_one(socket_t s, int timeout_ms, short events = POLLIN) {
    pollfd p{};
    p.fd = s;
    p.events = events;
    return ::poll(&p, 1, timeout_ms);
}
bool set_blocking(socket_t s, bool blocking) {
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}
bool connect_pending(int e) { return e == EINPROGRESS; }
void ensure_sockets() {}
constexpr int send_flags = MSG_NOSIGNAL;
constexpr int shutdown_both = SHUT_RDWR;
#endif

socket_t to_socket(std::intptr_t v) { return static_cast<socket_t>(v); }
constexpr int poll_interval_ms = 100;

// Acknowledges at once what was just received. A client that writes a
// command and then a query, with Nagle's algorithm on, holds the query back
// until the command is acknowledged; a delayed acknowledgement would stall
// it for tens of milliseconds. Linux resets the option after a while, so it
// is set again after every receive.
void acknowledge_promptly(socket_t s) {
#if defined(TCP_QUICKACK)
    int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
    (void)s;
#endif
}

}  // namespace

connection_t::~connection_t() { close_socket(to_socket(socket_)); }

void connection_t::shutdown() { ::shutdown(to_socket(socket_), shutdown_both); }

bool connection_t::readable_within(int ms) {
    const int r = poll_one(to_socket(socket_), ms);
    return r > 0;
}

std::size_t connection_t::read_some(char* p, std::size_t n) {
    const socket_t s = to_socket(socket_);
    while (!stopping_) {
        const int ready = poll_one(s, poll_interval_ms);
        if (ready == 0) continue;
        if (ready < 0) {
            if (interrupted(last_error())) continue;
            return 0;
        }
        const auto got = ::recv(s, p, static_cast<int>(std::min<std::size_t>(n, 1u << 30)), 0);
        if (got < 0 && interrupted(last_error())) continue;
        if (got <= 0) return 0;
        acknowledge_promptly(s);
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
    char sink[512];
    while (poll_one(to_socket(socket_), 0) > 0)
        if (::recv(to_socket(socket_), sink, sizeof sink, 0) <= 0) return false;
    return true;
}

std::shared_ptr<connection_t> connection_t::connect_ipv4(std::uint32_t address, std::uint16_t port, int timeout_ms,
                                                         const std::atomic<bool>& stopping) {
    ensure_sockets();
    const socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == invalid_socket) return nullptr;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    // Non-blocking only while connecting, so an unreachable peer costs
    // timeout_ms and no more.
    bool connected = false;
    if (set_blocking(s, false)) {
        if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            connected = true;
        } else if (connect_pending(last_error()) && poll_one(s, timeout_ms, POLLOUT) > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 && error == 0;
        }
    }
    if (!connected || !set_blocking(s, true)) {
        close_socket(s);
        return nullptr;
    }
    int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return std::make_shared<connection_t>(static_cast<std::intptr_t>(s), stopping);
}

bool connection_t::write(std::string_view data) {
    std::lock_guard<std::mutex> lock(write_mutex_);
    const socket_t s = to_socket(socket_);
    std::size_t off = 0;
    while (off < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - off, 1u << 30);
        const auto n = ::send(s, data.data() + off, static_cast<int>(chunk), send_flags);
        if (n < 0) {
            if (interrupted(last_error())) continue;
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    return true;
}

std::string connection_t::local_ipv4() const {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(to_socket(socket_), reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.ss_family != AF_INET)
        return std::string();
    const auto* a = reinterpret_cast<const unsigned char*>(&reinterpret_cast<const sockaddr_in*>(&local)->sin_addr);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return text;
}

std::uint16_t listener_t::start(std::uint16_t port, const std::string& bind_address, serve_t serve) {
    if (accept_thread_.joinable()) throw tcp_server_error("listener already started");
    ensure_sockets();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(bind_address.empty() ? nullptr : bind_address.c_str(), service.c_str(), &hints, &found) != 0 ||
        !found)
        throw tcp_server_error("cannot resolve bind address '" + bind_address + "'");
    socket_t listener = invalid_socket;
    std::string failure = "no usable address";
    for (addrinfo* a = found; a; a = a->ai_next) {
        const socket_t s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == invalid_socket) continue;
        int one = 1;
#ifdef _WIN32
        // On Windows SO_REUSEADDR would let two servers share a port; the
        // exclusive option gives the POSIX meaning (bind fails when in use).
        ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
#else
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
        if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 || ::listen(s, 16) != 0) {
            failure = "cannot listen on " + bind_address + ":" + service + ": error " + std::to_string(last_error());
            close_socket(s);
            continue;
        }
        listener = s;
        break;
    }
    ::freeaddrinfo(found);
    if (listener == invalid_socket) throw tcp_server_error(failure);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    listener_ = static_cast<std::intptr_t>(listener);
    serve_ = std::move(serve);
    stopping_ = false;
    accept_thread_ = std::thread([this] { accept_loop(); });
    return port_;
}

void listener_t::accept_loop() {
    const socket_t listener = to_socket(listener_);
    while (!stopping_) {
        if (poll_one(listener, poll_interval_ms) <= 0) continue;
        const socket_t s = ::accept(listener, nullptr, nullptr);
        if (s == invalid_socket) continue;
        int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        std::lock_guard<std::mutex> lock(mutex_);
        reap();
        if (stopping_) {
            close_socket(s);
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
        close_socket(to_socket(listener_));
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
