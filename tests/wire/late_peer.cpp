#include "late_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include <protocols/hislip.h>
#include <protocols/onc_rpc.h>
#include <protocols/vxi11.h>
#include <protocols/xdr.h>
#include <simulator/servers/tcp_server.h>
#include "../support/vna_sim_process.h"

namespace wire_test {

namespace lan = zorwire;
namespace vxi11 = zorwire::vxi11;
namespace hs = zorwire::hislip;
using std::chrono::milliseconds;

const char* name_of(protocol_t p) {
    return p == protocol_t::socket ? "Socket" : p == protocol_t::vxi11 ? "Vxi11" : "Hislip";
}

std::size_t bytes_before(point_t at, std::size_t size) {
    if (size == 0) return 0;
    return at == point_t::first ? 0 : at == point_t::middle ? size / 2 : size - 1;
}

namespace {

// The pieces replies go out in: single bytes, then small sends.
constexpr std::size_t single_bytes = 64, small_piece = 1000;
constexpr std::size_t record_fragment = 7;  // VXI-11 bytes per record fragment
constexpr std::size_t data_payload = 5;     // HiSLIP bytes per Data message

bool send_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t sent = ::send(fd, p, n, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        p += sent;
        n -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool recv_exact(int fd, char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd, p, n, 0);
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

int listen_on_loopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, 8);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

std::string without_line_end(std::string m) {
    while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.pop_back();
    return m;
}

}  // namespace

// One connection: program messages worked through in order by a thread of
// its own, the replies sent by the protocol's emit().
struct connection_t {
    late_instrument_t::impl_t& owner;
    const int fd;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<std::string, std::uint32_t>> inbox;  // message, HiSLIP message ID
    unsigned generation = 0;                                   // a device clear moves it on
    bool stopping = false;
    std::thread server, worker;

    connection_t(late_instrument_t::impl_t& o, int f) : owner(o), fd(f) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    virtual ~connection_t() = default;
    virtual void serve() = 0;
    // Sends `reply`, holding it back after hold->at bytes when given.
    virtual void emit(const std::string& reply, std::uint32_t id, const hold_t* hold, unsigned gen) = 0;
    virtual void cleared() {}

    void post(std::string message, std::uint32_t id) {
        std::lock_guard<std::mutex> lock(mutex);
        inbox.emplace_back(std::move(message), id);
        changed.notify_all();
    }
    void device_clear() {
        std::lock_guard<std::mutex> lock(mutex);
        inbox.clear();
        ++generation;
        cleared();
        changed.notify_all();
    }
    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            changed.notify_all();
        }
        ::shutdown(fd, SHUT_RDWR);
    }
    // False when a clear or the end came during the pause.
    bool wait_out(milliseconds pause, unsigned gen) {
        std::unique_lock<std::mutex> lock(mutex);
        return !changed.wait_for(lock, pause, [&] { return stopping || generation != gen; });
    }
    bool current(unsigned gen) {
        std::lock_guard<std::mutex> lock(mutex);
        return !stopping && generation == gen;
    }
    void work();
};

struct late_instrument_t::impl_t {
    late_instrument_t& self;
    protocol_t protocol;
    int listener = -1, portmapper = -1;
    std::uint16_t port = 0, portmapper_port = 0;
    std::atomic<bool> stopping{false};
    std::thread accepting, mapping;
    std::mutex mutex;  // guards connections, sessions and the hold
    std::vector<std::shared_ptr<connection_t>> connections;
    std::map<std::uint16_t, std::shared_ptr<connection_t>> sessions;  // HiSLIP session -> synchronous channel
    std::optional<hold_t> held;

    impl_t(late_instrument_t& s, protocol_t p) : self(s), protocol(p) {}

    std::optional<hold_t> take_hold(const std::string& message, bool write_answer) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!held || held->write_answer != write_answer || message.rfind(held->message, 0) != 0) return std::nullopt;
        std::optional<hold_t> h = held;
        held.reset();
        return h;
    }
    void start_connection(std::shared_ptr<connection_t> c) {
        std::lock_guard<std::mutex> lock(mutex);
        c->server = std::thread([c] { c->serve(); });
        c->worker = std::thread([c] { c->work(); });
        connections.push_back(std::move(c));
    }
    void accept_loop(int fd, const std::function<void(int)>& on_connection) {
        while (!stopping) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept(fd, nullptr, nullptr);
            if (client >= 0) on_connection(client);
        }
    }
    void portmap_serve(int client);
};

void connection_t::work() {
    for (;;) {
        std::pair<std::string, std::uint32_t> next;
        unsigned gen = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return stopping || !inbox.empty(); });
            if (stopping) return;
            next = std::move(inbox.front());
            inbox.pop_front();
            gen = generation;
        }
        const zorsim::response_t r = owner.self.analyzer->receive(next.first);
        if (!r.has_reply) continue;
        const std::optional<hold_t> hold = owner.take_hold(next.first, false);
        emit(r.reply, next.second, hold ? &*hold : nullptr, gen);
    }
}

namespace {

// ---------------------------------------------------------------- raw socket

struct raw_connection_t final : connection_t {
    using connection_t::connection_t;

    void serve() override {
        zorsim::message_framer_t framer;
        std::vector<std::string> messages;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            messages.clear();
            framer.feed(std::string_view(buffer, static_cast<std::size_t>(n)), messages);
            for (std::string& m : messages) post(std::move(m), 0);
        }
    }
    // Single bytes first, then small pieces.
    bool send_pieces(const std::string& bytes, std::size_t from, std::size_t to, unsigned gen) {
        for (std::size_t i = from; i < to;) {
            if (!current(gen)) return false;
            const std::size_t n = i < single_bytes ? 1 : std::min(small_piece, to - i);
            if (!send_all(fd, bytes.data() + i, n)) return false;
            i += n;
        }
        return true;
    }
    void emit(const std::string& reply, std::uint32_t, const hold_t* hold, unsigned gen) override {
        const std::size_t at = hold ? bytes_before(hold->at, reply.size()) : reply.size();
        if (!send_pieces(reply, 0, at, gen)) return;
        if (hold && !wait_out(hold->pause, gen)) return;
        send_pieces(reply, at, reply.size(), gen);
    }
};

// ---------------------------------------------------------------- VXI-11

// Every record in fragments of a few bytes, each sent on its own.
bool send_record(int fd, const std::string& record) {
    std::size_t i = 0;
    do {
        const std::size_t n = std::min(record_fragment, record.size() - i);
        const bool last = i + n == record.size();
        lan::xdr_writer_t mark;
        mark.u32((last ? 0x80000000u : 0u) | static_cast<std::uint32_t>(n));
        std::string fragment = mark.bytes() + record.substr(i, n);
        if (!send_all(fd, fragment.data(), fragment.size())) return false;
        i += n;
    } while (i < record.size());
    return true;
}

bool receive_record(int fd, std::string& record) {
    record.clear();
    for (;;) {
        char mark[4];
        if (!recv_exact(fd, mark, 4)) return false;
        const std::uint32_t word = lan::xdr_reader_t(std::string_view(mark, 4)).u32();
        const std::size_t n = word & 0x7FFFFFFFu;
        if (n > (1u << 20)) return false;
        const std::size_t old = record.size();
        record.resize(old + n);
        if (!recv_exact(fd, &record[old], n)) return false;
        if (word & 0x80000000u) return true;
    }
}

struct vxi11_connection_t final : connection_t {
    using connection_t::connection_t;

    struct output_t {
        std::string bytes;
        std::size_t available = 0, sent = 0;
    };
    std::deque<output_t> output;  // guarded by mutex
    std::string input;            // of the message being written

    void cleared() override { output.clear(); }  // under mutex

    void emit(const std::string& reply, std::uint32_t, const hold_t* hold, unsigned gen) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (generation != gen) return;
            output.push_back({reply, hold ? bytes_before(hold->at, reply.size()) : reply.size(), 0});
            changed.notify_all();
        }
        if (!hold || !wait_out(hold->pause, gen)) return;
        std::lock_guard<std::mutex> lock(mutex);
        if (generation == gen && !output.empty()) output.back().available = output.back().bytes.size();
        changed.notify_all();
    }

    void serve() override {
        std::string record;
        while (receive_record(fd, record)) {
            lan::rpc::call_t call;
            if (!lan::rpc::parse_call(record, call)) return;
            lan::xdr_writer_t reply = lan::rpc::reply_header(call.xid, lan::rpc::success);
            answer(call, reply);
            if (!send_record(fd, reply.bytes())) return;
        }
    }

    void answer(lan::rpc::call_t& call, lan::xdr_writer_t& out) {
        lan::xdr_reader_t& args = call.args;
        switch (call.procedure) {
        case vxi11::create_link:  // no abort channel: a time-out is all the client has
            out.i32(vxi11::no_error).i32(1).u32(0).u32(64);
            return;
        case vxi11::device_write: {
            args.i32();
            args.u32();
            args.u32();
            const std::uint32_t flags = args.u32();
            const std::string_view data = args.opaque();
            input.append(data.data(), data.size());
            out.i32(vxi11::no_error).u32(static_cast<std::uint32_t>(data.size()));
            if (!(flags & vxi11::flag_end)) return;
            const std::string message = without_line_end(std::move(input));
            input.clear();
            const std::optional<hold_t> hold = owner.take_hold(message, true);
            unsigned gen = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                gen = generation;
            }
            post(message, 0);
            if (hold) wait_out(hold->pause, gen);  // the device takes its time to say it took the message
            return;
        }
        case vxi11::device_read: {
            args.i32();
            const std::uint32_t request = args.u32();
            const std::uint32_t io_timeout = args.u32();
            std::unique_lock<std::mutex> lock(mutex);
            const bool some = changed.wait_for(lock, milliseconds(io_timeout), [&] {
                return stopping || (!output.empty() && output.front().available > output.front().sent);
            });
            if (!some || stopping) {
                out.i32(vxi11::io_timeout).u32(0).opaque({});
                return;
            }
            output_t& front = output.front();
            const std::size_t n = std::min<std::size_t>(request, front.available - front.sent);
            const std::string piece = front.bytes.substr(front.sent, n);
            front.sent += n;
            std::uint32_t reason = 0;
            if (front.sent == front.bytes.size()) {
                reason = vxi11::reason_end;
                output.pop_front();
            } else if (n == request) {
                reason = vxi11::reason_reqcnt;
            }
            out.i32(vxi11::no_error).u32(reason).opaque(piece);
            return;
        }
        case vxi11::device_clear:
            device_clear();
            out.i32(vxi11::no_error);
            return;
        case vxi11::destroy_link: out.i32(vxi11::no_error); return;
        default: out.i32(vxi11::not_supported); return;
        }
    }
};

// ---------------------------------------------------------------- HiSLIP

bool receive_message(int fd, hs::header_t& h, std::string& payload) {
    char header[hs::header_size];
    if (!recv_exact(fd, header, sizeof header) || !hs::decode(reinterpret_cast<unsigned char*>(header), h)) return false;
    if (h.length > (1u << 20)) return false;
    payload.resize(static_cast<std::size_t>(h.length));
    return recv_exact(fd, payload.data(), payload.size());
}

bool send_message(int fd, const std::string& message) { return send_all(fd, message.data(), message.size()); }

struct hislip_sync_t final : connection_t {
    using connection_t::connection_t;

    void serve() override {
        std::string message, payload;
        hs::header_t h;
        while (receive_message(fd, h, payload)) {
            if (h.type == hs::data || h.type == hs::data_end) {
                message += payload;
                if (h.type == hs::data_end) {
                    post(without_line_end(std::move(message)), h.parameter);
                    message.clear();
                }
            } else if (h.type == hs::device_clear_complete) {
                if (!send_message(fd, hs::message(hs::device_clear_acknowledge, 0, 0))) return;
            }
        }
    }
    // The reply as Data messages of a few bytes and a DataEnd, sent in
    // pieces that cut across headers; held back at reply byte `at`.
    void emit(const std::string& reply, std::uint32_t id, const hold_t* hold, unsigned gen) override {
        std::string stream;
        std::size_t hold_at = std::string::npos;
        const std::size_t at = hold ? bytes_before(hold->at, reply.size()) : reply.size();
        for (std::size_t i = 0; i < reply.size(); i += data_payload) {
            const std::size_t n = std::min(data_payload, reply.size() - i);
            const bool last = i + n >= reply.size();
            const std::size_t header_at = stream.size();
            stream += hs::message(last ? hs::data_end : hs::data, 0, id, std::string_view(reply).substr(i, n));
            // Before a header, or inside a payload after the header.
            if (hold && hold_at == std::string::npos && at < i + n)
                hold_at = at == i ? header_at : header_at + hs::header_size + (at - i);
        }
        if (hold_at == std::string::npos) hold_at = stream.size();
        for (std::size_t i = 0; i < stream.size();) {
            if (!current(gen)) return;
            if (hold && i == hold_at && !wait_out(hold->pause, gen)) return;
            std::size_t n = std::min<std::size_t>(record_fragment, stream.size() - i);
            if (hold && i < hold_at) n = std::min(n, hold_at - i);
            if (!send_all(fd, stream.data() + i, n)) return;
            i += n;
        }
    }
};

struct hislip_async_t final : connection_t {
    using connection_t::connection_t;
    std::shared_ptr<connection_t> sync;

    void serve() override {
        std::string payload;
        hs::header_t h;
        while (receive_message(fd, h, payload)) {
            std::string answer;
            switch (h.type) {
            case hs::async_maximum_message_size:
                answer = hs::message(hs::async_maximum_message_size_response, 0, 0, std::string("\0\0\0\0\0\x10\0\0", 8));
                break;
            case hs::async_device_clear:
                if (sync) sync->device_clear();
                answer = hs::message(hs::async_device_clear_acknowledge, 0, 0);
                break;
            default: continue;
            }
            if (!send_message(fd, answer)) return;
        }
    }
    void emit(const std::string&, std::uint32_t, const hold_t*, unsigned) override {}
};

}  // namespace

void late_instrument_t::impl_t::portmap_serve(int client) {
    std::string record;
    while (receive_record(client, record)) {
        lan::rpc::call_t call;
        if (!lan::rpc::parse_call(record, call)) break;
        lan::xdr_writer_t reply = lan::rpc::reply_header(call.xid, lan::rpc::success);
        reply.u32(port);
        if (!send_record(client, reply.bytes())) break;
    }
    ::close(client);
}

late_instrument_t::late_instrument_t(protocol_t protocol) : impl_(std::make_unique<impl_t>(*this, protocol)) {
    impl_t& m = *impl_;
    m.listener = listen_on_loopback(m.port);
    m.accepting = std::thread([&m] {
        m.accept_loop(m.listener, [&m](int client) {
            if (m.protocol == protocol_t::socket) return m.start_connection(std::make_shared<raw_connection_t>(m, client));
            if (m.protocol == protocol_t::vxi11) return m.start_connection(std::make_shared<vxi11_connection_t>(m, client));
            // HiSLIP: the first message says which channel this is.
            hs::header_t h;
            std::string payload;
            if (!receive_message(client, h, payload)) return void(::close(client));
            std::lock_guard<std::mutex> lock(m.mutex);
            if (h.type == hs::initialize) {
                const std::uint16_t session = static_cast<std::uint16_t>(m.sessions.size() + 1);
                auto sync = std::make_shared<hislip_sync_t>(m, client);
                m.sessions[session] = sync;
                send_message(client, hs::message(hs::initialize_response, 0,
                                                 (std::uint32_t(hs::protocol_version) << 16) | session));
                sync->server = std::thread([sync] { sync->serve(); });
                sync->worker = std::thread([sync] { sync->work(); });
                m.connections.push_back(sync);
            } else if (h.type == hs::async_initialize) {
                auto async = std::make_shared<hislip_async_t>(m, client);
                const auto found = m.sessions.find(static_cast<std::uint16_t>(h.parameter));
                if (found != m.sessions.end()) async->sync = found->second;
                send_message(client, hs::message(hs::async_initialize_response, 0, 0x5A46));
                async->server = std::thread([async] { async->serve(); });
                m.connections.push_back(async);
            } else {
                ::close(client);
            }
        });
    });
    if (protocol == protocol_t::vxi11) {
        m.portmapper = listen_on_loopback(m.portmapper_port);
        m.mapping = std::thread([&m] { m.accept_loop(m.portmapper, [&m](int client) { m.portmap_serve(client); }); });
        zor_test::vna_sim_process_t::set_portmapper_port(m.portmapper_port);
    }
}

late_instrument_t::~late_instrument_t() {
    impl_t& m = *impl_;
    m.stopping = true;
    if (m.accepting.joinable()) m.accepting.join();
    if (m.mapping.joinable()) m.mapping.join();
    std::vector<std::shared_ptr<connection_t>> all;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        all = m.connections;
        m.sessions.clear();
    }
    for (auto& c : all) c->stop();
    for (auto& c : all) {
        if (c->server.joinable()) c->server.join();
        if (c->worker.joinable()) c->worker.join();
        ::close(c->fd);
    }
    for (auto& c : all) {
        if (auto* async = dynamic_cast<hislip_async_t*>(c.get())) async->sync.reset();
    }
    ::close(m.listener);
    if (m.portmapper >= 0) ::close(m.portmapper);
}

std::string late_instrument_t::resource() const {
    const std::string port = std::to_string(impl_->port);
    switch (impl_->protocol) {
    case protocol_t::socket: return "TCPIP0::127.0.0.1::" + port + "::SOCKET";
    case protocol_t::vxi11: return "TCPIP0::127.0.0.1::inst0::INSTR";
    case protocol_t::hislip: return "TCPIP0::127.0.0.1::hislip0," + port + "::INSTR";
    }
    return {};
}

void late_instrument_t::hold(const hold_t& h) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->held = h;
}

}  // namespace wire_test
