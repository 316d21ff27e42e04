// ONC RPC over TCP, as VXI-11 uses it: call and reply headers with null
// credentials, record marking, and the portmapper that names a program's
// port. Only what the two VXI-11 sides here send and accept.
#pragma once

#include "xdr.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zorwire {

namespace rpc {

constexpr std::uint32_t call = 0, reply = 1;
constexpr std::uint32_t version = 2;
constexpr std::uint32_t msg_accepted = 0;
// accept_stat
constexpr std::uint32_t success = 0, prog_unavail = 1, prog_mismatch = 2, proc_unavail = 3, garbage_args = 4;

// A record on TCP is sent as fragments, each behind a word whose top bit
// marks the last one. One fragment per record when writing.
constexpr std::uint32_t last_fragment = 0x80000000u;
inline std::string mark_record(std::string record) {
    xdr_writer_t w;
    w.u32(last_fragment | static_cast<std::uint32_t>(record.size()));
    record.insert(0, w.bytes());
    return record;
}

// The four bytes before a fragment: its length and whether it ends the record.
struct fragment_t {
    std::uint32_t length = 0;
    bool last = false;
};
inline fragment_t read_mark(std::string_view four_bytes) {
    const std::uint32_t mark = xdr_reader_t(four_bytes).u32();
    return {mark & ~last_fragment, (mark & last_fragment) != 0};
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

namespace portmap {
constexpr std::uint32_t program = 100000;
constexpr std::uint16_t port = 111;
constexpr std::uint32_t proc_null = 0, proc_getport = 3;  // version 2
constexpr std::uint32_t proc_getaddr = 3;                  // versions 3 and 4 (rpcbind)
constexpr std::uint32_t ipproto_tcp = 6;
}  // namespace portmap

}  // namespace zorwire
