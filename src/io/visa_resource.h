// One VISA instrument session: open, close, write, read, write-then-read.
// The object never closes its I/O session on destruction: the session
// outlives the per-call objects and is closed only by an explicit close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/status.h"

namespace qvdriver {

// The longest reply the driver takes in: the largest sweep's trace data
// (100,001 points, two values each) at 64 characters a value, far beyond any
// number format an analyzer uses. A longer reply is a fault of the instrument
// or the link, not data, and must not make the driver allocate without end.
constexpr std::size_t max_reply_bytes = std::size_t{100001} * 2 * 64;

class visa_resource_t {
public:
    std::string name;       // resource name used by open; empty when filled from the engine
    std::uint32_t rm = 0;   // resource-manager session, owned by the engine
    std::uint32_t io = 0;   // instrument I/O session; 0 when closed

    void open(status_t& status, std::uint32_t access_mode, std::uint32_t open_timeout);
    void close(status_t& status);
    void write(status_t& status, const std::string& command, std::uint32_t* written = nullptr);
    // One whole reply, trailing white space removed. It must end within the
    // session's I/O time-out, counted from the start of the read (else
    // VI_ERROR_TMO), and within max_reply_bytes (else it is read to its end,
    // or to the time-out, and dropped: 0xBFFF0010).
    void read(status_t& status, std::string& reply);
    // The same into a buffer of the calling thread, valid until that
    // thread's next read: long replies are neither copied nor zero-filled.
    void read_view(status_t& status, std::string_view& reply);
    // The same with nothing removed: a binary block may end in bytes that
    // look like white space.
    void read_raw_view(status_t& status, std::string_view& reply);
    void query(status_t& status, const std::string& command, std::string& reply);
};

}  // namespace qvdriver
