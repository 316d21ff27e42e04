#include "sessions.h"

#include <cstdlib>
#include <vector>

#include "engine_status.h"
#include "support/platform.h"

namespace zor_engine {
namespace {

struct session_table_t {
    std::mutex mutex;
    std::map<ViSession, session_t*> sessions;      // live ones
    std::vector<std::unique_ptr<session_t>> slots;  // every slot ever made: as many as were open at once
    std::vector<session_t*> free_slots;
    ViSession next_handle = 1;
};

session_table_t& table() {
    // Never destroyed: a thread still inside an export during process exit
    // must not meet a destroyed table.
    static session_table_t* t = new session_table_t;
    return *t;
}

// The slot this thread found last. A call on one session looks it up three
// times (its I/O session, lock, unlock): this spares the table's lock each
// time. Plain data, so no destructor runs at thread exit.
struct last_found_t {
    ViSession handle;
    session_t* slot;
};
thread_local last_found_t last_found{0, nullptr};

// Waits until nobody else holds the lock. Called with data held through lk.
ViStatus wait_until_free(session_t* s, ViSession vi, std::unique_lock<std::mutex>& lk) {
    // The usual case, a free session, needs no deadline and so no clock.
    if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
    if (s->depth == 0) return VI_SUCCESS;
    bool free = s->lock_cv.wait_for(lk, lock_timeout(), [&] { return !s->holds(vi) || s->depth == 0; });
    if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
    return free ? VI_SUCCESS : status_lock_timeout;
}

}  // namespace

std::chrono::milliseconds lock_timeout() {
    // ZOR_IVI_LOCK_TIMEOUT_MS shortens the wait for tests; read once.
    static const std::chrono::milliseconds timeout = [] {
        long long ms = 60000;
        if (auto text = qvdriver::platform::get_env("ZOR_IVI_LOCK_TIMEOUT_MS")) {
            char* end = nullptr;
            long long v = std::strtoll(text->c_str(), &end, 10);
            if (end != text->c_str() && *end == '\0' && v > 0 && v <= 24LL * 3600 * 1000) ms = v;
        }
        return std::chrono::milliseconds(ms);
    }();
    return timeout;
}

ViSession add_session(const session_options_t& options, ViSession rm_session) {
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    // A counter keeps handles from being reused soon after disposal; after a
    // wrap-around, skip 0 and live handles.
    while (t.next_handle == 0 || t.sessions.count(t.next_handle) != 0) ++t.next_handle;
    if (t.free_slots.empty()) {
        t.slots.push_back(std::make_unique<session_t>());
        t.free_slots.push_back(t.slots.back().get());
    }
    session_t* s = t.free_slots.back();
    const ViSession handle = t.next_handle++;
    {
        std::lock_guard<std::mutex> lk(s->data);
        s->handle = handle;
        s->disposed = false;
        s->owner = std::thread::id();
        s->depth = 0;
        s->options = options;
        s->need_to_check_status = true;
        s->resource_descriptor.clear();
        s->rm_session = rm_session;
        s->io_session = 0;
        s->attribute_flags.clear();
        s->error = error_record_t{};
        s->live_handle.store(handle, std::memory_order_release);
    }
    t.sessions.emplace(handle, s);
    t.free_slots.pop_back();
    return handle;
}

session_t* find_session(ViSession vi) {
    if (vi == 0) return nullptr;
    last_found_t& last = last_found;
    if (last.handle == vi && last.slot->live_handle.load(std::memory_order_acquire) == vi) return last.slot;
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    auto it = t.sessions.find(vi);
    if (it == t.sessions.end()) return nullptr;
    last = {vi, it->second};
    return it->second;
}

void remove_session(session_t* s, ViSession vi) {
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    auto it = t.sessions.find(vi);
    if (it == t.sessions.end() || it->second != s) return;
    t.sessions.erase(it);
    {
        std::lock_guard<std::mutex> lk(s->data);
        s->handle = 0;
        s->live_handle.store(0, std::memory_order_release);
        s->resource_descriptor.clear();
        s->attribute_flags.clear();
    }
    s->lock_cv.notify_all();
    t.free_slots.push_back(s);
}

ViStatus acquire_lock(session_t* s, ViSession vi) {
    std::unique_lock<std::mutex> lk(s->data);
    if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
    const std::thread::id me = std::this_thread::get_id();
    if (s->depth > 0 && s->owner == me) {
        ++s->depth;
        return VI_SUCCESS;
    }
    ViStatus status = wait_until_free(s, vi, lk);
    if (status != VI_SUCCESS) return status;
    s->owner = me;
    s->depth = 1;
    return VI_SUCCESS;
}

ViStatus release_lock(session_t* s, ViSession vi) {
    std::lock_guard<std::mutex> lk(s->data);
    if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
    if (s->depth == 0 || s->owner != std::this_thread::get_id()) return IVI_ERROR_NOT_LOCKED_BY_CALLER;
    if (--s->depth == 0) {
        s->owner = std::thread::id();
        // Waiters include lockers and disposers; wake all, one will win.
        s->lock_cv.notify_all();
    }
    return VI_SUCCESS;
}

ViStatus mark_disposed(session_t* s, ViSession vi, ViSession& rm_session) {
    {
        std::unique_lock<std::mutex> lk(s->data);
        if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
        if (!(s->depth > 0 && s->owner == std::this_thread::get_id())) {
            ViStatus status = wait_until_free(s, vi, lk);
            if (status != VI_SUCCESS) return status;
        }
        s->disposed = true;
        s->depth = 0;
        s->owner = std::thread::id();
        rm_session = s->rm_session;
        s->rm_session = 0;
        s->io_session = 0;
    }
    s->lock_cv.notify_all();
    return VI_SUCCESS;
}

}  // namespace zor_engine
