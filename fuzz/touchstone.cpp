// The simulator's Touchstone reader: the input is a file's text, read as a
// one-port when its first byte is odd and as a two-port otherwise. A refused
// file throws std::invalid_argument; anything else escaping is a finding.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include <simulator/physics/touchstone.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int ports = (data[0] & 1) ? 1 : 2;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        (void)zorsim::physics::parse_touchstone(text, ports);
    } catch (const std::invalid_argument&) {
    }
    return 0;
}
