#if defined(_WIN32) && !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0601
#endif

#include "tcp_test_client.h"

#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using socket_t = SOCKET;
void close_socket(socket_t s) { ::closesocket(s); }
int poll_in(socket_t s, int ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLIN;
    return ::WSAPoll(&p, 1, ms);
}
void ensure_sockets() {
    static bool done = [] {
        WSADATA d;
        return ::WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    (void)done;
}
constexpr int send_flags = 0;
#else
using socket_t = int;
void close_socket(socket_t s) { ::close(s); }
int poll_in(socket_t s, int ms) {
    pollfd p{};
    p.fd = s;
    p.events = POLLIN;
    return ::poll(&p, 1, ms);
}
void ensure_sockets() {}
constexpr int send_flags = MSG_NOSIGNAL;
#endif

}  // namespace

test_client_t::test_client_t(std::uint16_t port, const char* host) {
    ensure_sockets();
    socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &a.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close_socket(s);
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    socket_ = static_cast<std::intptr_t>(s);
}

test_client_t::~test_client_t() { close(); }

void test_client_t::close() {
    if (socket_ != -1) close_socket(static_cast<socket_t>(socket_));
    socket_ = -1;
}

void test_client_t::send(std::string_view bytes) {
    std::size_t off = 0;
    while (off < bytes.size()) {
        auto n = ::send(static_cast<socket_t>(socket_), bytes.data() + off, static_cast<int>(bytes.size() - off),
                        send_flags);
        if (n <= 0) throw std::runtime_error("send failed");
        off += static_cast<std::size_t>(n);
    }
}

bool test_client_t::fill(std::chrono::steady_clock::time_point deadline) {
    if (eof_) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return false;
    if (poll_in(static_cast<socket_t>(socket_), static_cast<int>(left.count())) <= 0) return false;
    char buf[65536];
    auto n = ::recv(static_cast<socket_t>(socket_), buf, sizeof buf, 0);
    if (n <= 0) {
        eof_ = true;
        return false;
    }
    buffer_.append(buf, static_cast<std::size_t>(n));
    return true;
}

std::string test_client_t::read_line(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl + 1);
            buffer_.erase(0, nl + 1);
            return line;
        }
        if (!fill(deadline)) return {};
    }
}

std::string test_client_t::read_bytes(std::size_t n, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffer_.size() < n && fill(deadline)) {
    }
    std::string out = buffer_.substr(0, n);
    buffer_.erase(0, out.size());
    return out;
}

bool test_client_t::silent_for(std::chrono::milliseconds wait) {
    if (!buffer_.empty()) return false;
    fill(std::chrono::steady_clock::now() + wait);
    return buffer_.empty();
}

bool test_client_t::closed_within(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!eof_ && std::chrono::steady_clock::now() < deadline) fill(deadline);
    return eof_;
}
