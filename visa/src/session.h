// The process-wide table of VISA objects: resource-manager sessions,
// instrument sessions and find lists.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport.h"

namespace zorvisa {

constexpr ViUInt32 default_timeout_ms = 2000;
constexpr ViUInt16 intf_tcpip = 6;  // VI_INTF_TCPIP

struct session_t {
    enum class kind_t { rm, instr, find_list };
    kind_t kind = kind_t::rm;
    ViSession handle = 0;
    ViSession rm = 0;         // the owning resource manager (itself for an RM)
    std::string rsrc_name;    // canonical name of an instrument session
    bool is_socket = false;

    std::atomic<ViUInt32> timeout_ms{default_timeout_ms};
    std::atomic<ViUInt8> termchar{'\n'};
    std::atomic<bool> termchar_en{false};
    std::atomic<bool> send_end_en{true};

    // Serializes I/O on the session; guards transport and the find list.
    std::mutex io;
    std::unique_ptr<transport_t> transport;
    std::vector<std::string> found;
    std::size_t next_found = 0;
};

using session_ptr = std::shared_ptr<session_t>;

// Registers s under a fresh handle (non-zero, not held by any live object).
// An object with a parent (s->rm != s's own handle) is registered only while
// that RM is live; VI_ERROR_INV_OBJECT otherwise.
ViStatus register_session(const session_ptr& s);
session_ptr find_session(ViSession handle);
// Removes the object and, for an RM, everything opened under it. The removed
// sessions are returned so their transports end outside the table lock.
std::vector<session_ptr> remove_session(ViSession handle);

// SIM analyzer names opened so far (canonical names), for viFindRsrc.
void remember_resource(const std::string& canonical);
std::vector<std::string> remembered_resources();

}  // namespace zorvisa
