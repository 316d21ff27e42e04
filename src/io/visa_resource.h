// One VISA instrument session: open, close, write, read, write-then-read.
// The object never closes its I/O session on destruction: the session
// outlives the per-call objects and is closed only by an explicit close.
#pragma once

#include <cstdint>
#include <string>

#include "support/status.h"

namespace qvdriver {

class visa_resource_t {
public:
    std::string name;       // resource name used by open; empty when filled from the engine
    std::uint32_t rm = 0;   // resource-manager session, owned by the engine
    std::uint32_t io = 0;   // instrument I/O session; 0 when closed

    void open(status_t& status, std::uint32_t access_mode, std::uint32_t open_timeout);
    void close(status_t& status);
    void write(status_t& status, const std::string& command, std::uint32_t* written = nullptr);
    // One whole reply, read in 256-byte pieces; trailing white space removed.
    void read(status_t& status, std::string& reply);
    void query(status_t& status, const std::string& command, std::string& reply);
};

}  // namespace qvdriver
