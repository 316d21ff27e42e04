#include "socket_transport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "net.h"

namespace zorvisa {
namespace {

using net::handle_t;

constexpr std::size_t recv_chunk = net::byte_buffer_t::chunk;
constexpr std::size_t npos = static_cast<std::size_t>(-1);

class socket_transport_t final : public transport_t {
public:
    explicit socket_transport_t(handle_t s) : sock_(s) {}
    ~socket_transport_t() override { net::close_handle(sock_); }

    ViStatus write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) override;
    ViStatus read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t& deadline) override;
    void abort() noexcept override {
        aborted_ = true;
        net::shutdown_handle(sock_);
    }
    // No device clear over a raw socket: what was received goes.
    ViStatus clear(ViUInt32) override {
        rd_ = rx_.size();
        compact();
        begin_message();
        owed_ = false;
        return dead_ ? VI_ERROR_CONN_LOST : VI_SUCCESS;
    }

private:
    ViStatus receive_more(const deadline_t& deadline);
    void drop_stale();
    void scan();
    void begin_message();
    void compact();

    handle_t sock_;
    int receive_timeout_ms_ = -1;  // for net::recv_waiting
    std::atomic<bool> aborted_{false};
    bool dead_ = false;

    // Received bytes not yet delivered: rx_[rd_, size). The scanner looks for
    // the end of the current message and remembers where it stopped, so each
    // byte is examined once however the reply is fragmented.
    net::byte_buffer_t rx_;
    std::size_t rd_ = 0;
    std::size_t scan_ = 0;
    std::size_t msg_end_ = npos;  // one past the line feed that ends the current message
    enum class phase_t { start, hash, length_digits, payload, text } phase_ = phase_t::start;
    unsigned digits_left_ = 0;
    std::uint64_t payload_left_ = 0;

    // The current message is still owed: a read of it timed out, or only
    // part of it was delivered.
    bool owed_ = false;
};

// A message ends at a line feed, except that a reply opening with an IEEE
// 488.2 definite-length block (#<n><n digits>) first carries that many raw
// bytes, line feeds included.
void socket_transport_t::scan() {
    const char* const rx = rx_.data();
    const std::size_t size = rx_.size();
    while (msg_end_ == npos && scan_ < size) {
        const char c = rx[scan_];
        switch (phase_) {
        case phase_t::start:
            if (c == '#') {
                phase_ = phase_t::hash;
                ++scan_;
            } else {
                phase_ = phase_t::text;
            }
            break;
        case phase_t::hash:
            if (c >= '1' && c <= '9') {
                digits_left_ = static_cast<unsigned>(c - '0');
                payload_left_ = 0;
                phase_ = phase_t::length_digits;
                ++scan_;
            } else {
                phase_ = phase_t::text;  // "#0" (ends at the line feed) or no block at all
            }
            break;
        case phase_t::length_digits:
            if (c >= '0' && c <= '9') {
                payload_left_ = payload_left_ * 10 + static_cast<unsigned>(c - '0');
                ++scan_;
                if (--digits_left_ == 0) phase_ = phase_t::payload;
            } else {
                phase_ = phase_t::text;
            }
            break;
        case phase_t::payload: {
            const std::uint64_t take = std::min<std::uint64_t>(payload_left_, size - scan_);
            scan_ += static_cast<std::size_t>(take);
            payload_left_ -= take;
            if (payload_left_ == 0) phase_ = phase_t::text;
            break;
        }
        case phase_t::text: {
            const void* lf = std::memchr(rx + scan_, '\n', size - scan_);
            if (lf != nullptr) {
                scan_ = static_cast<std::size_t>(static_cast<const char*>(lf) - rx) + 1;
                msg_end_ = scan_;
            } else {
                scan_ = size;
            }
            break;
        }
        }
    }
}

void socket_transport_t::begin_message() {
    phase_ = phase_t::start;
    msg_end_ = npos;
    scan_ = rd_;
    scan();
}

// Drops delivered bytes once they are at least half the buffer, so a long
// reply costs linear time.
void socket_transport_t::compact() {
    if (rd_ == 0) return;
    if (rd_ == rx_.size()) {
        rx_.clear();
    } else if (rd_ >= rx_.size() / 2) {
        rx_.erase_front(rd_);
    } else {
        return;
    }
    scan_ -= rd_;
    if (msg_end_ != npos) msg_end_ -= rd_;
    rd_ = 0;
}

ViStatus socket_transport_t::receive_more(const deadline_t& deadline) {
    compact();
    for (;;) {
        if (aborted_) return VI_ERROR_CONN_LOST;
        const std::size_t room = rx_.reserve_tail(recv_chunk);
        const auto n = net::recv_waiting(sock_, rx_.tail(), room, deadline.slice_ms(), receive_timeout_ms_);
        const int err = n < 0 ? net::last_error() : 0;
        if (n > 0) {
            rx_.commit(static_cast<std::size_t>(n));
            scan();
            return VI_SUCCESS;
        }
        if (n == 0 || !net::would_block(err)) {
            dead_ = true;  // orderly close, reset or any other failure: the link is gone
            return VI_ERROR_CONN_LOST;
        }
        if (net::interrupted(err)) continue;
        if (deadline.expired()) return VI_ERROR_TMO;
    }
}

ViStatus socket_transport_t::read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t& deadline) {
    *got = 0;
    if (cnt == 0) return VI_SUCCESS_MAX_CNT;
    bool received = false;
    for (;;) {
        if (msg_end_ != npos) {
            const std::size_t left = msg_end_ - rd_;
            const std::size_t n = std::min(cnt, left);
            std::memcpy(buf, rx_.data() + rd_, n);
            rd_ += n;
            *got = n;
            if (n < left) {
                owed_ = true;
                return VI_SUCCESS_MAX_CNT;
            }
            owed_ = false;
            begin_message();  // bytes after this message already belong to the next
            return VI_SUCCESS;
        }
        if (rx_.size() - rd_ >= cnt) {
            std::memcpy(buf, rx_.data() + rd_, cnt);
            rd_ += cnt;
            *got = cnt;
            owed_ = true;
            return VI_SUCCESS_MAX_CNT;
        }
        if (dead_) return VI_ERROR_CONN_LOST;
        // A sender that never pauses must not hold the read past its
        // time-out: once this call has had bytes, the deadline ends it.
        if (received && deadline.expired()) {
            owed_ = true;
            return VI_ERROR_TMO;
        }
        const ViStatus st = receive_more(deadline);
        received = true;
        if (st != VI_SUCCESS) {
            owed_ = true;  // partial data stays buffered; its rest may still come
            return st;
        }
    }
}

// Before a new exchange, messages that came whole and were not read are
// stale: what the socket holds now is taken in without waiting and they are
// dropped. A message begun but not ended stays, to be read on: over a raw
// socket only its line feed would end it, and skipping to that could take
// the next reply with it when the stale one never ends. Nor is a reply not
// yet begun waited for: it cannot be told from none at all (a refused
// query). Whoever asked sorts out what comes; the driver asks the
// instrument with a marker query and drops what comes before its reply.
void socket_transport_t::drop_stale() {
    for (;;) {
        if (aborted_) return;
        const std::size_t room = rx_.reserve_tail(recv_chunk);
        const auto n = net::recv_some(sock_, rx_.tail(), room);
        if (n > 0) {
            rx_.commit(static_cast<std::size_t>(n));
            continue;
        }
        const int err = n < 0 ? net::last_error() : 0;
        if (n < 0 && net::would_block(err)) {
            if (net::interrupted(err)) continue;
            break;
        }
        dead_ = true;
        break;
    }
    scan();
    while (msg_end_ != npos) {
        rd_ = msg_end_;
        begin_message();
    }
    owed_ = false;
    compact();
}

ViStatus socket_transport_t::write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) {
    *sent = 0;
    if (dead_) return VI_ERROR_CONN_LOST;
    if (owed_ || rd_ != rx_.size()) {
        drop_stale();
        if (dead_) return VI_ERROR_CONN_LOST;
    }
    // The clock is read only when something must wait: most commands go
    // out whole on the first send.
    std::optional<deadline_t> deadline;
    // A socket has no END signal: the line feed ends the message.
    const bool add_lf = cnt == 0 || buf[cnt - 1] != '\n';
    const char* data = reinterpret_cast<const char*>(buf);
    std::size_t total = cnt;
    char small[1024];  // a command with its line feed, without touching the heap
    std::unique_ptr<char[]> large;
    if (add_lf) {
        char* copy = small;
        if (cnt + 1 > sizeof small) {
            large.reset(new char[cnt + 1]);
            copy = large.get();
        }
        if (cnt != 0) std::memcpy(copy, data, cnt);
        copy[cnt] = '\n';
        data = copy;
        total = cnt + 1;
    }
    std::size_t done = 0;
    ViStatus status = VI_SUCCESS;
    while (done < total) {
        if (aborted_) {
            status = VI_ERROR_CONN_LOST;
            break;
        }
        const auto n = net::send_some(sock_, data + done, total - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        const int err = net::last_error();
        if (n < 0 && net::would_block(err)) {
            if (net::interrupted(err)) continue;
            if (!deadline) deadline.emplace(timeout_ms);
            if (deadline->expired()) {
                status = VI_ERROR_TMO;
                break;
            }
            if (net::wait_handle(sock_, true, deadline->slice_ms()) >= 0) continue;
        }
        dead_ = true;
        status = VI_ERROR_CONN_LOST;
        break;
    }
    *sent = std::min(done, cnt);
    return status;
}

}  // namespace

ViStatus open_socket_transport(const std::string& host, std::uint16_t port, ViUInt32 timeout_ms,
                               std::unique_ptr<transport_t>& out) {
    handle_t s = net::invalid_handle;
    const ViStatus status = net::connect(host, port, deadline_t(timeout_ms), s);
    if (status == VI_SUCCESS) out.reset(new socket_transport_t(s));
    return status;
}

}  // namespace zorvisa
