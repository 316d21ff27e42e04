// HiSLIP for the simulated analyzer, in synchronized mode: a synchronous
// channel per session for data, trigger and the end of a device clear, an
// asynchronous one for locks, status, the size negotiation, the start of a
// device clear and service requests.
#include "connection.h"
#include "lan_servers.h"

#include <protocols/hislip.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zorsim {

namespace hs = zorwire::hislip;

namespace {

constexpr std::uint8_t message_available = 0x10;
constexpr std::uint32_t lock_wait_slice_ms = 100;
constexpr std::size_t max_sub_address = 256;

bool read_header(lan::connection_t& c, hs::header_t& h, bool& malformed) {
    unsigned char bytes[hs::header_size];
    malformed = false;
    if (!c.read_exact(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
    malformed = !hs::decode(bytes, h);
    return !malformed;
}

// Reads a payload of at most `limit` bytes; a longer one is read and dropped
// (*dropped set) so the channel stays in step.
bool read_payload(lan::connection_t& c, std::uint64_t length, std::uint64_t limit, std::string& payload,
                  bool* dropped = nullptr) {
    payload.clear();
    if (dropped != nullptr) *dropped = length > limit;
    if (length <= limit) {
        payload.resize(static_cast<std::size_t>(length));
        return length == 0 || c.read_exact(&payload[0], payload.size());
    }
    char sink[4096];
    while (length > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof sink));
        if (!c.read_exact(sink, n)) return false;
        length -= n;
    }
    return true;
}


}  // namespace

struct hislip_session_t {
    std::uint16_t id = 0;
    std::uint64_t owner = instrument_lock_t::new_owner();
    std::shared_ptr<lan::connection_t> sync;
    std::mutex mutex;  // guards the fields below
    std::shared_ptr<lan::connection_t> async;
    std::uint64_t client_max = ~std::uint64_t(0);
    bool message_available = false;  // a reply went out and the client has not said it was read whole
    bool clearing = false;           // between AsyncDeviceClear and DeviceClearComplete
};

struct hislip_server_t::impl_t {
    std::shared_ptr<analyzer_t> analyzer;
    tcp_server_t::observer_t observer;
    lan::listener_t listener;
    std::mutex mutex;
    std::map<std::uint16_t, std::shared_ptr<hislip_session_t>> sessions;
    std::uint16_t next_session = 1;
    std::uint64_t srq_listener = 0;

    void serve(const std::shared_ptr<lan::connection_t>& c);
    void serve_sync(hislip_session_t& s);
    void serve_async(hislip_session_t& s, lan::connection_t& c);
    void service_request(std::uint8_t stb) {
        std::vector<std::shared_ptr<lan::connection_t>> targets;
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const auto& s : sessions) {
                std::lock_guard<std::mutex> session_lock(s.second->mutex);
                if (s.second->async) targets.push_back(s.second->async);
            }
        }
        for (const auto& a : targets) a->write(hs::message(hs::async_service_request, stb, 0));
    }
};

hislip_server_t::hislip_server_t(std::shared_ptr<analyzer_t> analyzer) : impl_(std::make_shared<impl_t>()) {
    if (!analyzer) throw tcp_server_error("hislip_server_t needs an analyzer");
    impl_->analyzer = std::move(analyzer);
}

hislip_server_t::~hislip_server_t() { stop(); }

void hislip_server_t::set_observer(tcp_server_t::observer_t observer) { impl_->observer = std::move(observer); }

std::uint16_t hislip_server_t::start(std::uint16_t port, const std::string& bind_address) {
    impl_t* impl = impl_.get();
    const std::uint16_t bound =
        impl->listener.start(port, bind_address, [impl](const std::shared_ptr<lan::connection_t>& c) { impl->serve(c); });
    // A request may still be on its way from another server's thread when
    // this one goes: the listener holds the server's state only weakly.
    std::weak_ptr<impl_t> weak = impl_;
    impl->srq_listener = impl->analyzer->add_service_request_listener([weak](std::uint8_t stb) {
        if (const auto alive = weak.lock()) alive->service_request(stb);
    });
    return bound;
}

void hislip_server_t::stop() {
    if (impl_->srq_listener != 0) {
        impl_->analyzer->remove_service_request_listener(impl_->srq_listener);
        impl_->srq_listener = 0;
    }
    impl_->listener.stop();
}

std::uint16_t hislip_server_t::port() const { return impl_->listener.port(); }

// The first message of a connection says which channel it is.
void hislip_server_t::impl_t::serve(const std::shared_ptr<lan::connection_t>& c) {
    hs::header_t h;
    bool malformed = false;
    std::string payload;
    if (!read_header(*c, h, malformed) || !read_payload(*c, h.length, max_sub_address, payload)) {
        if (malformed) c->write(hs::message(hs::fatal_error, hs::fatal_poorly_formed_header, 0));
        return;
    }
    if (h.type == hs::initialize) {
        auto s = std::make_shared<hislip_session_t>();
        s->sync = c;
        {
            std::lock_guard<std::mutex> lock(mutex);
            do {
                s->id = next_session++;
            } while (s->id == 0 || sessions.count(s->id) != 0);
            sessions.emplace(s->id, s);
        }
        const std::uint32_t parameter = (std::uint32_t(hs::protocol_version) << 16) | s->id;
        if (c->write(hs::message(hs::initialize_response, 0, parameter))) serve_sync(*s);
        {
            std::lock_guard<std::mutex> lock(mutex);
            sessions.erase(s->id);
        }
        analyzer->lock().release(s->owner);
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->async) s->async->shutdown();
        return;
    }
    std::shared_ptr<hislip_session_t> s;
    if (h.type == hs::async_initialize) {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = sessions.find(static_cast<std::uint16_t>(h.parameter & 0xFFFF));
        if (it != sessions.end()) s = it->second;
    }
    if (!s) {
        c->write(hs::message(hs::fatal_error, hs::fatal_invalid_initialization, 0, "initialize first"));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->async) {
            c->write(hs::message(hs::fatal_error, hs::fatal_invalid_initialization, 0, "session has its channel"));
            return;
        }
        s->async = c;
    }
    if (c->write(hs::message(hs::async_initialize_response, 0, ('Z' << 8) | 'V'))) serve_async(*s, *c);
    std::lock_guard<std::mutex> lock(s->mutex);
    s->async.reset();
}

void hislip_server_t::impl_t::serve_sync(hislip_session_t& s) {
    lan::connection_t& c = *s.sync;
    message_framer_t framer;
    hs::header_t h;
    bool malformed = false;
    std::string payload;
    std::vector<std::string> messages;
    while (read_header(c, h, malformed)) {
        bool dropped = false;
        if (!read_payload(c, h.length, max_message_bytes, payload, &dropped)) return;
        if (h.type == hs::data || h.type == hs::data_end || h.type == hs::trigger) {
            bool clearing;
            std::uint64_t client_max;
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (h.control & 0x01) s.message_available = false;  // RMT delivered
                clearing = s.clearing;
                client_max = s.client_max;
            }
            if (dropped) {
                if (!c.write(hs::message(hs::error, hs::error_message_too_large, 0, "message too large"))) return;
                continue;
            }
            if (clearing || h.type == hs::trigger) continue;  // a trigger: the simulated sweep is always complete
            // Another client's lock holds this message back until it is released.
            while (!analyzer->lock().wait_until_free(s.owner, lock_wait_slice_ms))
                if (listener.stopping()) return;
            messages.clear();
            framer.feed(payload, messages);
            if (h.type == hs::data_end && framer.pending() > 0) framer.feed("\n", messages);
            if (framer.pending() > tcp_server_t::max_message_bytes) {  // never ended: refuse to grow further
                framer.clear();
                if (!c.write(hs::message(hs::error, hs::error_message_too_large, 0, "message too large"))) return;
                continue;
            }
            for (const std::string& m : messages) {
                response_t r = analyzer->receive(m);
                if (observer) observer(s.id, m, r);
                if (!r.has_reply || r.read_status != 0) continue;
                {
                    std::lock_guard<std::mutex> lock(s.mutex);
                    s.message_available = true;
                }
                // In pieces the client accepts, the last one ending the reply.
                const std::size_t piece = static_cast<std::size_t>(
                    std::min<std::uint64_t>(client_max > hs::header_size + 1 ? client_max - hs::header_size : 1, 1u << 30));
                std::size_t at = 0;
                do {
                    const std::size_t n = std::min(piece, r.reply.size() - at);
                    const bool last = at + n == r.reply.size();
                    if (!c.write(hs::message(last ? hs::data_end : hs::data, 0, h.parameter,
                                             std::string_view(r.reply.data() + at, n))))
                        return;
                    at += n;
                } while (at < r.reply.size());
            }
        } else if (h.type == hs::device_clear_complete) {
            framer.clear();
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                s.clearing = false;
                s.message_available = false;
            }
            if (!c.write(hs::message(hs::device_clear_acknowledge, 0, 0))) return;  // synchronized mode kept
        } else if (h.type == hs::fatal_error) {
            return;
        } else if (h.type != hs::error) {
            if (!c.write(hs::message(hs::error, hs::error_unrecognized_type, 0, "not on the synchronous channel"))) return;
        }
    }
    if (malformed) c.write(hs::message(hs::fatal_error, hs::fatal_poorly_formed_header, 0));
}

void hislip_server_t::impl_t::serve_async(hislip_session_t& s, lan::connection_t& c) {
    hs::header_t h;
    bool malformed = false;
    std::string payload;
    while (read_header(c, h, malformed)) {
        if (!read_payload(c, h.length, max_sub_address, payload)) return;
        std::string answer;
        switch (h.type) {
        case hs::async_lock:
            if (h.control == hs::lock_request) {
                const bool granted = analyzer->lock().acquire(s.owner, payload, h.parameter);
                answer = hs::message(hs::async_lock_response, granted ? hs::lock_success : hs::lock_failure, 0);
            } else {
                bool shared = false;
                const bool released = analyzer->lock().release(s.owner, &shared);
                answer = hs::message(hs::async_lock_response,
                                     !released ? hs::lock_error : shared ? hs::lock_success_shared : hs::lock_success, 0);
            }
            break;
        case hs::async_lock_info:
            answer = hs::message(hs::async_lock_info_response, analyzer->lock().exclusive() ? 1 : 0,
                                 static_cast<std::uint32_t>(analyzer->lock().holders()));
            break;
        case hs::async_status_query: {
            std::uint8_t stb = analyzer->status_byte();
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (h.control & 0x01) s.message_available = false;
                if (s.message_available) stb |= message_available;
            }
            answer = hs::message(hs::async_status_response, stb, 0);
            break;
        }
        case hs::async_maximum_message_size:
            if (payload.size() == 8) {
                std::uint64_t size = 0;
                for (unsigned char b : payload) size = (size << 8) | b;
                std::lock_guard<std::mutex> lock(s.mutex);
                s.client_max = size;
            }
            answer = hs::message(hs::async_maximum_message_size_response, 0, 0, hs::size_payload(max_message_bytes));
            break;
        case hs::async_device_clear: {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.clearing = true;
            s.message_available = false;
            answer = hs::message(hs::async_device_clear_acknowledge, 0, 0);
            break;
        }
        case hs::async_remote_local_control:
            answer = hs::message(hs::async_remote_local_response, 0, 0);
            break;
        case hs::fatal_error:
            return;
        case hs::error:
            continue;
        default:
            answer = hs::message(hs::error, hs::error_unrecognized_type, 0, "not on the asynchronous channel");
            break;
        }
        if (!c.write(answer)) return;
    }
    if (malformed) c.write(hs::message(hs::fatal_error, hs::fatal_poorly_formed_header, 0));
}

}  // namespace zorsim
