#if defined(_WIN32) && !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0601  // WSAPoll
#endif

#include <zorsim/tcp_server.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace zorsim {

// ---------------------------------------------------------------- message_framer_t

void message_framer_t::clear() {
    buffer_.clear();
    state_ = state_t::text;
    digits_left_ = 0;
    block_left_ = 0;
}

void message_framer_t::feed(std::string_view data, std::vector<std::string>& out) {
    std::size_t i = buffer_.size();  // everything before was scanned already
    buffer_.append(data.data(), data.size());
    std::size_t start = 0;  // start of the current message
    auto emit = [&](std::size_t end) {
        std::size_t e = end;
        if (e > start && buffer_[e - 1] == '\r') --e;
        out.emplace_back(buffer_, start, e - start);
        start = end + 1;
        state_ = state_t::text;
    };
    while (i < buffer_.size()) {
        char c = buffer_[i];
        switch (state_) {
        case state_t::text:
            if (c == '\n') emit(i);
            else if (c == '"') state_ = state_t::double_quoted;
            else if (c == '\'') state_ = state_t::single_quoted;
            else if (c == '#') state_ = state_t::hash;
            ++i;
            break;
        case state_t::double_quoted:
        case state_t::single_quoted:
            if (c == '\n') emit(i);  // an unterminated string still ends at the line's end
            else if (c == (state_ == state_t::double_quoted ? '"' : '\'')) state_ = state_t::text;
            ++i;
            break;
        case state_t::hash:
            if (c >= '1' && c <= '9') {
                digits_left_ = static_cast<std::size_t>(c - '0');
                block_left_ = 0;
                state_ = state_t::block_digits;
                ++i;
            } else {
                state_ = state_t::text;  // #0 (ends at the line's end), #H.., or junk: plain text
            }
            break;
        case state_t::block_digits:
            if (c >= '0' && c <= '9') {
                block_left_ = block_left_ * 10 + static_cast<std::size_t>(c - '0');
                ++i;
                if (--digits_left_ == 0) state_ = block_left_ ? state_t::block_data : state_t::text;
            } else {
                state_ = state_t::text;  // malformed header: the parser will say so
            }
            break;
        case state_t::block_data: {
            std::size_t take = std::min(block_left_, buffer_.size() - i);
            i += take;
            block_left_ -= take;
            if (block_left_ == 0) state_ = state_t::text;
            break;
        }
        }
    }
    buffer_.erase(0, start);
}

// ---------------------------------------------------------------- sockets

namespace {

#ifdef _WIN32
using socket_t = SOCKET;
const socket_t invalid_socket = INVALID_SOCKET;
void close_socket(socket_t s) { ::closesocket(s); }
int last_error() { return ::WSAGetLastError(); }
bool interrupted(int) { return false; }
int poll_one(socket_t s, short events, int timeout_ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = events;
    return ::WSAPoll(&p, 1, timeout_ms);
}
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
int poll_one(socket_t s, short events, int timeout_ms) {
    pollfd p{};
    p.fd = s;
    p.events = events;
    return ::poll(&p, 1, timeout_ms);
}
void ensure_sockets() {}
constexpr int send_flags = MSG_NOSIGNAL;
constexpr int shutdown_both = SHUT_RDWR;
#endif

socket_t to_socket(std::intptr_t v) { return static_cast<socket_t>(v); }
std::intptr_t from_socket(socket_t s) { return static_cast<std::intptr_t>(s); }

bool send_all(socket_t s, const std::string& data) {
    std::size_t off = 0;
    while (off < data.size()) {
        std::size_t chunk = std::min<std::size_t>(data.size() - off, 1u << 30);
        auto n = ::send(s, data.data() + off, static_cast<int>(chunk), send_flags);
        if (n < 0) {
            if (interrupted(last_error())) continue;
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    return true;
}

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

struct tcp_server_t::connection_t {
    std::uint64_t id = 0;
    std::intptr_t socket = -1;
    std::thread thread;
    std::atomic<bool> finished{false};
};

tcp_server_t::tcp_server_t(std::shared_ptr<analyzer_t> analyzer) : analyzer_(std::move(analyzer)) {
    if (!analyzer_) throw tcp_server_error("tcp_server_t needs an analyzer");
}

tcp_server_t::~tcp_server_t() { stop(); }

void tcp_server_t::set_observer(observer_t observer) { observer_ = std::move(observer); }

std::size_t tcp_server_t::connection_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto& c : connections_)
        if (!c->finished) ++n;
    return n;
}

std::uint16_t tcp_server_t::start(std::uint16_t port, const std::string& bind_address) {
    if (running_ || accept_thread_.joinable()) throw tcp_server_error("tcp server already started");
    ensure_sockets();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int rc = ::getaddrinfo(bind_address.empty() ? nullptr : bind_address.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found) throw tcp_server_error("cannot resolve bind address '" + bind_address + "'");

    socket_t listener = invalid_socket;
    std::string failure = "no usable address";
    for (addrinfo* a = found; a; a = a->ai_next) {
        socket_t s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == invalid_socket) {
            failure = "socket() failed: " + std::to_string(last_error());
            continue;
        }
        int one = 1;
#ifdef _WIN32
        // On Windows SO_REUSEADDR would let two servers share a port; the
        // exclusive option gives the POSIX meaning (bind fails when in use).
        ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
#else
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
        if (::bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            failure = "cannot bind " + bind_address + ":" + service + ": error " + std::to_string(last_error());
            close_socket(s);
            continue;
        }
        if (::listen(s, 16) != 0) {
            failure = "listen() failed: " + std::to_string(last_error());
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
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        close_socket(listener);
        throw tcp_server_error("getsockname() failed");
    }
    if (bound.ss_family == AF_INET6)
        port_ = ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    else
        port_ = ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);

    listener_ = from_socket(listener);
    stopping_ = false;
    running_ = true;
    accept_thread_ = std::thread([this] { accept_loop(); });
    return port_;
}

void tcp_server_t::accept_loop() {
    const socket_t listener = to_socket(listener_);
    while (!stopping_) {
        int ready = poll_one(listener, POLLIN, poll_interval_ms);
        if (ready <= 0) continue;  // time-out or EINTR: check stopping_ again
        socket_t s = ::accept(listener, nullptr, nullptr);
        if (s == invalid_socket) continue;
        int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        std::lock_guard<std::mutex> lock(mutex_);
        reap_finished();
        if (stopping_) {
            close_socket(s);
            break;
        }
        auto c = std::make_unique<connection_t>();
        c->id = next_connection_++;
        c->socket = from_socket(s);
        connection_t& ref = *c;
        connections_.push_back(std::move(c));
        ref.thread = std::thread([this, &ref] { serve(ref); });
    }
}

void tcp_server_t::reap_finished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->finished) {
            if ((*it)->thread.joinable()) (*it)->thread.join();
            close_socket(to_socket((*it)->socket));
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void tcp_server_t::serve(connection_t& connection) {
    const socket_t s = to_socket(connection.socket);
    message_framer_t framer;
    std::vector<std::string> messages;
    std::vector<char> buffer(64 * 1024);
    while (!stopping_) {
        int ready = poll_one(s, POLLIN, poll_interval_ms);
        if (ready == 0) continue;
        if (ready < 0) {
            if (interrupted(last_error())) continue;
            break;
        }
        auto n = ::recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n < 0 && interrupted(last_error())) continue;
        if (n <= 0) break;  // closed by the client, or shut down by stop()
        acknowledge_promptly(s);
        messages.clear();
        framer.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), messages);
        bool ok = true;
        for (const std::string& m : messages) {
            response_t r = analyzer_->receive(m);
            if (observer_) observer_(connection.id, m, r);
            // A scripted read status cannot travel over TCP: nothing is sent
            // and the client's read times out.
            if (r.has_reply && r.read_status == 0 && !send_all(s, r.reply)) {
                ok = false;
                break;
            }
        }
        if (!ok || framer.pending() > max_message_bytes) break;
    }
    // The peer sees the end now; the socket itself is closed by whoever
    // joins this thread, so its handle cannot be reused while stop() may
    // still shut it down.
    ::shutdown(s, shutdown_both);
    connection.finished = true;
}

void tcp_server_t::stop() {
    stopping_ = true;
    if (accept_thread_.joinable()) accept_thread_.join();
    if (listener_ != -1) {
        close_socket(to_socket(listener_));
        listener_ = -1;
    }
    std::vector<std::unique_ptr<connection_t>> connections;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& c : connections) ::shutdown(to_socket(c->socket), shutdown_both);
    for (auto& c : connections) {
        if (c->thread.joinable()) c->thread.join();
        close_socket(to_socket(c->socket));
    }
    running_ = false;
}

}  // namespace zorsim
