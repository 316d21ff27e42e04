// Sessions: creation, identity check and close, and session_scope_t, the
// per-call object through which every exported operation reaches the
// instrument.
#pragma once

#include <cstdint>
#include <string>

#include "io/zor_api.h"
#include "support/status.h"

namespace qvdriver {

class session_scope_t {
public:
    std::uint32_t vi;
    zor_api_t api;
    bool lock_held = false;

    // Reads the session's VISA handles back from the engine.
    explicit session_scope_t(std::uint32_t session);
    ~session_scope_t();
    session_scope_t(const session_scope_t&) = delete;
    session_scope_t& operator=(const session_scope_t&) = delete;

    // Takes the engine's session lock (lock_held is set even when it fails,
    // so the release always runs); returns the engine's status.
    status_t lock();
    // The session handle is non-zero and the engine accepts it.
    bool valid() const;
};

struct resolved_name_t {
    status_t status = 0;
    std::string resource_name;
    std::string option_string;
    bool is_logical_name = false;
};

resolved_name_t resolve_resource_name(const std::string& resource_name, const std::string& option_string);
status_t create_session(const std::string& prefix, const std::string& resource_name, bool id_query, bool reset,
                        const std::string& option_string, std::uint32_t* vi);
status_t id_query(session_scope_t& scope, const std::string& resource_name, bool id_query);

}  // namespace qvdriver
