#include "vxi11_transport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "net.h"
#include <protocols/vxi11.h>

namespace zorvisa {
namespace {

namespace lan = zorwire;
namespace vxi11 = zorwire::vxi11;

constexpr std::size_t max_record = 64u << 20;  // no reply of ours comes near; a bigger one is garbage
constexpr ViUInt32 reply_grace_ms = 1000;      // the device's own time-out comes first
constexpr ViUInt32 link_call_ms = 2000;        // unlock, abort: never wait long
constexpr int interrupt_poll_ms = 100;         // how soon the interrupt server sees it should stop

// The RPC deadline of a call whose device-side time-out is timeout_ms.
deadline_t call_deadline(ViUInt32 timeout_ms) {
    if (timeout_ms == static_cast<ViUInt32>(VI_TMO_INFINITE) || timeout_ms > 0xFFFFFFFFu - reply_grace_ms)
        return deadline_t(static_cast<ViUInt32>(VI_TMO_INFINITE));
    return deadline_t(timeout_ms + reply_grace_ms);
}

// Calls and replies on one TCP connection. A reply that arrives after its
// call timed out is recognised by its transaction id and dropped.
class rpc_channel_t {
public:
    explicit rpc_channel_t(std::unique_ptr<net::stream_t> stream) : stream_(std::move(stream)) {}

    ViStatus call(std::uint32_t program, std::uint32_t procedure, lan::xdr_writer_t args, const deadline_t& deadline,
                  lan::xdr_reader_t& results, std::uint32_t program_version = vxi11::program_version) {
        std::uint32_t xid = 0;
        const ViStatus st = send_call(program, procedure, std::move(args), deadline, xid, program_version);
        return st != VI_SUCCESS ? st : await_reply(xid, deadline, results);
    }
    ViStatus send_call(std::uint32_t program, std::uint32_t procedure, lan::xdr_writer_t args, const deadline_t& deadline,
                       std::uint32_t& xid, std::uint32_t program_version = vxi11::program_version) {
        xid = ++xid_;
        lan::xdr_writer_t msg = lan::rpc::call_header(xid, program, program_version, procedure);
        msg.bytes() += args.bytes();
        return stream_->send(lan::rpc::mark_record(std::move(msg.bytes())), deadline);
    }
    ViStatus await_reply(std::uint32_t xid, const deadline_t& deadline, lan::xdr_reader_t& results) {
        for (;;) {
            const ViStatus st = receive(reply_, deadline);
            if (st != VI_SUCCESS) return st;
            lan::xdr_reader_t header(reply_);
            if (header.u32() != xid) continue;  // a late reply to an earlier call
            return lan::rpc::parse_reply(reply_, xid, results) ? VI_SUCCESS : VI_ERROR_IO;
        }
    }
    // One whole record; a time-out keeps what came for the next try.
    ViStatus receive(std::string& record, const deadline_t& deadline) {
        const ViStatus st = next_record(deadline);
        if (st != VI_SUCCESS) return st;
        record.swap(partial_);
        partial_.clear();
        return VI_SUCCESS;
    }
    ViStatus send(std::string record, const deadline_t& deadline) {
        return stream_->send(lan::rpc::mark_record(std::move(record)), deadline);
    }
    void abort() noexcept { stream_->abort(); }
    net::handle_t handle() const { return stream_->handle(); }

private:
    // Completes partial_ with whole fragments; a time-out keeps what came.
    ViStatus next_record(const deadline_t& deadline) {
        for (;;) {
            ViStatus st = stream_->fill(4, deadline);
            if (st != VI_SUCCESS) return st;
            const std::uint32_t mark = lan::xdr_reader_t(std::string_view(stream_->data(), 4)).u32();
            const std::size_t length = mark & 0x7FFFFFFFu;
            if (partial_.size() + length > max_record) {
                stream_->abort();
                return VI_ERROR_IO;
            }
            st = stream_->fill(4 + length, deadline);
            if (st != VI_SUCCESS) return st;
            partial_.append(stream_->data() + 4, length);
            stream_->consume(4 + length);
            if (mark & 0x80000000u) return VI_SUCCESS;
        }
    }

    std::unique_ptr<net::stream_t> stream_;
    std::uint32_t xid_ = 0x5A00;
    std::string partial_, reply_;
};

// The RPC server the device calls for a service request (device_intr_srq,
// on the interrupt channel it opens to us), on a thread of its own.
class interrupt_server_t {
public:
    ~interrupt_server_t() { stop(); }

    // Listens beside the core connection; address and port are what the
    // device is told to call.
    ViStatus start(net::handle_t core, std::uint32_t& address, std::uint16_t& port) {
        const ViStatus st = net::listen_beside(core, listener_, address, port);
        if (st != VI_SUCCESS) return st;
        thread_ = std::thread([this] { run(); });
        return VI_SUCCESS;
    }
    void set_handler(transport_t::service_request_t on_request) {
        std::lock_guard<std::mutex> lock(mutex_);
        on_request_ = std::move(on_request);
    }
    void stop() {
        stopping_ = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (channel_) channel_->abort();
        }
        if (thread_.joinable()) thread_.join();
        if (listener_ != net::invalid_handle) net::close_handle(listener_);
        listener_ = net::invalid_handle;
    }

private:
    void run() {
        while (!stopping_) {
            if (net::wait_handle(listener_, false, interrupt_poll_ms) <= 0) continue;
            const net::handle_t s = net::accept_handle(listener_);
            if (s == net::invalid_handle) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                channel_ = std::make_unique<rpc_channel_t>(std::make_unique<net::stream_t>(s));
                if (stopping_) break;
            }
            serve(*channel_);
            std::lock_guard<std::mutex> lock(mutex_);
            channel_.reset();
        }
    }
    void serve(rpc_channel_t& channel) {
        std::string record;
        while (!stopping_) {
            ViStatus st = channel.receive(record, deadline_t(interrupt_poll_ms));
            if (st == VI_ERROR_TMO) continue;
            if (st != VI_SUCCESS) return;
            lan::rpc::call_t call;
            if (!lan::rpc::parse_call(record, call)) return;
            const bool ours = call.program == vxi11::interrupt_program;
            if (ours && call.procedure == vxi11::device_intr_srq) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (on_request_) on_request_();
            }
            const std::uint32_t status = !ours ? lan::rpc::prog_unavail
                                         : call.procedure == vxi11::device_intr_srq ? lan::rpc::success
                                                                                   : lan::rpc::proc_unavail;
            if (channel.send(std::move(lan::rpc::reply_header(call.xid, status).bytes()), deadline_t(link_call_ms)) !=
                VI_SUCCESS)
                return;
        }
    }

    net::handle_t listener_ = net::invalid_handle;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;  // guards channel_ and on_request_
    std::unique_ptr<rpc_channel_t> channel_;
    transport_t::service_request_t on_request_;
};

ViStatus device_status(std::int32_t error) {
    switch (error) {
    case vxi11::no_error: return VI_SUCCESS;
    case vxi11::device_locked: return VI_ERROR_RSRC_LOCKED;
    case vxi11::no_lock_held: return VI_ERROR_SESN_NLOCKED;
    case vxi11::io_timeout: return VI_ERROR_TMO;
    case vxi11::aborted: return VI_ERROR_ABORT;
    case vxi11::not_supported: return VI_ERROR_NSUP_OPER;
    case vxi11::device_not_accessible:
    case vxi11::invalid_address: return VI_ERROR_RSRC_NFOUND;
    case vxi11::invalid_link: return VI_ERROR_CONN_LOST;
    default: return VI_ERROR_IO;
    }
}

std::uint16_t portmapper_port() {
    const char* text = std::getenv("ZOR_VISA_PORTMAPPER_PORT");
    if (text == nullptr || *text == '\0') return lan::portmap::port;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return (*end == '\0' && v > 0 && v < 65536) ? static_cast<std::uint16_t>(v) : lan::portmap::port;
}

class vxi11_transport_t final : public transport_t {
public:
    vxi11_transport_t(std::unique_ptr<rpc_channel_t> core, std::int32_t link, std::uint32_t max_write, std::string host,
                      std::uint32_t abort_port)
        : core_(std::move(core)),
          link_(link),
          max_write_(max_write == 0 ? 1024u : max_write),
          host_(std::move(host)),
          abort_port_(abort_port) {}
    // The link ends with its connection: a close does not wait on the device.

    // A write begins a new exchange. When the last one was left unfinished
    // (a reply not read to its end, a time-out, a device error) the device
    // may still hold or later produce its reply: a device clear drops it, so
    // no later read takes it for its own.
    ViStatus write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) override {
        *sent = 0;
        if (owed_) {
            const ViStatus st = generic(vxi11::device_clear, timeout_ms);
            if (st != VI_SUCCESS) return st;
            owed_ = false;
        }
        const ViStatus st = write_message(buf, cnt, sent, timeout_ms);
        if (st != VI_SUCCESS) owed_ = true;
        return st;
    }

    // The device's own time-out is what is left of the reply's.
    ViStatus read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t& deadline) override {
        const ViStatus st = read_piece(buf, cnt, got, deadline.remaining_ms());
        owed_ = st != VI_SUCCESS;  // only a reply read to its end closes the exchange
        return st;
    }

    void abort() noexcept override { core_->abort(); }

    // device_abort on the abort channel (opened at first need) while a
    // read or write waits on the device; the device answers that call
    // with "aborted".
    void interrupt() noexcept override {
        if (!busy_) return;
        try {
            send_abort();
        } catch (...) {
        }
    }

    void set_termchar(bool enabled, ViUInt8 termchar) override {
        termchar_en_ = enabled;
        termchar_ = termchar;
    }

    // The device calls our interrupt server, made and announced at the
    // first enable; enable and disable then only switch the requests.
    ViStatus enable_service_requests(service_request_t on_request, ViUInt32 timeout_ms) override {
        if (!interrupts_) {
            auto server = std::make_unique<interrupt_server_t>();
            std::uint32_t address = 0;
            std::uint16_t port = 0;
            ViStatus st = server->start(core_->handle(), address, port);
            if (st != VI_SUCCESS) return st;
            lan::xdr_writer_t args;
            args.u32(address).u32(port).u32(vxi11::interrupt_program).u32(vxi11::program_version).u32(vxi11::family_tcp);
            st = error_call(vxi11::create_intr_chan, std::move(args), call_deadline(timeout_ms));
            if (st != VI_SUCCESS) return st;
            interrupts_ = std::move(server);
        }
        interrupts_->set_handler(std::move(on_request));
        return enable_srq(true, timeout_ms);
    }
    ViStatus disable_service_requests(ViUInt32 timeout_ms) override {
        if (!interrupts_) return VI_SUCCESS;
        interrupts_->set_handler(nullptr);
        return enable_srq(false, timeout_ms);
    }

    ViStatus clear(ViUInt32 timeout_ms) override {
        const ViStatus st = generic(vxi11::device_clear, timeout_ms);
        if (st == VI_SUCCESS) owed_ = false;
        return st;
    }
    ViStatus trigger(ViUInt32 timeout_ms) override { return generic(vxi11::device_trigger, timeout_ms); }

    ViStatus read_stb(ViUInt16* stb, ViUInt32 timeout_ms) override {
        lan::xdr_reader_t r;
        ViStatus st = core_->call(vxi11::core_program, vxi11::device_readstb, generic_args(timeout_ms),
                                  call_deadline(timeout_ms), r);
        if (st != VI_SUCCESS) return st;
        const std::int32_t error = r.i32();
        const std::uint32_t value = r.u32();
        if (!r.ok()) return VI_ERROR_IO;
        if (error != vxi11::no_error) return device_status(error);
        *stb = static_cast<ViUInt16>(value & 0xFF);
        return VI_SUCCESS;
    }

    // The protocol has exclusive locks only: a shared lock stays the
    // library's own, between its sessions.
    ViStatus lock(const std::string& shared_key, ViUInt32 timeout_ms) override {
        if (!shared_key.empty()) return VI_SUCCESS;
        lan::xdr_writer_t args;
        args.i32(link_).u32(vxi11::flag_waitlock).u32(timeout_ms);
        locked_ = false;
        const ViStatus st = error_call(vxi11::device_lock, std::move(args), call_deadline(timeout_ms));
        locked_ = st == VI_SUCCESS;
        // Still locked by another link when the wait ended: a time-out for viLock.
        return st == VI_ERROR_RSRC_LOCKED ? VI_ERROR_TMO : st;
    }
    ViStatus unlock() override {
        if (!locked_) return VI_SUCCESS;
        locked_ = false;
        return error_call(vxi11::device_unlock, link_args(), deadline_t(link_call_ms));
    }

private:
    ViStatus write_message(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) {
        const char* data = reinterpret_cast<const char*>(buf);
        do {
            const std::size_t n = std::min<std::size_t>(cnt - *sent, max_write_);
            const bool last = *sent + n == cnt;
            lan::xdr_writer_t args;
            args.i32(link_).u32(timeout_ms).u32(timeout_ms).u32(last ? vxi11::flag_end : 0u);
            args.opaque(std::string_view(data + *sent, n));
            lan::xdr_reader_t r;
            ViStatus st = device_call(vxi11::device_write, std::move(args), call_deadline(timeout_ms), r);
            if (st != VI_SUCCESS) return st;
            const std::int32_t error = r.i32();
            const std::uint32_t size = r.u32();
            if (!r.ok()) return VI_ERROR_IO;
            *sent += std::min<std::size_t>(size, n);
            if (error != vxi11::no_error) return device_status(error);
            if (size < n) return VI_ERROR_IO;  // the device took less than it was given
        } while (*sent < cnt);
        return VI_SUCCESS;
    }

    ViStatus read_piece(ViByte* buf, std::size_t cnt, std::size_t* got, ViUInt32 timeout_ms) {
        *got = 0;
        if (cnt == 0) return VI_SUCCESS_MAX_CNT;
        const std::uint32_t request = static_cast<std::uint32_t>(std::min<std::size_t>(cnt, 0x7FFFFFFF));
        lan::xdr_writer_t args;
        const bool termchar = termchar_en_;
        args.i32(link_).u32(request).u32(timeout_ms).u32(timeout_ms);
        args.u32(termchar ? vxi11::flag_termchr_set : 0u).u32(termchar ? termchar_ : 0u);
        lan::xdr_reader_t r;
        ViStatus st = device_call(vxi11::device_read, std::move(args), call_deadline(timeout_ms), r);
        if (st != VI_SUCCESS) return st;
        const std::int32_t error = r.i32();
        const std::uint32_t reason = r.u32();
        const std::string_view data = r.opaque(request);
        if (!r.ok()) return VI_ERROR_IO;
        std::memcpy(buf, data.data(), data.size());
        *got = data.size();
        if (error != vxi11::no_error) return device_status(error);
        if (reason & vxi11::reason_end) return VI_SUCCESS;
        if (reason & vxi11::reason_chr) return VI_SUCCESS_TERM_CHAR;
        return VI_SUCCESS_MAX_CNT;
    }

    // A read or write, which may wait on the device. When even the device's
    // own time-out has passed without an answer, the call is aborted so the
    // device stops working on it, and its answer awaited a little longer so
    // the channel stays in step.
    ViStatus device_call(std::uint32_t procedure, lan::xdr_writer_t args, const deadline_t& deadline,
                         lan::xdr_reader_t& results) {
        struct busy_t {
            std::atomic<bool>& flag;
            explicit busy_t(std::atomic<bool>& f) : flag(f) { flag = true; }
            ~busy_t() { flag = false; }
        } busy(busy_);
        std::uint32_t xid = 0;
        ViStatus st = core_->send_call(vxi11::core_program, procedure, std::move(args), deadline, xid);
        if (st == VI_SUCCESS) st = core_->await_reply(xid, deadline, results);
        if (st == VI_ERROR_TMO && send_abort()) {
            lan::xdr_reader_t late;
            core_->await_reply(xid, deadline_t(reply_grace_ms), late);
        }
        return st;
    }

    // device_abort on the abort channel; true when the device took it.
    bool send_abort() {
        std::lock_guard<std::mutex> lock(abort_mutex_);
        const deadline_t deadline(link_call_ms);
        if (!abort_channel_) {
            if (abort_port_ == 0 || abort_port_ > 65535) return false;
            std::unique_ptr<net::stream_t> stream;
            if (net::stream_t::open(host_, static_cast<std::uint16_t>(abort_port_), deadline, stream) != VI_SUCCESS)
                return false;
            abort_channel_ = std::make_unique<rpc_channel_t>(std::move(stream));
        }
        lan::xdr_reader_t r;
        if (abort_channel_->call(vxi11::abort_program, vxi11::device_abort, link_args(), deadline, r) != VI_SUCCESS) {
            abort_channel_.reset();  // out of step or gone: a fresh one next time
            return false;
        }
        return r.i32() == vxi11::no_error && r.ok();
    }

    ViStatus enable_srq(bool enable, ViUInt32 timeout_ms) {
        lan::xdr_writer_t args;
        args.i32(link_).boolean(enable).opaque(std::string_view(reinterpret_cast<const char*>(&link_), sizeof link_));
        return error_call(vxi11::device_enable_srq, std::move(args), call_deadline(timeout_ms));
    }

    lan::xdr_writer_t link_args() const {
        lan::xdr_writer_t w;
        w.i32(link_);
        return w;
    }
    lan::xdr_writer_t generic_args(ViUInt32 timeout_ms) const {
        lan::xdr_writer_t w;
        w.i32(link_).u32(0).u32(timeout_ms).u32(timeout_ms);
        return w;
    }
    ViStatus generic(std::uint32_t procedure, ViUInt32 timeout_ms) {
        return error_call(procedure, generic_args(timeout_ms), call_deadline(timeout_ms));
    }
    // A procedure whose result is a Device_Error alone.
    ViStatus error_call(std::uint32_t procedure, lan::xdr_writer_t args, const deadline_t& deadline) {
        lan::xdr_reader_t r;
        const ViStatus st = core_->call(vxi11::core_program, procedure, std::move(args), deadline, r);
        if (st != VI_SUCCESS) return st;
        const std::int32_t error = r.i32();
        return r.ok() ? device_status(error) : VI_ERROR_IO;
    }

    std::unique_ptr<rpc_channel_t> core_;
    std::int32_t link_;
    std::uint32_t max_write_;
    bool locked_ = false;
    bool owed_ = false;  // the last exchange did not end with a whole reply read
    bool termchar_en_ = false;
    ViUInt8 termchar_ = '\n';
    std::string host_;
    std::uint32_t abort_port_;
    std::atomic<bool> busy_{false};  // a read or write is waiting on the device
    std::mutex abort_mutex_;
    std::unique_ptr<rpc_channel_t> abort_channel_;
    std::unique_ptr<interrupt_server_t> interrupts_;
};

}  // namespace

ViStatus open_vxi11_transport(const std::string& host, const std::string& device, ViUInt32 timeout_ms,
                              std::unique_ptr<transport_t>& out) {
    const deadline_t deadline(timeout_ms);
    std::unique_ptr<net::stream_t> stream;
    ViStatus st = net::stream_t::open(host, portmapper_port(), deadline, stream);
    if (st != VI_SUCCESS) return st;
    std::uint32_t core_port = 0;
    {
        rpc_channel_t portmapper(std::move(stream));
        lan::xdr_writer_t w;
        w.u32(vxi11::core_program).u32(vxi11::program_version).u32(lan::portmap::ipproto_tcp).u32(0);
        lan::xdr_reader_t r;
        st = portmapper.call(lan::portmap::program, lan::portmap::proc_getport, std::move(w), deadline, r, 2);
        if (st != VI_SUCCESS) return st == VI_ERROR_TMO ? st : VI_ERROR_RSRC_NFOUND;
        core_port = r.u32();
        if (!r.ok() || core_port == 0 || core_port > 65535) return VI_ERROR_RSRC_NFOUND;
    }
    st = net::stream_t::open(host, static_cast<std::uint16_t>(core_port), deadline, stream);
    if (st != VI_SUCCESS) return st;
    auto core = std::make_unique<rpc_channel_t>(std::move(stream));
    lan::xdr_writer_t args;
    args.i32(0x5A4F52).boolean(false).u32(0).opaque(device);
    lan::xdr_reader_t r;
    st = core->call(vxi11::core_program, vxi11::create_link, std::move(args), deadline, r);
    if (st != VI_SUCCESS) return st;
    const std::int32_t error = r.i32();
    const std::int32_t link = r.i32();
    const std::uint32_t abort_port = r.u32();
    const std::uint32_t max_write = r.u32();
    if (!r.ok()) return VI_ERROR_IO;
    if (error != vxi11::no_error) return device_status(error);
    out.reset(new vxi11_transport_t(std::move(core), link, max_write, host, abort_port));
    return VI_SUCCESS;
}

}  // namespace zorvisa
