// VXI-11 for the simulated analyzer: a portmapper that answers for the
// core program, the core channel (links, writes, reads, status byte,
// clear, trigger, locks, service requests), the abort channel and the
// interrupt channel to each client that asks for one.
#include "connection.h"
#include "lan_servers.h"

#include <protocols/vxi11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace zorsim {

namespace wire = zorwire;
namespace vxi11 = zorwire::vxi11;
using wire::xdr_reader_t;
using wire::xdr_writer_t;

namespace {

constexpr std::size_t max_record_bytes = (64u << 20) + 4096;
constexpr std::uint32_t max_receive_size = 1u << 20;  // what one device_write may carry
constexpr std::uint8_t message_available = 0x10;

// One record (all its fragments); false when the peer is gone or sends
// more than any call of ours may hold.
bool read_record(lan::connection_t& c, std::string& record) {
    record.clear();
    for (;;) {
        char mark_bytes[4];
        if (!c.read_exact(mark_bytes, 4)) return false;
        const wire::rpc::fragment_t fragment = wire::rpc::read_mark(std::string_view(mark_bytes, 4));
        const std::size_t length = fragment.length;
        if (record.size() + length > max_record_bytes) return false;
        const std::size_t old = record.size();
        record.resize(old + length);
        if (length > 0 && !c.read_exact(&record[old], length)) return false;
        if (fragment.last) return true;
    }
}

bool send_reply(lan::connection_t& c, std::uint32_t xid, std::uint32_t accept_stat, const xdr_writer_t* results) {
    xdr_writer_t w = wire::rpc::reply_header(xid, accept_stat);
    if (results != nullptr) w.bytes() += const_cast<xdr_writer_t*>(results)->bytes();
    return c.write(wire::rpc::mark_record(std::move(w.bytes())));
}

// A program we serve, but not in the version asked: say which we have.
bool send_mismatch(lan::connection_t& c, std::uint32_t xid, std::uint32_t low, std::uint32_t high) {
    xdr_writer_t range;
    range.u32(low).u32(high);
    return send_reply(c, xid, wire::rpc::prog_mismatch, &range);
}

bool is_instrument_name(std::string_view name) {
    if (name.size() < 4) return false;
    std::string lower;
    for (char ch : name.substr(0, 4)) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return lower == "inst";
}

}  // namespace

// What one core connection (one client) set up: its interrupt channel.
struct vxi11_client_t {
    std::mutex mutex;
    std::shared_ptr<lan::connection_t> interrupt;
    std::uint32_t program = 0, version = 0;
    std::uint32_t xid = 0;
};

struct vxi11_link_t {
    std::int32_t id = 0;
    std::shared_ptr<vxi11_client_t> client;
    std::mutex srq_mutex;
    bool srq_enabled = false;
    std::string srq_handle;
    std::uint64_t owner = instrument_lock_t::new_owner();
    message_framer_t framer;
    std::deque<std::string> output;  // replies not yet read
    std::size_t offset = 0;          // into output.front()
    std::atomic<bool> abort{false};
};

struct vxi11_server_t::impl_t {
    std::shared_ptr<analyzer_t> analyzer;
    tcp_server_t::observer_t observer;
    lan::listener_t portmapper, core, abort;
    std::mutex mutex;
    std::map<std::int32_t, std::shared_ptr<vxi11_link_t>> links;
    std::int32_t next_link = 1;
    std::uint64_t srq_listener = 0;

    std::shared_ptr<vxi11_link_t> find(std::int32_t id) {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = links.find(id);
        return it == links.end() ? nullptr : it->second;
    }
    void destroy(std::int32_t id) {
        std::shared_ptr<vxi11_link_t> link;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const auto it = links.find(id);
            if (it == links.end()) return;
            link = it->second;
            links.erase(it);
        }
        analyzer->lock().release(link->owner);
    }

    void serve_portmapper(const std::shared_ptr<lan::connection_t>& c);
    void serve_core(const std::shared_ptr<lan::connection_t>& c);
    void serve_abort(const std::shared_ptr<lan::connection_t>& c);
    void call_core(const std::shared_ptr<vxi11_client_t>& client, std::vector<std::int32_t>& own,
                   const wire::rpc::call_t& call, xdr_writer_t& out, std::uint32_t& accept_stat);
    std::int32_t create_interrupt_channel(vxi11_client_t& client, xdr_reader_t& args, std::uint32_t& status);
    // Waits for another client's lock to go when the call may wait, in
    // slices, so that an abort or the server's end cuts the wait short.
    std::int32_t lock_gate(vxi11_link_t& link, std::uint32_t flags, std::uint32_t lock_timeout) {
        if (!analyzer->lock().locked_against(link.owner)) return vxi11::no_error;
        if (!(flags & vxi11::flag_waitlock)) return vxi11::device_locked;
        link.abort = false;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(lock_timeout);
        for (;;) {
            if (analyzer->lock().wait_until_free(link.owner, 20)) return vxi11::no_error;
            if (link.abort.exchange(false)) return vxi11::aborted;
            if (abort.stopping() || std::chrono::steady_clock::now() >= until) return vxi11::device_locked;
        }
    }
    // device_intr_srq to every client that enabled service requests on a
    // link; its replies are never waited for, only drained.
    void service_request() {
        std::vector<std::shared_ptr<vxi11_link_t>> targets;
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const auto& l : links) targets.push_back(l.second);
        }
        for (const auto& link : targets) {
            std::string handle;
            {
                std::lock_guard<std::mutex> lock(link->srq_mutex);
                if (!link->srq_enabled) continue;
                handle = link->srq_handle;
            }
            vxi11_client_t& client = *link->client;
            std::lock_guard<std::mutex> lock(client.mutex);
            if (!client.interrupt) continue;
            xdr_writer_t msg = wire::rpc::call_header(++client.xid, client.program, client.version, vxi11::device_intr_srq);
            msg.opaque(handle);
            client.interrupt->discard_pending();
            if (!client.interrupt->write(wire::rpc::mark_record(std::move(msg.bytes())))) client.interrupt.reset();
        }
    }
};

vxi11_server_t::vxi11_server_t(std::shared_ptr<analyzer_t> analyzer) : impl_(std::make_shared<impl_t>()) {
    if (!analyzer) throw tcp_server_error("vxi11_server_t needs an analyzer");
    impl_->analyzer = std::move(analyzer);
}

vxi11_server_t::~vxi11_server_t() { stop(); }

void vxi11_server_t::set_observer(tcp_server_t::observer_t observer) { impl_->observer = std::move(observer); }

void vxi11_server_t::start(std::uint16_t portmapper_port, const std::string& bind_address) {
    impl_t* impl = impl_.get();
    impl->core.start(0, bind_address, [impl](const std::shared_ptr<lan::connection_t>& c) { impl->serve_core(c); });
    impl->abort.start(0, bind_address, [impl](const std::shared_ptr<lan::connection_t>& c) { impl->serve_abort(c); });
    try {
        impl->portmapper.start(portmapper_port, bind_address,
                               [impl](const std::shared_ptr<lan::connection_t>& c) { impl->serve_portmapper(c); });
    } catch (...) {
        impl->core.stop();
        impl->abort.stop();
        throw;
    }
    // A request may still be on its way from another server's thread when
    // this one goes: the listener holds the server's state only weakly.
    std::weak_ptr<impl_t> weak = impl_;
    impl->srq_listener = impl->analyzer->add_service_request_listener([weak](std::uint8_t) {
        if (const auto alive = weak.lock()) alive->service_request();
    });
}

void vxi11_server_t::stop() {
    if (impl_->srq_listener != 0) {
        impl_->analyzer->remove_service_request_listener(impl_->srq_listener);
        impl_->srq_listener = 0;
    }
    impl_->portmapper.stop();
    impl_->abort.stop();
    impl_->core.stop();
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (const auto& l : impl_->links) impl_->analyzer->lock().release(l.second->owner);
    impl_->links.clear();
}

std::uint16_t vxi11_server_t::portmapper_port() const { return impl_->portmapper.port(); }
std::uint16_t vxi11_server_t::core_port() const { return impl_->core.port(); }

// Version 2 GETPORT and the rpcbind versions' GETADDR (a "universal
// address": the dotted host and the two port bytes), for the core program
// over TCP only.
void vxi11_server_t::impl_t::serve_portmapper(const std::shared_ptr<lan::connection_t>& c) {
    std::string record;
    while (read_record(*c, record)) {
        wire::rpc::call_t call;
        if (!wire::rpc::parse_call(record, call)) return;
        if (call.program != wire::portmap::program) {
            if (!send_reply(*c, call.xid, wire::rpc::prog_unavail, nullptr)) return;
            continue;
        }
        if (call.program_version < 2 || call.program_version > 4) {
            if (!send_mismatch(*c, call.xid, 2, 4)) return;
            continue;
        }
        xdr_writer_t out;
        std::uint32_t status = wire::rpc::success;
        if (call.procedure == wire::portmap::proc_null) {
        } else if (call.program_version == 2 && call.procedure == wire::portmap::proc_getport) {
            const std::uint32_t program = call.args.u32();
            const std::uint32_t version = call.args.u32();
            const std::uint32_t protocol = call.args.u32();
            call.args.u32();
            const bool ours = program == vxi11::core_program && version == vxi11::program_version &&
                              protocol == wire::portmap::ipproto_tcp;
            if (!call.args.ok()) status = wire::rpc::garbage_args;
            out.u32(ours ? core.port() : 0u);
        } else if (call.procedure == wire::portmap::proc_getaddr) {
            const std::uint32_t program = call.args.u32();
            const std::uint32_t version = call.args.u32();
            const std::string_view netid = call.args.opaque(64);
            call.args.opaque(128);
            call.args.opaque(256);
            std::string address;
            const std::string host = c->local_ipv4();
            if (program == vxi11::core_program && version == vxi11::program_version && netid == "tcp" && !host.empty())
                address = host + "." + std::to_string(core.port() >> 8) + "." + std::to_string(core.port() & 0xFF);
            if (!call.args.ok()) status = wire::rpc::garbage_args;
            out.opaque(address);
        } else {
            status = wire::rpc::proc_unavail;
        }
        if (!send_reply(*c, call.xid, status, status == wire::rpc::success ? &out : nullptr)) return;
    }
}

void vxi11_server_t::impl_t::serve_abort(const std::shared_ptr<lan::connection_t>& c) {
    std::string record;
    while (read_record(*c, record)) {
        wire::rpc::call_t call;
        if (!wire::rpc::parse_call(record, call)) return;
        if (call.program != vxi11::abort_program || call.procedure != vxi11::device_abort) {
            if (!send_reply(*c, call.xid, call.program != vxi11::abort_program ? wire::rpc::prog_unavail
                                                                               : wire::rpc::proc_unavail,
                            nullptr))
                return;
            continue;
        }
        const std::shared_ptr<vxi11_link_t> link = find(call.args.i32());
        if (link) link->abort = true;
        xdr_writer_t out;
        out.i32(link ? vxi11::no_error : vxi11::invalid_link);
        if (!send_reply(*c, call.xid, wire::rpc::success, &out)) return;
    }
}

void vxi11_server_t::impl_t::serve_core(const std::shared_ptr<lan::connection_t>& c) {
    std::vector<std::int32_t> own;  // links made on this connection end with it, and so does its interrupt channel
    const auto client = std::make_shared<vxi11_client_t>();
    std::string record;
    while (read_record(*c, record)) {
        wire::rpc::call_t call;
        if (!wire::rpc::parse_call(record, call)) break;
        xdr_writer_t out;
        std::uint32_t status = wire::rpc::success;
        if (call.program != vxi11::core_program) {
            status = wire::rpc::prog_unavail;
        } else if (call.program_version != vxi11::program_version) {
            if (!send_mismatch(*c, call.xid, 1, 1)) break;
            continue;
        } else {
            call_core(client, own, call, out, status);
            if (abort.stopping()) break;  // the server went away during the call: no answer
        }
        if (!send_reply(*c, call.xid, status, status == wire::rpc::success ? &out : nullptr)) break;
    }
    for (std::int32_t id : own) destroy(id);
    std::lock_guard<std::mutex> lock(client->mutex);
    client->interrupt.reset();
}

// The client serves the interrupt program at an IPv4 address and port of
// its own; we connect there at once, so a wrong address fails here.
std::int32_t vxi11_server_t::impl_t::create_interrupt_channel(vxi11_client_t& client, xdr_reader_t& args,
                                                              std::uint32_t& status) {
    constexpr int connect_timeout_ms = 2000;
    const std::uint32_t address = args.u32();
    const std::uint32_t port = args.u32();
    const std::uint32_t program = args.u32();
    const std::uint32_t version = args.u32();
    const std::uint32_t family = args.u32();
    if (!args.ok()) {
        status = wire::rpc::garbage_args;
        return vxi11::no_error;
    }
    if (family != vxi11::family_tcp || port == 0 || port > 65535) return vxi11::parameter_error;
    std::lock_guard<std::mutex> lock(client.mutex);
    if (client.interrupt) return vxi11::channel_already_established;
    client.interrupt =
        lan::connection_t::connect_ipv4(address, static_cast<std::uint16_t>(port), connect_timeout_ms, core.stopping());
    if (!client.interrupt) return vxi11::channel_not_established;
    client.program = program;
    client.version = version;
    return vxi11::no_error;
}

void vxi11_server_t::impl_t::call_core(const std::shared_ptr<vxi11_client_t>& client, std::vector<std::int32_t>& own,
                                       const wire::rpc::call_t& call, xdr_writer_t& out, std::uint32_t& status) {
    xdr_reader_t args = call.args;
    if (call.procedure == vxi11::create_intr_chan) {
        out.i32(create_interrupt_channel(*client, args, status));
        return;
    }
    if (call.procedure == vxi11::destroy_intr_chan) {
        std::lock_guard<std::mutex> lock(client->mutex);
        out.i32(client->interrupt ? vxi11::no_error : vxi11::channel_not_established);
        client->interrupt.reset();
        return;
    }
    if (call.procedure == vxi11::create_link) {
        args.i32();  // client id
        const bool lock_device = args.boolean();
        const std::uint32_t lock_timeout = args.u32();
        const std::string_view device = args.opaque(256);
        if (!args.ok()) {
            status = wire::rpc::garbage_args;
            return;
        }
        auto link = std::make_shared<vxi11_link_t>();
        link->client = client;
        std::int32_t error = vxi11::no_error;
        if (!is_instrument_name(device)) error = vxi11::device_not_accessible;
        else if (lock_device && !analyzer->lock().acquire(link->owner, std::string(), lock_timeout))
            error = vxi11::device_locked;
        if (error == vxi11::no_error) {
            std::lock_guard<std::mutex> lock(mutex);
            link->id = next_link++;
            links.emplace(link->id, link);
            own.push_back(link->id);
        }
        out.i32(error).i32(error == vxi11::no_error ? link->id : 0).u32(abort.port()).u32(max_receive_size);
        return;
    }
    const std::int32_t id = args.i32();
    const std::shared_ptr<vxi11_link_t> link = find(id);
    const auto fail = [&](std::int32_t error) { out.i32(error); };
    switch (call.procedure) {
    case vxi11::device_write: {
        const std::uint32_t io_timeout = args.u32();
        const std::uint32_t lock_timeout = args.u32();
        const std::uint32_t flags = args.u32();
        const std::string_view data = args.opaque(max_record_bytes);
        (void)io_timeout;
        if (!args.ok()) return void(status = wire::rpc::garbage_args);
        if (!link) return void(out.i32(vxi11::invalid_link).u32(0));
        const std::int32_t gate = lock_gate(*link, flags, lock_timeout);
        if (gate != vxi11::no_error) return void(out.i32(gate).u32(0));
        std::vector<std::string> messages;
        link->framer.feed(data, messages);
        if ((flags & vxi11::flag_end) && link->framer.pending() > 0) link->framer.feed("\n", messages);
        if (link->framer.pending() > tcp_server_t::max_message_bytes) {  // never ended: refuse to grow further
            link->framer.clear();
            return void(out.i32(vxi11::out_of_resources).u32(0));
        }
        for (const std::string& m : messages) {
            response_t r = analyzer->receive(m);
            if (observer) observer(static_cast<std::uint64_t>(link->id), m, r);
            if (r.has_reply && r.read_status == 0) link->output.push_back(std::move(r.reply));
        }
        out.i32(vxi11::no_error).u32(static_cast<std::uint32_t>(data.size()));
        return;
    }
    case vxi11::device_read: {
        const std::uint32_t request = args.u32();
        const std::uint32_t io_timeout = args.u32();
        const std::uint32_t lock_timeout = args.u32();
        const std::uint32_t flags = args.u32();
        const std::uint32_t term = args.u32();
        if (!args.ok()) return void(status = wire::rpc::garbage_args);
        if (!link) return void(out.i32(vxi11::invalid_link).u32(0).opaque({}));
        const std::int32_t gate = lock_gate(*link, flags, lock_timeout);
        if (gate != vxi11::no_error) return void(out.i32(gate).u32(0).opaque({}));
        if (link->output.empty()) {
            // Nothing to read: a real device waits for its time-out (or an abort).
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(io_timeout);
            link->abort = false;
            while (!link->abort && !abort.stopping() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const bool aborted = link->abort.exchange(false);
            return void(out.i32(aborted ? vxi11::aborted : vxi11::io_timeout).u32(0).opaque({}));
        }
        const std::string& reply = link->output.front();
        std::size_t n = std::min<std::size_t>(request, reply.size() - link->offset);
        std::uint32_t reason = 0;
        if (flags & vxi11::flag_termchr_set) {
            const std::size_t at = reply.find(static_cast<char>(term & 0xFF), link->offset);
            if (at != std::string::npos && at < link->offset + n) {
                n = at + 1 - link->offset;
                reason |= vxi11::reason_chr;
            }
        }
        out.i32(vxi11::no_error);
        const std::string_view piece(reply.data() + link->offset, n);
        link->offset += n;
        if (link->offset == reply.size()) reason |= vxi11::reason_end;
        else if (!(reason & vxi11::reason_chr)) reason |= vxi11::reason_reqcnt;
        out.u32(reason).opaque(piece);
        if (reason & vxi11::reason_end) {
            link->output.pop_front();
            link->offset = 0;
        }
        return;
    }
    case vxi11::device_readstb:
    case vxi11::device_trigger:
    case vxi11::device_clear:
    case vxi11::device_remote:
    case vxi11::device_local: {
        const std::uint32_t flags = args.u32();
        const std::uint32_t lock_timeout = args.u32();
        args.u32();
        if (!args.ok()) return void(status = wire::rpc::garbage_args);
        if (!link) return void(call.procedure == vxi11::device_readstb ? void(out.i32(vxi11::invalid_link).u32(0))
                                                                        : fail(vxi11::invalid_link));
        const std::int32_t gate = lock_gate(*link, flags, lock_timeout);
        if (call.procedure == vxi11::device_readstb) {
            std::uint8_t stb = analyzer->status_byte();
            if (!link->output.empty()) stb |= message_available;
            out.i32(gate).u32(gate == vxi11::no_error ? stb : 0u);
            return;
        }
        if (gate == vxi11::no_error && call.procedure == vxi11::device_clear) {
            link->output.clear();
            link->offset = 0;
            link->framer.clear();
        }
        // A trigger starts nothing more: the simulated sweep is always complete.
        return fail(gate);
    }
    case vxi11::device_lock: {
        const std::uint32_t flags = args.u32();
        const std::uint32_t lock_timeout = args.u32();
        if (!args.ok()) return void(status = wire::rpc::garbage_args);
        if (!link) return fail(vxi11::invalid_link);
        const bool ok = analyzer->lock().acquire(link->owner, std::string(),
                                                 (flags & vxi11::flag_waitlock) ? lock_timeout : 0u);
        return fail(ok ? vxi11::no_error : vxi11::device_locked);
    }
    case vxi11::device_unlock:
        if (!link) return fail(vxi11::invalid_link);
        return fail(analyzer->lock().release(link->owner) ? vxi11::no_error : vxi11::no_lock_held);
    case vxi11::destroy_link:
        if (!link) return fail(vxi11::invalid_link);
        destroy(id);
        own.erase(std::remove(own.begin(), own.end(), id), own.end());
        return fail(vxi11::no_error);
    case vxi11::device_enable_srq: {
        const bool enable = args.boolean();
        const std::string_view handle = args.opaque(40);
        if (!args.ok()) return void(status = wire::rpc::garbage_args);
        if (!link) return fail(vxi11::invalid_link);
        std::lock_guard<std::mutex> lock(link->srq_mutex);
        link->srq_enabled = enable;
        link->srq_handle.assign(handle.data(), handle.size());
        return fail(vxi11::no_error);
    }
    case vxi11::device_docmd:
        return void(out.i32(vxi11::not_supported).opaque({}));
    default:
        status = wire::rpc::proc_unavail;
        return;
    }
}

}  // namespace zorsim
