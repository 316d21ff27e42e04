// HiSLIP instrument sessions (TCPIP::host::hislip0[,port]::INSTR): a
// synchronous channel for data and an asynchronous one for locks, status
// and device clear, in synchronized mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport.h"

namespace zorvisa {

ViStatus open_hislip_transport(const std::string& host, std::uint16_t port, const std::string& sub_address,
                               ViUInt32 timeout_ms, std::unique_ptr<transport_t>& out);

}  // namespace zorvisa
