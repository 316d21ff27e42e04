// Raw TCP socket to an instrument (or the simulated analyzer server).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport.h"

namespace zorvisa {

// Connects within timeout_ms (VI_TMO_INFINITE: no limit of ours). Refused or
// unknown host: VI_ERROR_RSRC_NFOUND; no answer in time: VI_ERROR_TMO.
ViStatus open_socket_transport(const std::string& host, std::uint16_t port, ViUInt32 timeout_ms,
                               std::unique_ptr<transport_t>& out);

}  // namespace zorvisa
