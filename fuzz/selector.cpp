// The selector parser: any text parses and expands, or is refused, within
// bounded time and memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "adapter/rep_cap.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)!std::freopen("/dev/null", "w", stdout);  // the parser's console lines for refused selectors
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // terminated: parse takes a C string
    qvdriver::rep_cap_identifier_t id;
    id.parse(text.c_str());
    for (const auto& record : id.records()) (void)record.to_string();
    return 0;
}
