// The VISA formatted reads: input is a read format, a NUL, then the reply.
// The reply is handed over as a view of exactly its bytes, with no
// terminator after it, as a message read from the wire would be.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formatted_io.h"

namespace {

constexpr std::size_t max_arguments = 16;
constexpr std::size_t argument_bytes = 256;

ViStatus scan(const std::vector<zorvisa::read_directive_t>& directives, std::string_view reply, ...) {
    va_list ap;
    va_start(ap, reply);
    const ViStatus status = zorvisa::scan_message(directives, reply, &ap);
    va_end(ap);
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(text, '\0', size);
    if (nul == nullptr) return 0;
    const std::string format(text, static_cast<const char*>(nul));
    const std::size_t reply_at = format.size() + 1;
    std::vector<zorvisa::read_directive_t> directives;
    if (zorvisa::parse_read_format(format.c_str(), directives) != VI_SUCCESS) return 0;
    // One destination per directive, each big enough for any width the
    // fuzzer can ask for within the bound below.
    std::size_t arguments = 0;
    for (const auto& d : directives) {
        using kind_t = zorvisa::read_directive_t::kind_t;
        if (d.kind == kind_t::literal || d.kind == kind_t::space) continue;
        if (d.width >= argument_bytes) return 0;
        ++arguments;
    }
    if (arguments > max_arguments) return 0;
    // Exactly the reply's bytes on the heap, so a read past them is caught.
    std::vector<char> reply(text + reply_at, text + size);
    alignas(16) static unsigned char out[max_arguments][argument_bytes];
    void* a[max_arguments];
    for (std::size_t k = 0; k < max_arguments; ++k) a[k] = out[k];
    scan(directives, std::string_view(reply.data(), reply.size()), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8],
         a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
    return 0;
}
