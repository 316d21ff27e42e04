// Wire formats of the two LAN instrument protocols, shared by the bundled
// VISA (client side) and vna-sim (server side) so both speak from one
// definition: XDR encoding and ONC RPC messages with TCP record marking
// (the VXI-11 core and abort channels and the portmapper), and the 16-byte
// HiSLIP message header. Only the handful of messages these protocols use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorsim::lan {

// ---------------------------------------------------------------- XDR

// Big-endian 32-bit words; opaque data and strings padded to whole words.
class xdr_writer_t {
public:
    xdr_writer_t& u32(std::uint32_t v) {
        const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
        out_.append(b, 4);
        return *this;
    }
    xdr_writer_t& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    xdr_writer_t& boolean(bool v) { return u32(v ? 1u : 0u); }
    // Variable-length opaque data or string: length, bytes, zero padding.
    xdr_writer_t& opaque(std::string_view bytes) {
        u32(static_cast<std::uint32_t>(bytes.size()));
        out_.append(bytes.data(), bytes.size());
        out_.append((4 - bytes.size() % 4) % 4, '\0');
        return *this;
    }
    std::string& bytes() { return out_; }

private:
    std::string out_;
};

// Reads never run past the end: a short or malformed body clears ok() and
// yields zeros, so callers check once at the end.
class xdr_reader_t {
public:
    xdr_reader_t() = default;
    explicit xdr_reader_t(std::string_view data) : data_(data) {}

    std::uint32_t u32() {
        if (!ok_ || data_.size() - pos_ < 4) return fail();
        const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
        pos_ += 4;
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    bool boolean() { return u32() != 0; }
    // Opaque data or a string of at most `max` bytes.
    std::string_view opaque(std::size_t max = ~std::size_t(0)) {
        const std::size_t n = u32();
        const std::size_t padded = n + (4 - n % 4) % 4;
        if (!ok_ || n > max || padded < n || data_.size() - pos_ < padded) {
            fail();
            return {};
        }
        const std::string_view out = data_.substr(pos_, n);
        pos_ += padded;
        return out;
    }
    void skip_opaque() { opaque(400); }  // credentials and verifiers (at most 400 bytes)
    bool ok() const { return ok_; }
    std::string_view rest() const { return data_.substr(pos_); }

private:
    std::uint32_t fail() {
        ok_ = false;
        return 0;
    }
    std::string_view data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// ---------------------------------------------------------------- ONC RPC

namespace rpc {

constexpr std::uint32_t call = 0, reply = 1;
constexpr std::uint32_t version = 2;
constexpr std::uint32_t msg_accepted = 0;
// accept_stat
constexpr std::uint32_t success = 0, prog_unavail = 1, prog_mismatch = 2, proc_unavail = 3, garbage_args = 4;

// A record on TCP is sent as fragments, each behind a word whose top bit
// marks the last one. One fragment per record when writing.
inline std::string mark_record(std::string record) {
    const std::uint32_t mark = 0x80000000u | static_cast<std::uint32_t>(record.size());
    xdr_writer_t w;
    w.u32(mark);
    record.insert(0, w.bytes());
    return record;
}

// A call header with null credentials and verifier; the arguments follow.
inline xdr_writer_t call_header(std::uint32_t xid, std::uint32_t program, std::uint32_t program_version,
                                std::uint32_t procedure) {
    xdr_writer_t w;
    w.u32(xid).u32(call).u32(version).u32(program).u32(program_version).u32(procedure);
    w.u32(0).u32(0).u32(0).u32(0);
    return w;
}

// A successful (or otherwise accepted) reply header; results follow.
inline xdr_writer_t reply_header(std::uint32_t xid, std::uint32_t accept_stat) {
    xdr_writer_t w;
    w.u32(xid).u32(reply).u32(msg_accepted).u32(0).u32(0).u32(accept_stat);
    return w;
}

struct call_t {
    std::uint32_t xid = 0, program = 0, program_version = 0, procedure = 0;
    xdr_reader_t args;
};

// False when the record is not an RPC version 2 call.
inline bool parse_call(std::string_view record, call_t& out) {
    xdr_reader_t r(record);
    out.xid = r.u32();
    const bool is_call = r.u32() == call;
    const bool v2 = r.u32() == version;
    out.program = r.u32();
    out.program_version = r.u32();
    out.procedure = r.u32();
    r.u32();
    r.skip_opaque();
    r.u32();
    r.skip_opaque();
    out.args = xdr_reader_t(r.rest());
    return r.ok() && is_call && v2;
}

// The results of an accepted, successful reply to `xid`; false otherwise.
inline bool parse_reply(std::string_view record, std::uint32_t xid, xdr_reader_t& results) {
    xdr_reader_t r(record);
    const bool same = r.u32() == xid;
    const bool is_reply = r.u32() == reply;
    const bool accepted = r.u32() == msg_accepted;
    if (!r.ok() || !same || !is_reply || !accepted) return false;
    r.u32();
    r.skip_opaque();
    const bool ok = r.u32() == success;
    results = xdr_reader_t(r.rest());
    return r.ok() && ok;
}

}  // namespace rpc

// ---------------------------------------------------------------- portmapper

namespace portmap {
constexpr std::uint32_t program = 100000;
constexpr std::uint16_t port = 111;
constexpr std::uint32_t proc_null = 0, proc_getport = 3;  // version 2
constexpr std::uint32_t proc_getaddr = 3;                  // versions 3 and 4 (rpcbind)
constexpr std::uint32_t ipproto_tcp = 6;
}  // namespace portmap

// ---------------------------------------------------------------- VXI-11

namespace vxi11 {
constexpr std::uint32_t core_program = 0x0607AF, abort_program = 0x0607B0, program_version = 1;
// The interrupt channel: the device calls the client's program.
constexpr std::uint32_t interrupt_program = 0x0607B1, device_intr_srq = 30;
constexpr std::uint32_t family_tcp = 0;
enum procedure_t : std::uint32_t {
    create_link = 10,
    device_write = 11,
    device_read = 12,
    device_readstb = 13,
    device_trigger = 14,
    device_clear = 15,
    device_remote = 16,
    device_local = 17,
    device_lock = 18,
    device_unlock = 19,
    device_enable_srq = 20,
    device_docmd = 22,
    destroy_link = 23,
    create_intr_chan = 25,
    destroy_intr_chan = 26,
    device_abort = 1,  // abort channel
};
// Device_Flags
constexpr std::uint32_t flag_waitlock = 0x01, flag_end = 0x08, flag_termchr_set = 0x80;
// device_read reasons
constexpr std::uint32_t reason_reqcnt = 1, reason_chr = 2, reason_end = 4;
// Device_ErrorCode
enum error_t : std::int32_t {
    no_error = 0,
    syntax_error = 1,
    device_not_accessible = 3,
    invalid_link = 4,
    parameter_error = 5,
    channel_not_established = 6,
    not_supported = 8,
    out_of_resources = 9,
    device_locked = 11,
    no_lock_held = 12,
    io_timeout = 15,
    io_error = 17,
    invalid_address = 21,
    aborted = 23,
    channel_already_established = 29,
};
}  // namespace vxi11

// ---------------------------------------------------------------- HiSLIP

namespace hislip {
constexpr std::uint16_t default_port = 4880;
constexpr std::size_t header_size = 16;
constexpr std::uint32_t first_message_id = 0xFFFFFF00u;
constexpr std::uint32_t unknown_message_id = 0xFFFFFFFFu;
constexpr std::uint16_t protocol_version = 0x0100;  // 1.0

enum type_t : std::uint8_t {
    initialize = 0,
    initialize_response = 1,
    fatal_error = 2,
    error = 3,
    async_lock = 4,
    async_lock_response = 5,
    data = 6,
    data_end = 7,
    device_clear_complete = 8,
    device_clear_acknowledge = 9,
    async_remote_local_control = 10,
    async_remote_local_response = 11,
    trigger = 12,
    interrupted = 13,
    async_interrupted = 14,
    async_maximum_message_size = 15,
    async_maximum_message_size_response = 16,
    async_initialize = 17,
    async_initialize_response = 18,
    async_device_clear = 19,
    async_service_request = 20,
    async_status_query = 21,
    async_status_response = 22,
    async_device_clear_acknowledge = 23,
    async_lock_info = 24,
    async_lock_info_response = 25,
};
// AsyncLock control codes and AsyncLockResponse results.
constexpr std::uint8_t lock_release = 0, lock_request = 1;
constexpr std::uint8_t lock_failure = 0, lock_success = 1, lock_success_shared = 2, lock_error = 3;
// FatalError and Error codes.
constexpr std::uint8_t fatal_poorly_formed_header = 1, fatal_no_both_channels = 2, fatal_invalid_initialization = 3;
constexpr std::uint8_t error_unrecognized_type = 1, error_message_too_large = 4;

struct header_t {
    std::uint8_t type = 0;
    std::uint8_t control = 0;
    std::uint32_t parameter = 0;
    std::uint64_t length = 0;  // payload bytes that follow
};

inline std::string encode(const header_t& h) {
    std::string out(header_size, '\0');
    out[0] = 'H';
    out[1] = 'S';
    out[2] = static_cast<char>(h.type);
    out[3] = static_cast<char>(h.control);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(h.parameter >> (24 - 8 * i));
    for (int i = 0; i < 8; ++i) out[8 + i] = static_cast<char>(h.length >> (56 - 8 * i));
    return out;
}

inline std::string message(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                           std::string_view payload = {}) {
    std::string out = encode(header_t{type, control, parameter, payload.size()});
    out.append(payload.data(), payload.size());
    return out;
}

// False when the 16 bytes do not start with the "HS" prologue.
inline bool decode(const unsigned char* p, header_t& h) {
    if (p[0] != 'H' || p[1] != 'S') return false;
    h.type = p[2];
    h.control = p[3];
    h.parameter = 0;
    for (int i = 0; i < 4; ++i) h.parameter = (h.parameter << 8) | p[4 + i];
    h.length = 0;
    for (int i = 0; i < 8; ++i) h.length = (h.length << 8) | p[8 + i];
    return true;
}
}  // namespace hislip

}  // namespace zorsim::lan
