// The session table and the per-session state and lock.
#pragma once

#include <atomic>
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

// One slot of the session table. Slots are never freed, only used again by
// a later session, so a pointer to one stays valid for the life of the
// process; `handle` says whose it is now. Whoever found a slot checks, under
// `data`, that it still holds the session asked for (holds()).
struct session_t {
    // Guards every field below; held only briefly, never while waiting for
    // the session lock (that wait uses lock_cv).
    std::mutex data;
    std::condition_variable lock_cv;
    ViSession handle = 0;  // 0: a free slot
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

    // The handle again, read without `data`: a found slot is worth locking
    // only when it matches.
    std::atomic<ViSession> live_handle{0};

    // With `data` held: the slot is the live session vi.
    bool holds(ViSession vi) const { return handle == vi && !disposed; }
};

// Registers a new session in a free slot and returns its handle: non-zero
// and not that of any live session.
ViSession add_session(const session_options_t& options, ViSession rm_session);
// The slot of the live session with this handle, or null. Another thread
// may dispose of it at any time: check holds(vi) under `data`.
session_t* find_session(ViSession vi);
// Frees the slot of a disposed session for a later one.
void remove_session(session_t* session, ViSession vi);

// How long Ivi_LockSession and Ivi_Dispose wait for another holder.
std::chrono::milliseconds lock_timeout();

// Session lock operations on the slot of session vi; statuses as the
// exported functions return them.
ViStatus acquire_lock(session_t* session, ViSession vi);
ViStatus release_lock(session_t* session, ViSession vi);
// Waits for the lock like acquire_lock, then marks the session disposed and
// wakes every waiter. Returns the RM session to close through rm_session.
ViStatus mark_disposed(session_t* session, ViSession vi, ViSession& rm_session);

}  // namespace zor_engine
