// The exported VISA functions. No exception leaves this file: each entry
// point runs its body under guarded().
#include <cstdarg>
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "formatted_io.h"
#include "hislip_transport.h"
#include "net.h"
#include "resource_name.h"
#include "session.h"
#include "sim_transport.h"
#include "socket_transport.h"
#include "vxi11_transport.h"
#include "visa.h"

#if defined(_WIN32)
#define ZOR_VISA_EXPORT __declspec(dllexport)
#else
#define ZOR_VISA_EXPORT __attribute__((visibility("default")))
#endif

// Declared from the shared lists, so a definition below that disagrees with
// the interface fails to compile.
#define ZOR_VISA_DECLARE(name, ret, params) extern "C" ZOR_VISA_EXPORT ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_VISA_DECLARE)
ZOR_VISA_INSTRUMENT_FUNCTIONS(ZOR_VISA_DECLARE)
ZOR_VISA_OPTIONAL_FUNCTIONS(ZOR_VISA_DECLARE)
#undef ZOR_VISA_DECLARE
#define ZOR_VISA_DECLARE_VARIADIC(name, ret, params) extern "C" ZOR_VISA_EXPORT ret name params;
ZOR_VISA_VARIADIC_FUNCTIONS(ZOR_VISA_DECLARE_VARIADIC)
#undef ZOR_VISA_DECLARE_VARIADIC

using namespace zorvisa;

namespace {

constexpr ViUInt32 default_connect_timeout_ms = 5000;  // for an open time-out of 0
constexpr std::size_t rsrc_buffer_size = 256;          // VI_FIND_BUFLEN
constexpr std::size_t max_expr_length = 1024;

template <class F>
ViStatus guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

// Why this thread's last viOpen failed, for viStatusDesc on its resource
// manager: a status alone cannot say which part of a name is wrong.
struct open_failure_t {
    ViSession rm = 0;
    ViStatus status = VI_SUCCESS;
    std::string text;
};
thread_local open_failure_t last_open_failure;

ViStatus failed_open(ViSession rm, ViStatus status, std::string text) {
    last_open_failure = {rm, status, std::move(text)};
    return status;
}

// A transport that did not connect: which host and port, and what to do.
std::string connect_failure_text(const resource_name_t& rsrc, ViStatus status) {
    const std::string where = rsrc.kind == resource_name_t::kind_t::vxi11
                                  ? rsrc.host + ":111 (VXI-11 port mapper)"
                                  : rsrc.host + ":" + std::to_string(rsrc.port);
    switch (net::last_connect_failure()) {
        case net::connect_failure_t::refused:
            return "connection refused on " + where + ": is the analyzer or vna-sim running?";
        case net::connect_failure_t::unknown_host:
            return "host \"" + rsrc.host + "\" not found: check the host name or address";
        case net::connect_failure_t::timed_out:
            return "no answer from " + where + " within the open time-out: check the address, and that no "
                   "firewall holds the port";
        case net::connect_failure_t::none:
            break;
    }
    if (status == VI_ERROR_RSRC_NFOUND)
        return where + " answered but refused to open the device \"" + rsrc.device + "\": check the device name";
    return {};
}

session_ptr instrument(ViSession vi) {
    session_ptr s = find_session(vi);
    return s && s->kind == session_t::kind_t::instr ? s : nullptr;
}

// The instrument session, or the status that keeps the caller out of it.
ViStatus usable(ViSession vi, session_ptr& s) {
    s = instrument(vi);
    if (!s) return VI_ERROR_INV_OBJECT;
    return locked_out(*s) ? VI_ERROR_RSRC_LOCKED : VI_SUCCESS;
}

void copy_name(ViChar* dest, const std::string& name) {
    const std::size_t n = name.size() < rsrc_buffer_size - 1 ? name.size() : rsrc_buffer_size - 1;
    std::memcpy(dest, name.data(), n);
    dest[n] = '\0';
}

// A formatted read takes in at most this much of one message; the rest of a
// longer one is read and dropped.
constexpr std::size_t max_message_bytes = std::size_t{64} << 20;

// The message a formatted read works on: short ones stay on the stack, longer
// ones grow on the heap geometrically; neither is zero-filled.
struct message_buffer_t {
    char small[4096];
    std::unique_ptr<char[]> large;
    std::size_t capacity = 0;
    std::string_view text;
};

// One whole response message, however many pieces it takes, within one
// time-out counted from the start of the read (VI_ERROR_TMO otherwise).
ViStatus read_message(session_t& s, message_buffer_t& m) {
    const deadline_t deadline(s.timeout_ms.load());
    std::size_t got = 0;
    ViStatus st = s.transport->read(reinterpret_cast<ViByte*>(m.small), sizeof m.small, &got, deadline);
    m.text = std::string_view(m.small, got);
    if (st != VI_SUCCESS_MAX_CNT) return st;
    std::size_t size = got;
    bool too_long = false;
    while (st == VI_SUCCESS_MAX_CNT) {
        const std::size_t capacity = m.large ? m.capacity : sizeof m.small;
        if (size == capacity && !too_long) {
            if (size >= max_message_bytes) {
                too_long = true;  // keep reading, and dropping, to the end
            } else {
                const std::size_t wanted = std::min(std::max(size * 2, sizeof m.small * 16), max_message_bytes);
                std::unique_ptr<char[]> bigger(new char[wanted]);
                std::memcpy(bigger.get(), m.large ? m.large.get() : m.small, size);
                m.large = std::move(bigger);
                m.capacity = wanted;
            }
        }
        char* into = too_long ? m.small : m.large.get() + size;
        const std::size_t room = too_long ? sizeof m.small : m.capacity - size;
        st = s.transport->read(reinterpret_cast<ViByte*>(into), room, &got, deadline);
        if (!too_long) size += got;
    }
    m.text = std::string_view(m.large.get(), size);
    if (st != VI_SUCCESS) return st;
    return too_long ? VI_ERROR_IO : VI_SUCCESS;
}

ViStatus write_message(session_t& s, const std::string& message) {
    std::size_t sent = 0;
    return s.transport->write(reinterpret_cast<const ViByte*>(message.data()), message.size(), &sent,
                              s.timeout_ms.load());
}

// Resource expressions: '?' is any character, '*' repeats the element before
// it any number of times (alone at the start: any text); letters compare
// without case. Matched by dynamic programming: no backtracking blow-up.
bool matches(const std::string& expr, const std::string& text) {
    struct element_t {
        char c;  // 0: any character
        bool repeat;
    };
    std::vector<element_t> elems;
    for (char c : expr) {
        if (c == '*' && !elems.empty() && !elems.back().repeat) {
            elems.back().repeat = true;
        } else if (c == '*') {
            elems.push_back({0, true});
        } else {
            elems.push_back({c == '?' ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))), false});
        }
    }
    const std::size_t n = text.size(), m = elems.size();
    // ok[j]: text[i..] matches elems[j..], for the current i, built from the end.
    std::vector<char> next(m + 1, 0), cur(m + 1, 0);
    next[m] = 1;
    for (std::size_t j = m; j-- > 0;) next[j] = elems[j].repeat && next[j + 1];
    for (std::size_t i = n; i-- > 0;) {
        const char t = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        cur[m] = 0;
        for (std::size_t j = m; j-- > 0;) {
            const bool here = elems[j].c == '\0' || elems[j].c == t;
            cur[j] = elems[j].repeat ? ((here && next[j]) || cur[j + 1]) : (here && next[j + 1]);
        }
        std::swap(cur, next);
    }
    return next[0] != 0;
}

}  // namespace

extern "C" ViStatus ZOR_VISA_CALL viOpenDefaultRM(ViSession* vi) {
    return guarded([&]() -> ViStatus {
        if (vi == nullptr) return VI_ERROR_INV_PARAMETER;
        *vi = 0;
        auto s = std::make_shared<session_t>();
        s->kind = session_t::kind_t::rm;
        const ViStatus st = register_session(s);
        if (st == VI_SUCCESS) *vi = s->handle;
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                                         ViSession* vi) {
    return guarded([&]() -> ViStatus {
        if (vi == nullptr) return VI_ERROR_INV_PARAMETER;
        *vi = 0;
        const session_ptr rm = find_session(sesn);
        if (!rm || rm->kind != session_t::kind_t::rm) return VI_ERROR_INV_OBJECT;
        if ((mode & ~static_cast<ViAccessMode>(0x7)) != 0) return VI_ERROR_INV_ACC_MODE;  // lock and config bits only
        last_open_failure = open_failure_t{};
        resource_name_t rsrc;
        std::string why;
        ViStatus st = parse_resource_name(name, rsrc, &why);
        if (st != VI_SUCCESS) return failed_open(sesn, st, (name ? std::string(name) + ": " : std::string()) + why);

        auto s = std::make_shared<session_t>();
        s->kind = session_t::kind_t::instr;
        s->rm = sesn;
        s->rsrc_name = rsrc.canonical;
        const ViUInt32 connect_ms = timeout == 0 ? default_connect_timeout_ms : timeout;
        if (rsrc.kind == resource_name_t::kind_t::socket) {
            st = open_socket_transport(rsrc.host, rsrc.port, connect_ms, s->transport);
            s->is_socket = true;
        } else if (rsrc.kind == resource_name_t::kind_t::vxi11) {
            st = open_vxi11_transport(rsrc.host, rsrc.device, connect_ms, s->transport);
        } else if (rsrc.kind == resource_name_t::kind_t::hislip) {
            st = open_hislip_transport(rsrc.host, rsrc.port, rsrc.device, connect_ms, s->transport);
        } else {
            s->transport = open_sim_transport(rsrc.sim_name);
            remember_resource(rsrc.canonical);
        }
        if (st != VI_SUCCESS) return failed_open(sesn, st, std::string(name) + ": " + connect_failure_text(rsrc, st));
        st = register_session(s);  // fails when the RM was closed meanwhile
        if (st == VI_SUCCESS) *vi = s->handle;
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viClose(ViObject vi) {
    return guarded([&]() -> ViStatus {
        if (vi == 0) return VI_WARN_NULL_OBJECT;
        const std::vector<session_ptr> removed = remove_session(vi);
        if (removed.empty()) return VI_ERROR_INV_OBJECT;
        // A read blocked in another thread returns at once; the connection
        // itself ends when the last user lets go of the session.
        for (const session_ptr& s : removed) {
            if (s->kind == session_t::kind_t::instr) drop_local_locks(*s);
            s->events->close();
            if (s->transport) s->transport->abort();
        }
        return VI_SUCCESS;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = find_session(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        if (attrValue == nullptr) return VI_ERROR_INV_PARAMETER;
        const bool is_rm = s->kind == session_t::kind_t::rm;
        const bool is_instr = s->kind == session_t::kind_t::instr;
        switch (attrName) {
        case VI_ATTR_TMO_VALUE:
            if (!is_rm && !is_instr) break;
            *static_cast<ViUInt32*>(attrValue) = s->timeout_ms.load();
            return VI_SUCCESS;
        case VI_ATTR_RM_SESSION:
            if (!is_rm && !is_instr) break;
            *static_cast<ViSession*>(attrValue) = s->rm;
            return VI_SUCCESS;
        case VI_ATTR_RSRC_NAME:
            if (!is_instr) break;
            copy_name(static_cast<ViChar*>(attrValue), s->rsrc_name);
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            if (!is_instr) break;
            *static_cast<ViUInt8*>(attrValue) = s->termchar.load();
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR_EN:
            if (!is_instr) break;
            *static_cast<ViBoolean*>(attrValue) = s->termchar_en.load() ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_SEND_END_EN:
            if (!is_instr) break;
            *static_cast<ViBoolean*>(attrValue) = s->send_end_en.load() ? VI_TRUE : VI_FALSE;
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_NODELAY:
            if (!is_instr || !s->is_socket) break;
            *static_cast<ViBoolean*>(attrValue) = VI_TRUE;
            return VI_SUCCESS;
        case VI_ATTR_INTF_TYPE:
            if (!is_instr) break;
            *static_cast<ViUInt16*>(attrValue) = intf_tcpip;
            return VI_SUCCESS;
        case VI_ATTR_MAX_QUEUE_LENGTH: {
            if (!is_instr) break;
            std::lock_guard<std::mutex> lock(s->events->mutex);
            *static_cast<ViUInt32*>(attrValue) = static_cast<ViUInt32>(s->events->max_length);
            return VI_SUCCESS;
        }
        case VI_ATTR_EVENT_TYPE:
            if (s->kind != session_t::kind_t::event) break;
            *static_cast<ViEventType*>(attrValue) = s->event_type;
            return VI_SUCCESS;
        default:
            break;
        }
        return VI_ERROR_NSUP_ATTR;
    });
}

namespace {
// The transport learns the term char where its protocol reads to it.
ViStatus forward_termchar(session_t& s) {
    std::lock_guard<std::mutex> lock(s.io);
    if (s.transport) s.transport->set_termchar(s.termchar_en.load(), s.termchar.load());
    return VI_SUCCESS;
}
}  // namespace

extern "C" ViStatus ZOR_VISA_CALL viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = find_session(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        const bool is_rm = s->kind == session_t::kind_t::rm;
        const bool is_instr = s->kind == session_t::kind_t::instr;
        const bool boolean = attrValue == VI_TRUE || attrValue == VI_FALSE;
        switch (attrName) {
        case VI_ATTR_TMO_VALUE:
            if (!is_rm && !is_instr) break;
            if (attrValue > 0xFFFFFFFFull) return VI_ERROR_NSUP_ATTR_STATE;
            s->timeout_ms = static_cast<ViUInt32>(attrValue);
            return VI_SUCCESS;
        case VI_ATTR_TERMCHAR:
            if (!is_instr) break;
            if (attrValue > 0xFF) return VI_ERROR_NSUP_ATTR_STATE;
            s->termchar = static_cast<ViUInt8>(attrValue);
            return forward_termchar(*s);
        case VI_ATTR_TERMCHAR_EN:
            if (!is_instr) break;
            if (!boolean) return VI_ERROR_NSUP_ATTR_STATE;
            s->termchar_en = attrValue == VI_TRUE;
            return forward_termchar(*s);
        case VI_ATTR_MAX_QUEUE_LENGTH: {
            if (!is_instr) break;
            if (attrValue < 1 || attrValue > 0xFFFFFFFFull) return VI_ERROR_NSUP_ATTR_STATE;
            std::lock_guard<std::mutex> lock(s->events->mutex);
            s->events->max_length = static_cast<std::size_t>(attrValue);
            return VI_SUCCESS;
        }
        case VI_ATTR_SEND_END_EN:
            if (!is_instr) break;
            if (!boolean) return VI_ERROR_NSUP_ATTR_STATE;
            s->send_end_en = attrValue == VI_TRUE;
            return VI_SUCCESS;
        case VI_ATTR_TCPIP_NODELAY:
            // Always on: replies are short and latency-bound.
            if (!is_instr || !s->is_socket) break;
            return attrValue == VI_TRUE ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
        case VI_ATTR_RM_SESSION:
            if (!is_rm && !is_instr) break;
            return VI_ERROR_ATTR_READONLY;
        case VI_ATTR_RSRC_NAME:
        case VI_ATTR_INTF_TYPE:
            if (!is_instr) break;
            return VI_ERROR_ATTR_READONLY;
        default:
            break;
        }
        return VI_ERROR_NSUP_ATTR;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viSetBuf(ViSession vi, ViUInt16, ViUInt32) {
    return guarded([&]() -> ViStatus { return instrument(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT; });
}

extern "C" ViStatus ZOR_VISA_CALL viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViUInt32* retCount) {
    return guarded([&]() -> ViStatus {
        if (retCount != nullptr) *retCount = 0;
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        if (buf == nullptr && cnt != 0) return VI_ERROR_USER_BUF;
        static const ViByte nothing = 0;
        std::lock_guard<std::mutex> lock(s->io);
        std::size_t sent = 0;
        const ViStatus st = s->transport->write(buf != nullptr ? buf : &nothing, cnt, &sent, s->timeout_ms.load());
        if (retCount != nullptr) *retCount = static_cast<ViUInt32>(sent);
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viRead(ViSession vi, ViBuf buf, ViUInt32 cnt, ViUInt32* retCount) {
    return guarded([&]() -> ViStatus {
        if (retCount != nullptr) *retCount = 0;
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        if (buf == nullptr && cnt != 0) return VI_ERROR_USER_BUF;
        ViByte scratch = 0;
        std::lock_guard<std::mutex> lock(s->io);
        std::size_t got = 0;
        const ViStatus st = s->transport->read(buf != nullptr ? buf : &scratch, cnt, &got, deadline_t(s->timeout_ms.load()));
        if (retCount != nullptr) *retCount = static_cast<ViUInt32>(got);
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viFindRsrc(ViSession sesn, ViConstString expr, ViFindList* vi, ViUInt32* retCnt,
                                             ViChar desc[]) {
    return guarded([&]() -> ViStatus {
        if (vi != nullptr) *vi = 0;
        if (retCnt != nullptr) *retCnt = 0;
        if (desc != nullptr) desc[0] = '\0';
        const session_ptr rm = find_session(sesn);
        if (!rm || rm->kind != session_t::kind_t::rm) return VI_ERROR_INV_OBJECT;
        if (expr == nullptr || std::strlen(expr) > max_expr_length) return VI_ERROR_INV_EXPR;
        auto list = std::make_shared<session_t>();
        list->kind = session_t::kind_t::find_list;
        list->rm = sesn;
        for (const std::string& name : remembered_resources())
            if (matches(expr, name)) list->found.push_back(name);
        if (list->found.empty()) return VI_ERROR_RSRC_NFOUND;
        list->next_found = 1;
        if (vi != nullptr) {
            const ViStatus st = register_session(list);
            if (st != VI_SUCCESS) return st;
            *vi = list->handle;
        }
        if (retCnt != nullptr) *retCnt = static_cast<ViUInt32>(list->found.size());
        if (desc != nullptr) copy_name(desc, list->found.front());
        return VI_SUCCESS;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viFindNext(ViFindList vi, ViChar desc[]) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = find_session(vi);
        if (!s || s->kind != session_t::kind_t::find_list) return VI_ERROR_INV_OBJECT;
        std::lock_guard<std::mutex> lock(s->io);
        if (s->next_found >= s->found.size()) return VI_ERROR_RSRC_NFOUND;
        if (desc != nullptr) copy_name(desc, s->found[s->next_found]);
        ++s->next_found;
        return VI_SUCCESS;
    });
}

extern "C" ViStatus viPrintf(ViSession vi, ViConstString writeFmt, ...) {
    va_list ap;
    va_start(ap, writeFmt);
    const ViStatus st = guarded([&]() -> ViStatus {
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        std::string message;
        const ViStatus fs = format_message(writeFmt, &ap, message);
        if (fs != VI_SUCCESS) return fs;
        std::lock_guard<std::mutex> lock(s->io);
        return write_message(*s, message);
    });
    va_end(ap);
    return st;
}

extern "C" ViStatus viScanf(ViSession vi, ViConstString readFmt, ...) {
    va_list ap;
    va_start(ap, readFmt);
    const ViStatus st = guarded([&]() -> ViStatus {
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        std::vector<read_directive_t> directives;
        const ViStatus fs = parse_read_format(readFmt, directives);
        if (fs != VI_SUCCESS) return fs;
        message_buffer_t reply;
        {
            std::lock_guard<std::mutex> lock(s->io);
            const ViStatus rs = read_message(*s, reply);
            if (rs != VI_SUCCESS) return rs;
        }
        return scan_message(directives, reply.text, &ap);
    });
    va_end(ap);
    return st;
}

extern "C" ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
    va_list ap;
    va_start(ap, readFmt);
    const ViStatus st = guarded([&]() -> ViStatus {
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        // Both formats are checked before anything goes on the wire. A
        // driver asks with the same read format again and again: this
        // thread keeps the last one parsed, and the message's memory.
        thread_local std::string parsed_format;
        thread_local std::vector<read_directive_t> directives;
        thread_local std::string message;
        if (readFmt == nullptr || directives.empty() || parsed_format != readFmt) {
            parsed_format.clear();
            const ViStatus ps = parse_read_format(readFmt, directives);
            if (ps != VI_SUCCESS) {
                directives.clear();
                return ps;
            }
            parsed_format = readFmt;
        }
        const ViStatus fs = format_message(writeFmt, &ap, message);
        if (fs != VI_SUCCESS) return fs;
        message_buffer_t reply;
        {
            // One lock over both halves: no other thread can take this reply.
            std::lock_guard<std::mutex> lock(s->io);
            const ViStatus ws = write_message(*s, message);
            if (ws < VI_SUCCESS) return ws;
            const ViStatus rs = read_message(*s, reply);
            if (rs != VI_SUCCESS) return rs;
        }
        return scan_message(directives, reply.text, &ap);
    });
    va_end(ap);
    return st;
}

// ---------------------------------------------------------------- instrument operations

namespace {

// One operation on the transport, under the session's I/O lock.
template <class F>
ViStatus instrument_call(ViSession vi, F&& operation) {
    return guarded([&]() -> ViStatus {
        session_ptr s;
        const ViStatus us = usable(vi, s);
        if (us != VI_SUCCESS) return us;
        std::lock_guard<std::mutex> lock(s->io);
        return operation(*s);
    });
}

}  // namespace

// A call stuck on the session (a long read in another thread) is asked to
// end first, so the clear need not wait for its time-out.
extern "C" ViStatus ZOR_VISA_CALL viClear(ViSession vi) {
    if (const session_ptr s = instrument(vi)) {
        if (!locked_out(*s)) s->transport->interrupt();
    }
    return instrument_call(vi, [](session_t& s) { return s.transport->clear(s.timeout_ms.load()); });
}

extern "C" ViStatus ZOR_VISA_CALL viReadSTB(ViSession vi, ViUInt16* status) {
    if (status == nullptr) return instrument(vi) ? VI_ERROR_INV_PARAMETER : VI_ERROR_INV_OBJECT;
    return instrument_call(vi, [&](session_t& s) { return s.transport->read_stb(status, s.timeout_ms.load()); });
}

extern "C" ViStatus ZOR_VISA_CALL viAssertTrigger(ViSession vi, ViUInt16 protocol) {
    if (protocol != VI_TRIG_PROT_DEFAULT) return instrument(vi) ? VI_ERROR_INV_PARAMETER : VI_ERROR_INV_OBJECT;
    return instrument_call(vi, [](session_t& s) { return s.transport->trigger(s.timeout_ms.load()); });
}

// The library's own lock between its sessions first, then, for the first
// lock a session takes, the device's lock where the protocol has one.
extern "C" ViStatus ZOR_VISA_CALL viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                                         ViConstString requestedKey, ViChar accessKey[]) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK) return VI_ERROR_INV_LOCK_TYPE;
        const bool exclusive = lockType == VI_EXCLUSIVE_LOCK;
        std::string key;
        if (!exclusive) {
            if (accessKey == nullptr) return VI_ERROR_INV_PARAMETER;
            if (requestedKey != nullptr && *requestedKey != '\0') {
                if (std::strlen(requestedKey) >= rsrc_buffer_size) return VI_ERROR_INV_ACCESS_KEY;
                key = requestedKey;
            } else {
                key = shared_key_of(*s);
                if (key.empty()) key = "zorvisa." + std::to_string(s->handle);
            }
        }
        bool first = false;
        const ViStatus st = lock_locally(*s, exclusive, key, timeout, &first);
        if (st < VI_SUCCESS) return st;
        if (first) {
            std::lock_guard<std::mutex> io(s->io);
            const ViStatus ds = s->transport->lock(key, timeout);
            if (ds < VI_SUCCESS) {
                bool last = false;
                unlock_locally(*s, &last);
                return ds;
            }
        }
        if (!exclusive) copy_name(accessKey, key);
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viUnlock(ViSession vi) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        bool last = false;
        const ViStatus st = unlock_locally(*s, &last);
        if (st != VI_SUCCESS || !last) return st;
        std::lock_guard<std::mutex> io(s->io);
        return s->transport->unlock();
    });
}

// ---------------------------------------------------------------- events

namespace {

// Service requests are the one event; the queue the one mechanism (there
// is no viInstallHandler, so a handler is never installed).
ViStatus check_event(ViEventType type, bool all_allowed) {
    return type == VI_EVENT_SERVICE_REQ || (all_allowed && type == VI_ALL_ENABLED_EVENTS) ? VI_SUCCESS
                                                                                         : VI_ERROR_INV_EVENT;
}
ViStatus check_mechanism(ViUInt16 mechanism, bool all_allowed) {
    if (mechanism == VI_QUEUE || (all_allowed && mechanism == VI_ALL_MECH)) return VI_SUCCESS;
    if (mechanism == VI_HNDLR || mechanism == VI_SUSPEND_HNDLR) return VI_ERROR_HNDLR_NINSTALLED;
    return VI_ERROR_INV_MECH;
}

}  // namespace

extern "C" ViStatus ZOR_VISA_CALL viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                                ViEventFilter context) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        ViStatus st = check_event(eventType, false);
        if (st == VI_SUCCESS) st = check_mechanism(mechanism, false);
        if (st != VI_SUCCESS) return st;
        if (context != VI_NULL) return VI_ERROR_INV_CONTEXT;
        const std::shared_ptr<event_queue_t> queue = s->events;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            if (queue->enabled) return VI_SUCCESS_EVENT_EN;
        }
        std::lock_guard<std::mutex> io(s->io);
        // Enabled before the device is told, so the first request is kept.
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->enabled = true;
        }
        std::weak_ptr<event_queue_t> weak = queue;
        st = s->transport->enable_service_requests(
            [weak] {
                if (const auto q = weak.lock()) q->post(VI_EVENT_SERVICE_REQ);
            },
            s->timeout_ms.load());
        if (st != VI_SUCCESS) {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->enabled = false;
        }
        return st;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        const ViStatus st = check_event(eventType, true);
        if (st != VI_SUCCESS) return st;
        const ViStatus mech = check_mechanism(mechanism, true);
        if (mech == VI_ERROR_HNDLR_NINSTALLED) return VI_SUCCESS_EVENT_DIS;
        if (mech != VI_SUCCESS) return mech;
        {
            std::lock_guard<std::mutex> lock(s->events->mutex);
            if (!s->events->enabled) return VI_SUCCESS_EVENT_DIS;
            s->events->enabled = false;  // what is queued stays for viWaitOnEvent
        }
        std::lock_guard<std::mutex> io(s->io);
        return s->transport->disable_service_requests(s->timeout_ms.load());
    });
}

extern "C" ViStatus ZOR_VISA_CALL viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return guarded([&]() -> ViStatus {
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        ViStatus st = check_event(eventType, true);
        if (st == VI_SUCCESS) st = check_mechanism(mechanism, true);
        if (st != VI_SUCCESS) return st;
        std::lock_guard<std::mutex> lock(s->events->mutex);
        const bool empty = s->events->events.empty();
        s->events->events.clear();
        return empty ? VI_SUCCESS_QUEUE_EMPTY : VI_SUCCESS;
    });
}

// The next queued event, as an event object the caller closes (none made
// when outContext is null).
extern "C" ViStatus ZOR_VISA_CALL viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                                                ViEventType* outEventType, ViEvent* outContext) {
    return guarded([&]() -> ViStatus {
        if (outEventType != nullptr) *outEventType = 0;
        if (outContext != nullptr) *outContext = VI_NULL;
        const session_ptr s = instrument(vi);
        if (!s) return VI_ERROR_INV_OBJECT;
        const ViStatus st = check_event(inEventType, true);
        if (st != VI_SUCCESS) return st;
        event_queue_t& q = *s->events;
        std::unique_lock<std::mutex> lock(q.mutex);
        if (!q.enabled && q.events.empty()) return VI_ERROR_NENABLED;
        const auto ready = [&] { return q.closed || !q.events.empty(); };
        if (timeout == static_cast<ViUInt32>(VI_TMO_INFINITE)) q.arrived.wait(lock, ready);
        else if (!q.arrived.wait_for(lock, std::chrono::milliseconds(timeout), ready)) return VI_ERROR_TMO;
        if (q.events.empty()) return VI_ERROR_INV_OBJECT;  // closed while waiting
        const ViEventType type = q.events.front();
        q.events.pop_front();
        const bool more = !q.events.empty();
        lock.unlock();
        if (outEventType != nullptr) *outEventType = type;
        if (outContext != nullptr) {
            auto e = std::make_shared<session_t>();
            e->kind = session_t::kind_t::event;
            e->rm = s->rm;  // closed with its resource manager
            e->event_type = type;
            const ViStatus rs = register_session(e);
            if (rs != VI_SUCCESS) return rs;
            *outContext = e->handle;
        }
        return more ? VI_SUCCESS_QUEUE_NEMPTY : VI_SUCCESS;
    });
}

extern "C" ViStatus ZOR_VISA_CALL viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
    return guarded([&]() -> ViStatus {
        if (desc == nullptr) return VI_ERROR_INV_PARAMETER;
        std::string text;
        if (vi == last_open_failure.rm && status == last_open_failure.status) text = last_open_failure.text;
        if (text.empty()) {
            switch (status) {
                case VI_SUCCESS: text = "Operation completed successfully"; break;
                case VI_ERROR_RSRC_NFOUND: text = "Resource not found"; break;
                case VI_ERROR_INV_RSRC_NAME: text = "Invalid resource name"; break;
                case VI_ERROR_TMO: text = "Timeout expired before the operation completed"; break;
                case VI_ERROR_CONN_LOST: text = "Connection lost"; break;
                case VI_ERROR_IO: text = "I/O error"; break;
                default: break;
            }
        }
        if (text.empty()) {
            std::snprintf(desc, 256, "Unknown status 0x%08lX", static_cast<unsigned long>(status));
            return VI_WARN_UNKNOWN_STATUS;
        }
        // A description buffer holds 256 bytes (VI_FIND_BUFLEN).
        const std::size_t n = std::min<std::size_t>(text.size(), 255);
        std::memcpy(desc, text.data(), n);
        desc[n] = '\0';
        return VI_SUCCESS;
    });
}
