#include "net.h"

#include <algorithm>
#include <mutex>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zorvisa::net {

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
static bool set_nonblocking(handle_t s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
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
// Sockets stay non-blocking here: try, wait, try again.
long recv_waiting(handle_t s, char* p, std::size_t n, int ms, int& /*timeout_ms*/) {
    const long got = recv_some(s, p, n);
    if (got >= 0 || !would_block(last_error()) || ms <= 0) return got;
    if (wait_handle(s, false, ms) < 0) return -1;
    return recv_some(s, p, n);
}
static bool set_stream_mode(handle_t s) { return set_nonblocking(s); }
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
static bool set_nonblocking(handle_t s) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
int wait_handle(handle_t s, bool for_write, int ms) {
    pollfd p{s, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;  // POLLERR/POLLHUP count as ready: the next call reports them
}
long send_some(handle_t s, const char* p, std::size_t n) { return ::send(s, p, n, send_flags); }
long recv_some(handle_t s, char* p, std::size_t n) { return ::recv(s, p, n, MSG_DONTWAIT); }
// Connected sockets block, each call that must not wait says so, and a wait
// for a reply is the receive itself, bounded by the socket's receive
// time-out. A time-out shorter than asked is kept (the caller looks at its
// clock and waits again), unless it is under half of it.
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
// Blocking, so that recv_waiting can wait in the receive.
static bool set_stream_mode(handle_t s) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags & ~O_NONBLOCK) == 0;
}
#endif

namespace {
struct addrinfo_deleter {
    void operator()(addrinfo* p) const { freeaddrinfo(p); }
};
}  // namespace

namespace {
thread_local connect_failure_t connect_failure = connect_failure_t::none;
}  // namespace

connect_failure_t last_connect_failure() { return connect_failure; }

ViStatus connect(const std::string& host, std::uint16_t port, const deadline_t& deadline, handle_t& out) {
    connect_failure = connect_failure_t::none;
    if (!ready()) return VI_ERROR_SYSTEM_ERROR;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        connect_failure = connect_failure_t::unknown_host;
        return VI_ERROR_RSRC_NFOUND;
    }
    const std::unique_ptr<addrinfo, addrinfo_deleter> list(found);

    ViStatus status = VI_ERROR_RSRC_NFOUND;
    for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        const handle_t s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == invalid_handle) continue;
        bool connected = false;
        if (set_nonblocking(s)) {
            if (::connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) == 0) {
                connected = true;
            } else if (would_block(last_error())) {
                for (;;) {
                    const int r = wait_handle(s, true, deadline.slice_ms());
                    if (r < 0) break;
                    if (r > 0) {
                        int err = 0;
                        socklen_t len = sizeof err;
                        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 && err == 0)
                            connected = true;
                        break;
                    }
                    if (deadline.expired()) {
                        status = VI_ERROR_TMO;
                        break;
                    }
                }
            }
        }
        if (connected && !set_stream_mode(s)) connected = false;
        if (!connected) {
            close_handle(s);
            if (status == VI_ERROR_TMO) break;
            continue;
        }
        // Queries are short request/reply exchanges: never hold them back.
        int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&one), sizeof one);
        out = s;
        return VI_SUCCESS;
    }
    connect_failure = status == VI_ERROR_TMO ? connect_failure_t::timed_out : connect_failure_t::refused;
    return status;
}

ViStatus listen_beside(handle_t connected, handle_t& listener, std::uint32_t& address, std::uint16_t& port) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(connected, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
        return VI_ERROR_NSUP_OPER;  // the interrupt channel names an IPv4 address
    local.sin_port = 0;
    const handle_t s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == invalid_handle) return VI_ERROR_SYSTEM_ERROR;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(s, 4) != 0 ||
        !set_nonblocking(s)) {
        close_handle(s);
        return VI_ERROR_SYSTEM_ERROR;
    }
    length = sizeof local;
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
    listener = s;
    address = ntohl(local.sin_addr.s_addr);
    port = ntohs(local.sin_port);
    return VI_SUCCESS;
}

handle_t accept_handle(handle_t listener) {
    const handle_t s = accept(listener, nullptr, nullptr);
    if (s == invalid_handle) return s;
    if (!set_stream_mode(s)) {
        close_handle(s);
        return invalid_handle;
    }
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return s;
}

ViStatus stream_t::open(const std::string& host, std::uint16_t port, const deadline_t& deadline,
                        std::unique_ptr<stream_t>& out) {
    handle_t s = invalid_handle;
    const ViStatus st = connect(host, port, deadline, s);
    if (st == VI_SUCCESS) out.reset(new stream_t(s));
    return st;
}

ViStatus stream_t::send(std::string_view data, const deadline_t& deadline) {
    std::size_t done = 0;
    while (done < data.size()) {
        if (dead()) return VI_ERROR_CONN_LOST;
        const long n = send_some(sock_, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int err = last_error();
        if (n < 0 && would_block(err)) {
            if (interrupted(err)) continue;
            // A half-sent frame cannot be taken back: the stream is unusable.
            if (deadline.expired()) {
                if (done > 0) dead_ = true;
                return VI_ERROR_TMO;
            }
            if (wait_handle(sock_, true, deadline.slice_ms()) >= 0) continue;
        }
        dead_ = true;
        return VI_ERROR_CONN_LOST;
    }
    return VI_SUCCESS;
}

ViStatus stream_t::fill(std::size_t n, const deadline_t& deadline) {
    if (buffered() >= n) return VI_SUCCESS;
    if (rd_ > 0 && rd_ >= rx_.size() / 2) {  // drop consumed bytes: linear cost for long replies
        rx_.erase_front(rd_);
        rd_ = 0;
    }
    while (buffered() < n) {
        if (dead()) return VI_ERROR_CONN_LOST;
        const std::size_t room = rx_.reserve_tail(n - buffered());
        const long got = recv_waiting(sock_, rx_.tail(), room, deadline.slice_ms(), receive_timeout_ms_);
        const int err = got < 0 ? last_error() : 0;
        if (got > 0) {
            rx_.commit(static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || !would_block(err)) {
            dead_ = true;  // orderly close, reset or any other failure: the link is gone
            return VI_ERROR_CONN_LOST;
        }
        if (interrupted(err)) continue;
        if (deadline.expired()) return VI_ERROR_TMO;
    }
    return VI_SUCCESS;
}

void stream_t::consume(std::size_t n) {
    rd_ += std::min(n, buffered());
    if (rd_ == rx_.size()) {
        rx_.clear();
        rd_ = 0;
    }
}

}  // namespace zorvisa::net
