#include "net.h"

namespace zorvisa::net {

namespace tcp = zorwire::tcp;

namespace {
thread_local connect_failure_t connect_failure = connect_failure_t::none;
}  // namespace

connect_failure_t last_connect_failure() { return connect_failure; }

ViStatus connect(const std::string& host, std::uint16_t port, const deadline_t& deadline, handle_t& out) {
    connect_failure = connect_failure_t::none;
    if (!tcp::ready()) return VI_ERROR_SYSTEM_ERROR;
    const ViUInt32 left = deadline.remaining_ms();
    handle_t s = invalid_handle;
    switch (tcp::connect(host, port, left == static_cast<ViUInt32>(VI_TMO_INFINITE) ? -1 : left, s)) {
        case tcp::connect_t::timed_out:
            connect_failure = connect_failure_t::timed_out;
            return VI_ERROR_TMO;
        case tcp::connect_t::unknown_host:
            connect_failure = connect_failure_t::unknown_host;
            return VI_ERROR_RSRC_NFOUND;
        case tcp::connect_t::refused:
            connect_failure = connect_failure_t::refused;
            return VI_ERROR_RSRC_NFOUND;
        case tcp::connect_t::connected:
            break;
    }
    if (!tcp::set_waiting_mode(s)) {
        close_handle(s);
        return VI_ERROR_RSRC_NFOUND;
    }
    tcp::set_keep_alive(s);
    out = s;
    return VI_SUCCESS;
}

ViStatus listen_beside(handle_t connected, handle_t& listener, std::uint32_t& address, std::uint16_t& port) {
    if (!tcp::local_ipv4(connected, address)) return VI_ERROR_NSUP_OPER;  // the interrupt channel names an IPv4 address
    const handle_t s = tcp::listen_beside(connected, address, port);
    if (s == invalid_handle) return VI_ERROR_SYSTEM_ERROR;
    if (!tcp::set_blocking(s, false)) {
        close_handle(s);
        return VI_ERROR_SYSTEM_ERROR;
    }
    listener = s;
    return VI_SUCCESS;
}

handle_t accept_handle(handle_t listener) {
    const handle_t s = tcp::accept_handle(listener);
    if (s != invalid_handle && !tcp::set_waiting_mode(s)) {
        close_handle(s);
        return invalid_handle;
    }
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
