#include "io/visa_library.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

#include "io/wire_guard.h"
#include "support/logger.h"
#include "support/platform.h"
#include "support/qvutil.h"

namespace qvdriver::visa {

namespace {

binding_t bound;
binding_t real;  // the library's own functions, behind the traced ones in `bound`
std::atomic<bool> complete{false};
std::mutex binding_lock;
std::string attempts;  // the files the last failed load tried

// The name of a VISA status, or null.
const char* status_name(ViStatus status) {
    struct named_t {
        ViStatus status;
        const char* name;
    };
#define ZOR_VISA_STATUS_NAME(name) {name, #name},
    static const named_t names[] = {ZOR_VISA_STATUSES(ZOR_VISA_STATUS_NAME)};
#undef ZOR_VISA_STATUS_NAME
    for (const named_t& n : names)
        if (n.status == status) return n.name;
    return nullptr;
}

// The wire guard and the I/O trace sit here, in front of the library, so
// every message the driver writes or reads passes them, whichever part of
// the driver sends it. With the trace off and no session in doubt, each
// adds one test of a flag.
ViStatus ZOR_VISA_CALL guarded_write(ViSession vi, ViConstBuf buffer, ViUInt32 count, ViUInt32* written) {
    if (const status_t refused = wire::before_exchange(vi)) return refused;
    wire::note_command(vi, reinterpret_cast<const char*>(buffer), count);
    const ViStatus status = traced_write(vi, buffer, count, written);
    return status == VI_ERROR_TMO ? wire::after_timeout(vi, nullptr) : status;
}

ViStatus ZOR_VISA_CALL guarded_read(ViSession vi, ViBuf buffer, ViUInt32 count, ViUInt32* got) {
    if (const status_t refused = wire::before_exchange(vi)) return refused;
    const ViStatus status = traced_read(vi, buffer, count, got);
    return status == VI_ERROR_TMO ? wire::after_timeout(vi, nullptr) : status;
}

// The conversions of a format ("%%" is none): the pointers a formatted query
// passes, one each. Counted on every query, so kept to one pass.
std::size_t conversions(const char* format) {
    std::size_t n = 0;
    for (const char* p = format; p && *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        ++n;
    }
    return n;
}

// A read format's conversions and where each stores its value.
enum class stored_t { int16, int32, int64, real32, real64, real80, text, character, unknown };

// The kinds of the conversions in `format`, in order ("%%" is none).
std::size_t conversion_kinds(const char* format, stored_t* kinds, std::size_t room) {
    std::size_t n = 0;
    for (const char* p = format; p && *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        ++p;
        while (*p >= '0' && *p <= '9') ++p;
        int longs = 0;
        bool half = false, wide = false;
        for (;; ++p) {
            if (*p == 'l') ++longs;
            else if (*p == 'h') half = true;
            else if (*p == 'L') wide = true;
            else break;
        }
        stored_t kind = stored_t::unknown;
        switch (*p) {
            case 'd': case 'i': case 'u': case 'x': case 'o':
                kind = half ? stored_t::int16 : longs >= 2 ? stored_t::int64 : stored_t::int32;
                break;
            case 'e': case 'f': case 'g': case 'E': case 'G':
                kind = wide ? stored_t::real80 : longs != 0 ? stored_t::real64 : stored_t::real32;
                break;
            case 's': kind = stored_t::text; break;
            case 'c': kind = stored_t::character; break;
            case '[':
                kind = stored_t::text;
                if (p[1] == '^') ++p;
                if (p[1] == ']') ++p;
                while (p[1] != '\0' && p[1] != ']') ++p;
                if (p[1] == ']') ++p;
                break;
            default: break;
        }
        if (*p == '\0') break;
        if (n < room) kinds[n] = kind;
        ++n;
    }
    return n;
}

std::string shortest(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// What a formatted query read, value by value, as the driver received it.
std::string values_read(const stored_t* kinds, std::size_t n, void* const* targets) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0) out += ", ";
        const void* p = targets[i];
        if (p == nullptr) {
            out += '?';
            continue;
        }
        switch (kinds[i]) {
            case stored_t::int16: out += std::to_string(*static_cast<const ViInt16*>(p)); break;
            case stored_t::int32: out += std::to_string(*static_cast<const ViInt32*>(p)); break;
            case stored_t::int64: out += std::to_string(*static_cast<const long long*>(p)); break;
            case stored_t::real32: out += shortest(*static_cast<const float*>(p)); break;
            case stored_t::real64: out += shortest(*static_cast<const double*>(p)); break;
            case stored_t::real80: out += shortest(static_cast<double>(*static_cast<const ViLongDouble*>(p))); break;
            case stored_t::text:
                out += '"';
                append_escaped(out, std::string_view(static_cast<const char*>(p)).substr(0, 512));
                out += '"';
                break;
            case stored_t::character:
                out += '\'';
                append_escaped(out, std::string_view(static_cast<const char*>(p), 1));
                out += '\'';
                break;
            case stored_t::unknown: out += '?'; break;
        }
    }
    return out;
}

// The driver's formatted queries pass pointers only: a "%s" command to
// write (or none) and one pointer per conversion of the read format.
// Counting the conversions lets the call go on unchanged.
ViStatus guarded_queryf(ViSession vi, ViConstString write_format, ViConstString read_format, ...) {
    constexpr std::size_t most = 4;
    void* args[most] = {};
    const std::size_t written = conversions(write_format);
    const std::size_t n = written + conversions(read_format);
    va_list list;
    va_start(list, read_format);
    for (std::size_t i = 0; i < n && i < most; ++i) args[i] = va_arg(list, void*);
    va_end(list);
    if (n > most) return VI_ERROR_NSUP_FMT;
    if (const status_t refused = wire::before_exchange(vi)) return refused;
    const bool plain_command = written == 1 && std::strcmp(write_format, "%s") == 0 && args[0] != nullptr;
    const char* command = plain_command ? static_cast<const char*>(args[0]) : write_format;
    const ViStatus status = real.viQueryf(vi, write_format, read_format, args[0], args[1], args[2], args[3]);
    if (logger::trace_enabled()) {
        stored_t kinds[most];
        conversion_kinds(read_format, kinds, most);
        const std::string values = status >= 0 ? values_read(kinds, n - written, args + written) : std::string();
        trace_io(vi, "<> query", command ? command : "", status, status_name(status), values);
    }
    return status == VI_ERROR_TMO ? wire::after_timeout(vi, command) : status;
}

ViStatus ZOR_VISA_CALL guarded_open(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                                    ViSession* vi) {
    const ViStatus status = real.viOpen(rm, name, mode, timeout, vi);
    if (status >= 0 && vi != nullptr) wire::forget(*vi);
    return status;
}

ViStatus ZOR_VISA_CALL guarded_close(ViObject vi) {
    wire::forget(vi);
    return real.viClose(vi);
}

template <typename F>
bool bind(platform::module_t module, const char* name, F& slot) {
    slot = reinterpret_cast<F>(platform::find_symbol(module, name));
    return slot != nullptr;
}

}  // namespace

bool load_visa_library() {
    if (complete.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> guard(binding_lock);
    if (complete.load(std::memory_order_relaxed)) return true;

    std::string tried;
    platform::module_t module = platform::open_visa_library(&tried);
    if (module == nullptr) {
        attempts = tried;
        log_message(log_error, "Cannot load visa dll library (tried: " + tried + ").");
        return false;
    }
    binding_t candidate;
    bool found = true;
    // Looked up in the binding's order; the first missing name ends the attempt.
#define ZOR_VISA_BIND(name, ret, params) found = found && bind(module, #name, candidate.name);
    ZOR_VISA_FUNCTIONS(ZOR_VISA_BIND)
#undef ZOR_VISA_BIND
    found = found && bind(module, "viPrintf", candidate.viPrintf) && bind(module, "viScanf", candidate.viScanf) &&
            bind(module, "viQueryf", candidate.viQueryf);
    bind(module, "viStatusDesc", candidate.viStatusDesc);  // optional: a status is described without it
    if (!found) {
        platform::free_library(module);
        attempts = tried + " (loaded, but a VISA function is missing)";
        return false;
    }
    real = candidate;
    bound = candidate;
    bound.viOpen = guarded_open;
    bound.viClose = guarded_close;
    bound.viWrite = guarded_write;
    bound.viRead = guarded_read;
    bound.viQueryf = guarded_queryf;
    complete.store(true, std::memory_order_release);
    return true;
}

const binding_t& api() { return bound; }

ViStatus traced_write(ViSession vi, ViConstBuf buffer, ViUInt32 count, ViUInt32* written) {
    ViUInt32 done = 0;
    const ViStatus status = real.viWrite(vi, buffer, count, written ? written : &done);
    if (logger::trace_enabled()) {
        const ViUInt32 n = std::min(written ? *written : done, count);
        trace_io(vi, ">> write", std::string_view(reinterpret_cast<const char*>(buffer), n), status,
                 status_name(status));
    }
    return status;
}

ViStatus traced_read(ViSession vi, ViBuf buffer, ViUInt32 count, ViUInt32* got) {
    ViUInt32 done = 0;
    const ViStatus status = real.viRead(vi, buffer, count, got ? got : &done);
    if (logger::trace_enabled()) {
        const ViUInt32 n = std::min(got ? *got : done, count);
        trace_io(vi, "<< read", std::string_view(reinterpret_cast<const char*>(buffer), n), status,
                 status_name(status));
    }
    return status;
}

std::string last_attempts() {
    std::lock_guard<std::mutex> guard(binding_lock);
    return attempts;
}

}  // namespace qvdriver::visa
