// TCP for the network transports: the shared socket seam, with VISA's
// statuses for what can fail, and a connected stream with buffered reads
// that keep partial data across time-outs, so a framed protocol never loses
// its place.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <protocols/socket.h>

#include "transport.h"

namespace zorvisa::net {

using zorwire::tcp::close_handle;
using zorwire::tcp::handle_t;
using zorwire::tcp::interrupted;
using zorwire::tcp::invalid_handle;
using zorwire::tcp::last_error;
using zorwire::tcp::recv_some;
using zorwire::tcp::recv_waiting;
using zorwire::tcp::send_some;
using zorwire::tcp::shutdown_handle;
using zorwire::tcp::wait_handle;
using zorwire::tcp::would_block;

// A connection with no Nagle delay and keep-alive on. Refused
// or unknown host: VI_ERROR_RSRC_NFOUND; no answer in time: VI_ERROR_TMO.
ViStatus connect(const std::string& host, std::uint16_t port, const deadline_t& deadline, handle_t& out);
// Why the calling thread's last connect failed, for messages: the status
// alone does not tell a host that is not there from one that refused.
enum class connect_failure_t { none, unknown_host, refused, timed_out };
connect_failure_t last_connect_failure();

// A listening socket on the IPv4 address the connected socket uses here,
// on a port the system picks (for a device that calls us back).
ViStatus listen_beside(handle_t connected, handle_t& listener, std::uint32_t& address, std::uint16_t& port);
// The next connection on a listener; invalid_handle when none.
handle_t accept_handle(handle_t listener);

// Received bytes: grows geometrically and is never zero-filled. A buffer
// past kept_capacity is given back once emptied; a smaller one is kept, so
// long replies read one after another need no new memory.
class byte_buffer_t {
public:
    static constexpr std::size_t chunk = 64 * 1024;
    static constexpr std::size_t kept_capacity = std::size_t{16} << 20;

    char* data() { return data_.get(); }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    // Room for at least n more bytes after size(); the room may be larger.
    std::size_t reserve_tail(std::size_t n) {
        if (capacity_ - size_ < n) {
            const std::size_t wanted = std::max({size_ + n, capacity_ * 2, chunk});
            std::unique_ptr<char[]> bigger(new char[wanted]);
            if (size_ != 0) std::memcpy(bigger.get(), data_.get(), size_);
            data_ = std::move(bigger);
            capacity_ = wanted;
        }
        return capacity_ - size_;
    }
    char* tail() { return data_.get() + size_; }
    void commit(std::size_t n) { size_ += n; }
    void erase_front(std::size_t n) {
        std::memmove(data_.get(), data_.get() + n, size_ - n);
        size_ -= n;
    }
    void clear() {
        size_ = 0;
        if (capacity_ > kept_capacity) {
            data_.reset();
            capacity_ = 0;
        }
    }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class stream_t {
public:
    explicit stream_t(handle_t s) : sock_(s) {}
    ~stream_t() { close_handle(sock_); }
    stream_t(const stream_t&) = delete;
    stream_t& operator=(const stream_t&) = delete;

    static ViStatus open(const std::string& host, std::uint16_t port, const deadline_t& deadline,
                         std::unique_ptr<stream_t>& out);

    // Everything or an error; a failed send leaves the stream dead.
    ViStatus send(std::string_view data, const deadline_t& deadline);
    // Waits until at least n bytes are buffered (nothing is consumed).
    ViStatus fill(std::size_t n, const deadline_t& deadline);
    const char* data() const { return rx_.data() + rd_; }
    std::size_t buffered() const { return rx_.size() - rd_; }
    void consume(std::size_t n);
    // Wakes blocked calls from another thread; the stream is dead afterwards.
    void abort() noexcept {
        aborted_ = true;
        shutdown_handle(sock_);
    }
    bool dead() const { return dead_ || aborted_; }
    handle_t handle() const { return sock_; }

private:
    handle_t sock_;
    int receive_timeout_ms_ = -1;  // for recv_waiting
    std::atomic<bool> aborted_{false};
    std::atomic<bool> dead_{false};  // sends and reads may run on two threads
    byte_buffer_t rx_;
    std::size_t rd_ = 0;
};

}  // namespace zorvisa::net
