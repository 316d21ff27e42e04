#include "socket.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zorwire::tcp {

#if defined(_WIN32)
const handle_t invalid_handle = INVALID_SOCKET;

bool ready() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        WSADATA data;
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return ok;
}
int last_error() { return WSAGetLastError(); }
bool would_block(int e) { return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS || e == WSAEINTR; }
bool interrupted(int e) { return e == WSAEINTR; }
void close_handle(handle_t s) { closesocket(s); }
void shutdown_handle(handle_t s) { shutdown(s, SD_BOTH); }
bool set_blocking(handle_t s, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &mode) == 0;
}
// select() rather than WSAPoll: WSAPoll misses failed connects on older systems.
int wait_handle(handle_t s, bool for_write, int ms) {
    fd_set set, errors;
    FD_ZERO(&set);
    FD_ZERO(&errors);
    FD_SET(s, &set);
    FD_SET(s, &errors);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int r = select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, &errors, &tv);
    if (r < 0) return -1;
    return r > 0 ? 1 : 0;
}
long send_some(handle_t s, const char* p, std::size_t n) {
    return send(s, p, static_cast<int>(std::min<std::size_t>(n, 1u << 30)), 0);
}
long recv_some(handle_t s, char* p, std::size_t n) {
    return recv(s, p, static_cast<int>(std::min<std::size_t>(n, 1u << 30)), 0);
}
// Sockets that must not block stay non-blocking here: try, wait, try again.
long recv_waiting(handle_t s, char* p, std::size_t n, int ms, int& /*timeout_ms*/) {
    const long got = recv_some(s, p, n);
    if (got >= 0 || !would_block(last_error()) || ms <= 0) return got;
    if (wait_handle(s, false, ms) < 0) return -1;
    return recv_some(s, p, n);
}
bool set_waiting_mode(handle_t s) { return set_blocking(s, false); }
void acknowledge_promptly(handle_t) {}
static void set_exclusive_address(handle_t s) {
    // SO_REUSEADDR would let two servers share a port here; the exclusive
    // option gives the POSIX meaning (bind fails when in use).
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
}
#else
const handle_t invalid_handle = -1;
#if defined(MSG_NOSIGNAL)
constexpr int send_flags = MSG_NOSIGNAL | MSG_DONTWAIT;  // a dead peer gives EPIPE, not SIGPIPE
#else
constexpr int send_flags = MSG_DONTWAIT;
#endif

bool ready() { return true; }
int last_error() { return errno; }
bool would_block(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINPROGRESS || e == EINTR; }
bool interrupted(int e) { return e == EINTR; }
void close_handle(handle_t s) { ::close(s); }
void shutdown_handle(handle_t s) { ::shutdown(s, SHUT_RDWR); }
bool set_blocking(handle_t s, bool blocking) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}
int wait_handle(handle_t s, bool for_write, int ms) {
    pollfd p{s, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}
long send_some(handle_t s, const char* p, std::size_t n) { return ::send(s, p, n, send_flags); }
long recv_some(handle_t s, char* p, std::size_t n) { return ::recv(s, p, n, MSG_DONTWAIT); }
// The wait for a reply is the receive itself, bounded by the socket's
// receive time-out. A time-out shorter than asked is kept (the caller looks
// at its clock and waits again), unless it is under half of it.
long recv_waiting(handle_t s, char* p, std::size_t n, int ms, int& timeout_ms) {
    if (ms <= 0) return recv_some(s, p, n);
    if (timeout_ms > ms || timeout_ms * 2 < ms) {
        timeval tv{};
        tv.tv_sec = ms / 1000;
        tv.tv_usec = (ms % 1000) * 1000;
        if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
            timeout_ms = -1;
            if (wait_handle(s, false, ms) < 0) return -1;
            return recv_some(s, p, n);
        }
        timeout_ms = ms;
    }
    return ::recv(s, p, n, 0);
}
bool set_waiting_mode(handle_t s) { return set_blocking(s, true); }
void acknowledge_promptly(handle_t s) {
#if defined(TCP_QUICKACK)
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
    (void)s;
#endif
}
static void set_exclusive_address(handle_t s) {
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
}
#endif

void set_no_delay(handle_t s) {
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

void set_keep_alive(handle_t s) {
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&one), sizeof one);
}

namespace {

struct addrinfo_deleter {
    void operator()(addrinfo* p) const { freeaddrinfo(p); }
};
using addresses_t = std::unique_ptr<addrinfo, addrinfo_deleter>;

addresses_t resolve(const char* host, std::uint16_t port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host, service.c_str(), &hints, &found) != 0) return nullptr;
    return addresses_t(found);
}

// Milliseconds for the next wait of a connect: at most a second at a time,
// 0 once the deadline passed.
int next_wait(long long timeout_ms, std::chrono::steady_clock::time_point deadline) {
    constexpr long long slice = 1000;
    if (timeout_ms < 0) return static_cast<int>(slice);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>(left + 1, slice));
}

}  // namespace

connect_t connect(const std::string& host, std::uint16_t port, long long timeout_ms, handle_t& out) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0LL, timeout_ms));
    const addresses_t list = ready() ? resolve(host.c_str(), port, 0) : nullptr;
    if (!list) return connect_t::unknown_host;
    for (addrinfo* ai = list.get(); ai != nullptr; ai = ai->ai_next) {
        const handle_t s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == invalid_handle) continue;
        // Non-blocking only while connecting, so an unreachable peer costs
        // the time-out and no more.
        bool connected = false, timed_out = false;
        if (set_blocking(s, false)) {
            if (::connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) == 0) {
                connected = true;
            } else if (would_block(last_error())) {
                for (;;) {
                    const int r = wait_handle(s, true, next_wait(timeout_ms, deadline));
                    if (r < 0) break;
                    if (r > 0) {
                        int err = 0;
                        socklen_t len = sizeof err;
                        connected = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 &&
                                    err == 0;
                        break;
                    }
                    if (next_wait(timeout_ms, deadline) == 0) {
                        timed_out = true;
                        break;
                    }
                }
            }
        }
        if (connected && set_blocking(s, true)) {
            set_no_delay(s);
            out = s;
            return connect_t::connected;
        }
        close_handle(s);
        if (timed_out) return connect_t::timed_out;
    }
    return connect_t::refused;
}

handle_t listen_on(const std::string& address, std::uint16_t port, int backlog, std::string& error) {
    if (!ready()) {
        error = "sockets unavailable";
        return invalid_handle;
    }
    const addresses_t list = resolve(address.empty() ? nullptr : address.c_str(), port, AI_PASSIVE | AI_NUMERICSERV);
    if (!list) {
        error = "cannot resolve bind address '" + address + "'";
        return invalid_handle;
    }
    error = "no usable address";
    for (addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
        const handle_t s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == invalid_handle) continue;
        set_exclusive_address(s);
        if (bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 || listen(s, backlog) != 0) {
            error = "cannot listen on " + address + ":" + std::to_string(port) + ": error " +
                    std::to_string(last_error());
            close_handle(s);
            continue;
        }
        return s;
    }
    return invalid_handle;
}

handle_t listen_beside(handle_t connected, std::uint32_t& address, std::uint16_t& port) {
    if (!local_ipv4(connected, address)) return invalid_handle;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    const handle_t s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == invalid_handle) return invalid_handle;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(s, 4) != 0) {
        close_handle(s);
        return invalid_handle;
    }
    port = local_port(s);
    return s;
}

handle_t accept_handle(handle_t listener) {
    const handle_t s = accept(listener, nullptr, nullptr);
    if (s != invalid_handle) set_no_delay(s);
    return s;
}

bool local_ipv4(handle_t s, std::uint32_t& address) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.ss_family != AF_INET) return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(&local)->sin_addr.s_addr);
    return true;
}

std::uint16_t local_port(handle_t s) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port
                                             : reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

std::string dotted(std::uint32_t ipv4) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ipv4 >> 24, (ipv4 >> 16) & 0xFF, (ipv4 >> 8) & 0xFF, ipv4 & 0xFF);
    return text;
}

}  // namespace zorwire::tcp
