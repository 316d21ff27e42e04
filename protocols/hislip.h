// HiSLIP: the 16-byte message header ("HS", type, control code, a 32-bit
// parameter and a 64-bit payload length, big-endian), the message types and
// the codes the synchronized mode uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorwire::hislip {

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

// The 8-byte payload of the maximum message size exchange.
inline std::string size_payload(std::uint64_t size) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(size >> (56 - 8 * i));
    return out;
}

}  // namespace zorwire::hislip
