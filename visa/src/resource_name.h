// Parsing of the resource names this library serves.
#pragma once

#include <cstdint>
#include <string>

#include "visa.h"

namespace zorvisa {

struct resource_name_t {
    enum class kind_t { socket, sim, vxi11, hislip };
    kind_t kind = kind_t::sim;
    unsigned board = 0;
    std::string host;      // socket: as written, IPv6 brackets removed
    std::uint16_t port = 0;  // socket; hislip (4880 unless given)
    std::string device;    // vxi11 and hislip: the device name ("inst0", "hislip0")
    std::string sim_name;  // sim: the analyzer name
    std::string canonical; // the name reported by VI_ATTR_RSRC_NAME
};

// VI_SUCCESS, VI_ERROR_INV_RSRC_NAME for malformed names, or
// VI_ERROR_RSRC_NFOUND for well-formed names of resources not served here.
// On failure `why` (when given) says which part is wrong and how to write it.
ViStatus parse_resource_name(const char* text, resource_name_t& out, std::string* why = nullptr);

}  // namespace zorvisa
