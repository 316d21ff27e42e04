#include "sessions.h"

#include <cstdlib>

#include "engine_status.h"
#include "support/platform.h"

namespace zor_engine {
namespace {

struct session_table_t {
    std::mutex mutex;
    std::map<ViSession, session_ptr> sessions;
    ViSession next_handle = 1;
};

session_table_t& table() {
    // Never destroyed: a thread still inside an export during process exit
    // must not meet a destroyed table.
    static session_table_t* t = new session_table_t;
    return *t;
}

// Waits until nobody else holds the lock. Called with data held through lk.
ViStatus wait_until_free(const session_ptr& s, std::unique_lock<std::mutex>& lk) {
    // The usual case, a free session, needs no deadline and so no clock.
    if (s->disposed) return VI_ERROR_INV_SESSION;
    if (s->depth == 0) return VI_SUCCESS;
    bool free = s->lock_cv.wait_for(lk, lock_timeout(), [&] { return s->disposed || s->depth == 0; });
    if (s->disposed) return VI_ERROR_INV_SESSION;
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

session_ptr add_session(const session_options_t& options, ViSession rm_session) {
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    // A counter keeps handles from being reused soon after disposal; after a
    // wrap-around, skip 0 and live handles.
    while (t.next_handle == 0 || t.sessions.count(t.next_handle) != 0) ++t.next_handle;
    auto s = std::make_shared<session_t>(t.next_handle++);
    s->options = options;
    s->rm_session = rm_session;
    t.sessions.emplace(s->handle, s);
    return s;
}

session_ptr find_session(ViSession vi) {
    if (vi == 0) return nullptr;
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    auto it = t.sessions.find(vi);
    return it == t.sessions.end() ? nullptr : it->second;
}

void remove_session(const session_ptr& session) {
    session_table_t& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    auto it = t.sessions.find(session->handle);
    if (it != t.sessions.end() && it->second == session) t.sessions.erase(it);
}

ViStatus acquire_lock(const session_ptr& s) {
    std::unique_lock<std::mutex> lk(s->data);
    if (s->disposed) return VI_ERROR_INV_SESSION;
    const std::thread::id me = std::this_thread::get_id();
    if (s->depth > 0 && s->owner == me) {
        ++s->depth;
        return VI_SUCCESS;
    }
    ViStatus status = wait_until_free(s, lk);
    if (status != VI_SUCCESS) return status;
    s->owner = me;
    s->depth = 1;
    return VI_SUCCESS;
}

ViStatus release_lock(const session_ptr& s) {
    std::lock_guard<std::mutex> lk(s->data);
    if (s->disposed) return VI_ERROR_INV_SESSION;
    if (s->depth == 0 || s->owner != std::this_thread::get_id()) return IVI_ERROR_NOT_LOCKED_BY_CALLER;
    if (--s->depth == 0) {
        s->owner = std::thread::id();
        // Waiters include lockers and disposers; wake all, one will win.
        s->lock_cv.notify_all();
    }
    return VI_SUCCESS;
}

ViStatus mark_disposed(const session_ptr& s, ViSession& rm_session) {
    {
        std::unique_lock<std::mutex> lk(s->data);
        if (s->disposed) return VI_ERROR_INV_SESSION;
        if (!(s->depth > 0 && s->owner == std::this_thread::get_id())) {
            ViStatus status = wait_until_free(s, lk);
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
