#include "hislip_transport.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "net.h"
#include <protocols/hislip.h>

namespace zorvisa {
namespace {

namespace hs = zorwire::hislip;

constexpr std::uint64_t our_max_message = 1ull << 30;  // we read any size in pieces
constexpr std::uint64_t max_ignored_payload = 64ull << 20;
constexpr ViUInt32 async_call_ms = 5000;

// Reads one whole message (header and payload) when it is all there.
ViStatus receive(net::stream_t& s, hs::header_t& h, std::string& payload, const deadline_t& deadline) {
    ViStatus st = s.fill(hs::header_size, deadline);
    if (st != VI_SUCCESS) return st;
    if (!hs::decode(reinterpret_cast<const unsigned char*>(s.data()), h) || h.length > max_ignored_payload) {
        s.abort();
        return VI_ERROR_IO;
    }
    const std::size_t length = static_cast<std::size_t>(h.length);
    st = s.fill(hs::header_size + length, deadline);
    if (st != VI_SUCCESS) return st;
    payload.assign(s.data() + hs::header_size, length);
    s.consume(hs::header_size + length);
    return VI_SUCCESS;
}

class hislip_transport_t final : public transport_t {
public:
    hislip_transport_t(std::unique_ptr<net::stream_t> sync, std::unique_ptr<net::stream_t> async, std::uint64_t max_write)
        : sync_(std::move(sync)), async_(std::move(async)), max_write_(std::max<std::uint64_t>(max_write, 256)) {
        reader_ = std::thread([this] { read_async(); });
    }
    ~hislip_transport_t() override {
        async_->abort();
        reader_.join();
    }

    ViStatus enable_service_requests(service_request_t on_request, ViUInt32) override {
        std::lock_guard<std::mutex> lock(async_mutex_);
        on_request_ = std::move(on_request);
        return VI_SUCCESS;
    }
    ViStatus disable_service_requests(ViUInt32) override {
        std::lock_guard<std::mutex> lock(async_mutex_);
        on_request_ = nullptr;
        return VI_SUCCESS;
    }

    // A write begins a new exchange: the rest of a reply still being read is
    // skipped when it comes, and its further messages carry an older
    // message ID, so no later read takes them for its own.
    ViStatus write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) override {
        *sent = 0;
        const deadline_t deadline(timeout_ms);
        if (in_message_) {
            skip_ += left_;
            left_ = 0;
            in_end_ = in_message_ = false;
        }
        const char* data = reinterpret_cast<const char*>(buf);
        do {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(cnt - *sent, max_write_));
            const bool last = *sent + n == cnt;
            ViStatus st = sync_->send(hs::message(last ? hs::data_end : hs::data, take_rmt(), next_id(),
                                                  std::string_view(data + *sent, n)),
                                      deadline);
            if (st != VI_SUCCESS) return st;
            *sent += n;
        } while (*sent < cnt);
        return VI_SUCCESS;
    }

    ViStatus read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t& deadline) override {
        *got = 0;
        if (cnt == 0) return VI_SUCCESS_MAX_CNT;
        while (*got < cnt) {
            if (left_ == 0) {
                if (in_end_) {  // the message ended with the last piece
                    in_end_ = false;
                    in_message_ = false;
                    rmt_ = true;
                    return VI_SUCCESS;
                }
                const ViStatus st = next_data_header(deadline);
                if (st != VI_SUCCESS) return st;  // what came so far is delivered with the status
                continue;
            }
            ViStatus st = sync_->fill(1, deadline);
            if (st != VI_SUCCESS) return st;  // what came so far is delivered with the status
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>({static_cast<std::uint64_t>(sync_->buffered()), left_, cnt - *got}));
            std::memcpy(buf + *got, sync_->data(), n);
            sync_->consume(n);
            *got += n;
            left_ -= n;
        }
        if (left_ == 0 && in_end_) {
            in_end_ = false;
            in_message_ = false;
            rmt_ = true;
            return VI_SUCCESS;
        }
        return VI_SUCCESS_MAX_CNT;
    }

    void abort() noexcept override {
        sync_->abort();
        async_->abort();
    }

    // Device clear: announce it on the asynchronous channel, then drop
    // everything the synchronous channel still holds until the server
    // acknowledges the clear there.
    ViStatus clear(ViUInt32 timeout_ms) override {
        const deadline_t deadline(std::max<ViUInt32>(timeout_ms, async_call_ms));
        hs::header_t h;
        ViStatus st = async_call(hs::message(hs::async_device_clear, 0, 0), hs::async_device_clear_acknowledge, h, deadline);
        if (st != VI_SUCCESS) return st;
        // Whatever the server prefers, we ask for synchronized mode (overlap bit 0).
        st = sync_->send(hs::message(hs::device_clear_complete, 0, 0), deadline);
        if (st != VI_SUCCESS) return st;
        skip_ += left_;
        left_ = 0;
        while (skip_ > 0) {  // the rest of a reply we were reading
            st = sync_->fill(1, deadline);
            if (st != VI_SUCCESS) return st;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(sync_->buffered(), skip_));
            sync_->consume(n);
            skip_ -= n;
        }
        std::string payload;
        do {
            st = receive(*sync_, h, payload, deadline);
            if (st != VI_SUCCESS) return st;
        } while (h.type != hs::device_clear_acknowledge);
        message_id_ = hs::first_message_id;
        last_sent_ = hs::unknown_message_id;
        left_ = 0;
        in_end_ = in_message_ = false;
        rmt_ = false;
        return VI_SUCCESS;
    }

    ViStatus read_stb(ViUInt16* stb, ViUInt32 timeout_ms) override {
        hs::header_t h;
        const ViStatus st = async_call(hs::message(hs::async_status_query, take_rmt(), last_id()),
                                       hs::async_status_response, h, deadline_t(timeout_ms));
        if (st == VI_SUCCESS) *stb = h.control;
        return st;
    }

    ViStatus trigger(ViUInt32 timeout_ms) override {
        return sync_->send(hs::message(hs::trigger, take_rmt(), next_id()), deadline_t(timeout_ms));
    }

    ViStatus lock(const std::string& shared_key, ViUInt32 timeout_ms) override {
        hs::header_t h;
        const deadline_t deadline(timeout_ms > 0xFFFFFFFFu - async_call_ms ? static_cast<ViUInt32>(VI_TMO_INFINITE)
                                                                         : timeout_ms + async_call_ms);
        const ViStatus st = async_call(hs::message(hs::async_lock, hs::lock_request, timeout_ms, shared_key),
                                       hs::async_lock_response, h, deadline);
        if (st != VI_SUCCESS) return st;
        if (h.control == hs::lock_success) return VI_SUCCESS;
        return h.control == hs::lock_failure ? VI_ERROR_TMO : VI_ERROR_IO;
    }
    ViStatus unlock() override {
        hs::header_t h;
        const ViStatus st = async_call(hs::message(hs::async_lock, hs::lock_release, last_id()), hs::async_lock_response,
                                       h, deadline_t(async_call_ms));
        if (st != VI_SUCCESS) return st;
        return h.control == hs::lock_error ? VI_ERROR_SESN_NLOCKED : VI_SUCCESS;
    }

private:
    std::uint8_t take_rmt() {
        const std::uint8_t r = rmt_ ? 1 : 0;
        rmt_ = false;
        return r;
    }
    std::uint32_t next_id() {
        last_sent_ = message_id_;
        message_id_ += 2;
        return last_sent_;
    }
    std::uint32_t last_id() const { return last_sent_ == hs::unknown_message_id ? 0 : last_sent_; }

    // The next Data/DataEnd of the reply to our latest message. Replies to
    // earlier messages (left over from a time-out) and notices of
    // interrupted queries are dropped.
    ViStatus next_data_header(const deadline_t& deadline) {
        while (skip_ > 0) {  // payload of a reply an earlier exchange left unread
            const ViStatus st = sync_->fill(1, deadline);
            if (st != VI_SUCCESS) return st;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(sync_->buffered(), skip_));
            sync_->consume(n);
            skip_ -= n;
        }
        for (;;) {
            ViStatus st = sync_->fill(hs::header_size, deadline);
            if (st != VI_SUCCESS) return st;
            hs::header_t h;
            if (!hs::decode(reinterpret_cast<const unsigned char*>(sync_->data()), h)) {
                sync_->abort();
                return VI_ERROR_IO;
            }
            const bool is_data = h.type == hs::data || h.type == hs::data_end;
            const bool ours = h.parameter == last_sent_ || h.parameter == hs::unknown_message_id;
            if (is_data && ours) {
                sync_->consume(hs::header_size);
                left_ = h.length;
                in_end_ = h.type == hs::data_end;
                in_message_ = true;
                return VI_SUCCESS;
            }
            if (h.length > max_ignored_payload) {
                sync_->abort();
                return VI_ERROR_IO;
            }
            std::string payload;
            st = receive(*sync_, h, payload, deadline);
            if (st != VI_SUCCESS) return st;
            if (h.type == hs::fatal_error) {
                sync_->abort();
                return VI_ERROR_CONN_LOST;
            }
            if (h.type == hs::error) return VI_ERROR_IO;
        }
    }

    // The asynchronous channel is read on a thread of its own, as a service
    // request may come at any time: answers go to async_call, requests to
    // the session's events.
    void read_async() {
        std::string payload;
        for (;;) {
            hs::header_t h;
            const ViStatus st = receive(*async_, h, payload, deadline_t(static_cast<ViUInt32>(VI_TMO_INFINITE)));
            std::lock_guard<std::mutex> lock(async_mutex_);
            if (st != VI_SUCCESS) {
                async_failure_ = st;
                answered_.notify_all();
                return;
            }
            if (h.type == hs::async_service_request) {
                if (on_request_) on_request_();
                continue;
            }
            answers_.push_back(h);
            answered_.notify_all();
        }
    }

    // A request on the asynchronous channel and its answer (an answer left
    // over from a request that timed out is dropped first).
    ViStatus async_call(const std::string& request, std::uint8_t answer, hs::header_t& h, const deadline_t& deadline) {
        {
            std::lock_guard<std::mutex> lock(async_mutex_);
            answers_.clear();
        }
        ViStatus st = async_->send(request, deadline);
        if (st != VI_SUCCESS) return st;
        std::unique_lock<std::mutex> lock(async_mutex_);
        for (;;) {
            while (!answers_.empty()) {
                h = answers_.front();
                answers_.pop_front();
                if (h.type == answer) return VI_SUCCESS;
                if (h.type == hs::fatal_error || h.type == hs::error) return VI_ERROR_IO;
            }
            if (async_failure_ != VI_SUCCESS) return async_failure_;
            if (deadline.expired()) return VI_ERROR_TMO;
            answered_.wait_for(lock, std::chrono::milliseconds(deadline.slice_ms()));
        }
    }

    std::unique_ptr<net::stream_t> sync_, async_;
    std::uint64_t max_write_;
    std::uint32_t message_id_ = hs::first_message_id;
    std::uint32_t last_sent_ = hs::unknown_message_id;
    bool rmt_ = false;          // a whole reply was read since our last message
    std::uint64_t left_ = 0;    // payload bytes of the current data message not yet read
    std::uint64_t skip_ = 0;    // payload bytes of an abandoned data message still to come
    bool in_end_ = false;       // the current data message ends the reply
    bool in_message_ = false;

    std::mutex async_mutex_;  // guards what the reader shares
    std::condition_variable answered_;
    std::deque<hs::header_t> answers_;
    ViStatus async_failure_ = VI_SUCCESS;
    service_request_t on_request_;
    std::thread reader_;
};

}  // namespace

ViStatus open_hislip_transport(const std::string& host, std::uint16_t port, const std::string& sub_address,
                               ViUInt32 timeout_ms, std::unique_ptr<transport_t>& out) {
    const deadline_t deadline(timeout_ms);
    std::unique_ptr<net::stream_t> sync, async;
    ViStatus st = net::stream_t::open(host, port, deadline, sync);
    if (st != VI_SUCCESS) return st;
    const std::uint32_t version_and_vendor = (std::uint32_t(hs::protocol_version) << 16) | ('Z' << 8) | 'V';
    st = sync->send(hs::message(hs::initialize, 0, version_and_vendor, sub_address), deadline);
    hs::header_t h;
    std::string payload;
    if (st == VI_SUCCESS) st = receive(*sync, h, payload, deadline);
    if (st != VI_SUCCESS) return st;
    if (h.type != hs::initialize_response) return h.type == hs::fatal_error ? VI_ERROR_RSRC_NFOUND : VI_ERROR_IO;
    const std::uint16_t session = static_cast<std::uint16_t>(h.parameter & 0xFFFF);
    const bool overlapped = (h.control & 0x01) != 0;

    st = net::stream_t::open(host, port, deadline, async);
    if (st != VI_SUCCESS) return st;
    st = async->send(hs::message(hs::async_initialize, 0, session), deadline);
    if (st == VI_SUCCESS) st = receive(*async, h, payload, deadline);
    if (st != VI_SUCCESS) return st;
    if (h.type != hs::async_initialize_response) return VI_ERROR_IO;

    std::string size(8, '\0');
    for (int i = 0; i < 8; ++i) size[static_cast<std::size_t>(i)] = static_cast<char>(our_max_message >> (56 - 8 * i));
    st = async->send(hs::message(hs::async_maximum_message_size, 0, 0, size), deadline);
    if (st == VI_SUCCESS) st = receive(*async, h, payload, deadline);
    if (st != VI_SUCCESS) return st;
    std::uint64_t server_max = 1u << 20;
    if (h.type == hs::async_maximum_message_size_response && payload.size() == 8) {
        server_max = 0;
        for (unsigned char c : payload) server_max = (server_max << 8) | c;
    }
    // The limit counts the whole message, header included.
    const std::uint64_t max_write = server_max > hs::header_size ? server_max - hs::header_size : 256;
    std::unique_ptr<transport_t> t(new hislip_transport_t(std::move(sync), std::move(async), max_write));
    // A server that starts in overlapped mode is switched to synchronized
    // mode by a device clear, the one place the mode is negotiated.
    if (overlapped) {
        st = t->clear(timeout_ms);
        if (st != VI_SUCCESS) return st;
    }
    out = std::move(t);
    return VI_SUCCESS;
}

}  // namespace zorvisa
