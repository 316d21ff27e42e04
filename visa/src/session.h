// The process-wide table of VISA objects: resource-manager sessions,
// instrument sessions and find lists.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport.h"

namespace zorvisa {

constexpr ViUInt32 default_timeout_ms = 2000;
constexpr ViUInt16 intf_tcpip = 6;  // VI_INTF_TCPIP

// The events a session was enabled for and has received, for viWaitOnEvent.
struct event_queue_t {
    static constexpr std::size_t default_length = 50;  // VI_ATTR_MAX_QUEUE_LENGTH
    std::mutex mutex;
    std::condition_variable arrived;
    bool enabled = false;  // for the queue mechanism
    bool closed = false;   // the session went: waiters leave
    std::size_t max_length = default_length;
    std::deque<ViEventType> events;

    // From the transport's thread; an event past the queue's length is lost.
    void post(ViEventType type) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!enabled || events.size() >= max_length) return;
            events.push_back(type);
        }
        arrived.notify_all();
    }
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closed = true;
        }
        arrived.notify_all();
    }
};

struct session_t {
    enum class kind_t { rm, instr, find_list, event };
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

    std::shared_ptr<event_queue_t> events = std::make_shared<event_queue_t>();
    ViEventType event_type = 0;  // of an event object

    // viLock nesting (guarded by the lock table).
    unsigned exclusive_locks = 0;
    unsigned shared_locks = 0;
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

// Locks between this library's sessions on one resource (by canonical
// name), as VISA keeps them whatever the protocol: an exclusive holder, or
// sessions sharing one key. Waits at most timeout_ms; VI_SUCCESS, a nested
// success, or VI_ERROR_TMO. *first: the session held no lock before.
ViStatus lock_locally(session_t& s, bool exclusive, const std::string& key, ViUInt32 timeout_ms, bool* first);
// VI_ERROR_SESN_NLOCKED when the session holds none. *last: it holds none now.
ViStatus unlock_locally(session_t& s, bool* last);
void drop_local_locks(session_t& s);
// True when another session's lock keeps s from the resource.
bool locked_out(const session_t& s);
// The key of the shared lock on the session's resource ("" when none).
std::string shared_key_of(const session_t& s);

// SIM analyzer names opened so far (canonical names), for viFindRsrc.
void remember_resource(const std::string& canonical);
std::vector<std::string> remembered_resources();

}  // namespace zorvisa
