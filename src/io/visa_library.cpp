#include "io/visa_library.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

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

// The I/O trace sits here, in front of the library, so every message the
// driver writes or reads is seen, whichever part of the driver sends it.
ViStatus ZOR_VISA_CALL traced_write(ViSession vi, ViConstBuf buffer, ViUInt32 count, ViUInt32* written) {
    ViUInt32 done = 0;
    const ViStatus status = real.viWrite(vi, buffer, count, written ? written : &done);
    if (logger::trace_enabled())
        trace_io(vi, ">> write", reinterpret_cast<const char*>(buffer), written ? *written : done, status);
    return status;
}

ViStatus ZOR_VISA_CALL traced_read(ViSession vi, ViBuf buffer, ViUInt32 count, ViUInt32* got) {
    ViUInt32 done = 0;
    const ViStatus status = real.viRead(vi, buffer, count, got ? got : &done);
    if (logger::trace_enabled()) {
        ViUInt32 n = got ? *got : done;
        if (n > count) n = count;
        trace_io(vi, "<< read", reinterpret_cast<const char*>(buffer), status < 0 ? 0 : n, status);
    }
    return status;
}

// The driver's formatted queries pass pointers only: a "%s" command to
// write and one pointer per conversion of the read format. Counting the
// conversions lets the call go on unchanged; the trace shows the command and
// what the first conversion received.
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

std::string first_value(const char* read_format, void* target) {
    if (target == nullptr || read_format == nullptr) return {};
    const char* p = std::strchr(read_format, '%');
    if (p == nullptr) return {};
    const std::string spec(p + 1, std::strcspn(p + 1, ",\" "));
    if (spec.find('[') != std::string::npos || spec.find('s') != std::string::npos)
        return static_cast<const char*>(target);
    if (spec == "ld") return std::to_string(*static_cast<long*>(target));
    if (spec == "hd") return std::to_string(*static_cast<short*>(target));
    if (spec == "Le") return util::string_format("%.12g", static_cast<double>(*static_cast<ViLongDouble*>(target)));
    if (spec == "le" || spec == "lf") return util::string_format("%.12g", *static_cast<double*>(target));
    return {};
}

ViStatus traced_queryf(ViSession vi, ViConstString write_format, ViConstString read_format, ...) {
    constexpr std::size_t most = 4;
    void* args[most] = {};
    const std::size_t n = conversions(write_format) + conversions(read_format);
    va_list list;
    va_start(list, read_format);
    for (std::size_t i = 0; i < n && i < most; ++i) args[i] = va_arg(list, void*);
    va_end(list);
    if (n > most) return VI_ERROR_NSUP_FMT;
    const ViStatus status = real.viQueryf(vi, write_format, read_format, args[0], args[1], args[2], args[3]);
    if (logger::trace_enabled()) {
        const std::size_t written = conversions(write_format);
        std::string text = written == 1 && std::strcmp(write_format, "%s") == 0 && args[0] != nullptr
                               ? std::string(static_cast<const char*>(args[0]))
                               : std::string(write_format ? write_format : "");
        text += " -> ";
        if (status >= 0 && written < most) text += first_value(read_format, args[written]);
        trace_io(vi, "<> query", text.data(), text.size(), status);
    }
    return status;
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
    bound.viWrite = traced_write;
    bound.viRead = traced_read;
    bound.viQueryf = traced_queryf;
    complete.store(true, std::memory_order_release);
    return true;
}

const binding_t& api() { return bound; }

std::string last_attempts() {
    std::lock_guard<std::mutex> guard(binding_lock);
    return attempts;
}

}  // namespace qvdriver::visa
