// The session table and the per-session state and lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ivi_engine.h"
#include "option_string.h"

namespace zor_engine {

// One error record. Plain data so a thread_local copy needs no destructor
// at thread exit (that matters for DLLs on some runtimes).
struct error_record_t {
    ViStatus primary = 0;
    ViStatus secondary = 0;
    char elaboration[IVI_MAX_MESSAGE_BUF_SIZE] = {};
};

struct session_t {
    explicit session_t(ViSession h) : handle(h) {}

    const ViSession handle;

    // Guards every field below; held only briefly, never while waiting for
    // the session lock (that wait uses lock_cv).
    std::mutex data;
    std::condition_variable lock_cv;
    bool disposed = false;
    std::thread::id owner;
    unsigned long depth = 0;

    session_options_t options;
    bool need_to_check_status = true;
    std::string resource_descriptor;
    ViSession rm_session = 0;
    ViSession io_session = 0;
    std::map<ViAttr, ViInt32> attribute_flags;
    error_record_t error;
};

using session_ptr = std::shared_ptr<session_t>;

// Registers a new session and returns it; the handle is non-zero and not
// that of any live session.
session_ptr add_session(const session_options_t& options, ViSession rm_session);
// The live session with this handle, or null.
session_ptr find_session(ViSession vi);
// Forgets the session (after it was marked disposed).
void remove_session(const session_ptr& session);

// How long Ivi_LockSession and Ivi_Dispose wait for another holder.
std::chrono::milliseconds lock_timeout();

// Session lock operations; statuses as the exported functions return them.
ViStatus acquire_lock(const session_ptr& session);
ViStatus release_lock(const session_ptr& session);
// Waits for the lock like acquire_lock, then marks the session disposed and
// wakes every waiter. Returns the RM session to close through rm_session.
ViStatus mark_disposed(const session_ptr& session, ViSession& rm_session);

}  // namespace zor_engine
