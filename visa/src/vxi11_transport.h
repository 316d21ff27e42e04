// VXI-11 instrument sessions (TCPIP::host::inst0::INSTR): ONC RPC calls on
// the device's core channel, found through its portmapper.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport.h"

namespace zorvisa {

// The portmapper is asked on port 111, or on ZOR_VISA_PORTMAPPER_PORT when
// set (a simulator on an unprivileged port). No portmapper, or no VXI-11
// program registered: VI_ERROR_RSRC_NFOUND.
ViStatus open_vxi11_transport(const std::string& host, const std::string& device, ViUInt32 timeout_ms,
                              std::unique_ptr<transport_t>& out);

}  // namespace zorvisa
