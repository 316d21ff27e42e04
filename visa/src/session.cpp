#include "session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <unordered_map>

namespace zorvisa {
namespace {

struct table_t {
    std::mutex mutex;
    std::unordered_map<ViSession, session_ptr> map;
    ViSession next = 0x1000;
    std::vector<std::string> resources;
};

// Never destroyed: sessions may still be closed from static destructors of
// the host program.
table_t& table() {
    static table_t* t = new table_t;
    return *t;
}

struct resource_lock_t {
    ViSession exclusive = 0;
    std::string key;                       // of the shared lock
    std::map<ViSession, unsigned> sharing;  // holders of the shared lock
};

struct lock_table_t {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, resource_lock_t> by_resource;
};

lock_table_t& locks() {
    static lock_table_t* t = new lock_table_t;
    return *t;
}

bool grantable(const resource_lock_t& r, ViSession who, bool exclusive, const std::string& key) {
    if (r.exclusive != 0 && r.exclusive != who) return false;
    for (const auto& h : r.sharing) {
        if (h.first == who) continue;
        if (exclusive || r.key != key) return false;
    }
    return true;
}

}  // namespace

ViStatus lock_locally(session_t& s, bool exclusive, const std::string& key, ViUInt32 timeout_ms, bool* first) {
    lock_table_t& t = locks();
    std::unique_lock<std::mutex> lock(t.mutex);
    resource_lock_t& r = t.by_resource[s.rsrc_name];
    const auto ready = [&] { return grantable(r, s.handle, exclusive, key); };
    if (timeout_ms == static_cast<ViUInt32>(VI_TMO_INFINITE)) {
        t.changed.wait(lock, ready);
    } else if (!t.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
        return VI_ERROR_TMO;
    }
    *first = s.exclusive_locks + s.shared_locks == 0;
    if (exclusive) {
        r.exclusive = s.handle;
        return ++s.exclusive_locks > 1 ? VI_SUCCESS_NESTED_EXCLUSIVE : VI_SUCCESS;
    }
    r.key = key;
    ++r.sharing[s.handle];
    return ++s.shared_locks > 1 ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS;
}

ViStatus unlock_locally(session_t& s, bool* last) {
    lock_table_t& t = locks();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (s.exclusive_locks + s.shared_locks == 0) return VI_ERROR_SESN_NLOCKED;
    resource_lock_t& r = t.by_resource[s.rsrc_name];
    // The last lock taken goes first; an exclusive lock is the later one
    // when both are held, as a shared holder may upgrade but not the reverse.
    if (s.exclusive_locks > 0) {
        if (--s.exclusive_locks == 0) r.exclusive = 0;
    } else {
        --s.shared_locks;
        if (--r.sharing[s.handle] == 0) r.sharing.erase(s.handle);
    }
    *last = s.exclusive_locks + s.shared_locks == 0;
    t.changed.notify_all();
    return VI_SUCCESS;
}

void drop_local_locks(session_t& s) {
    bool last = false;
    while (unlock_locally(s, &last) == VI_SUCCESS && !last) {
    }
}

bool locked_out(const session_t& s) {
    lock_table_t& t = locks();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.by_resource.find(s.rsrc_name);
    if (it == t.by_resource.end()) return false;
    const resource_lock_t& r = it->second;
    if (r.exclusive != 0) return r.exclusive != s.handle;
    return !r.sharing.empty() && r.sharing.count(s.handle) == 0;
}

std::string shared_key_of(const session_t& s) {
    lock_table_t& t = locks();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.by_resource.find(s.rsrc_name);
    return it == t.by_resource.end() || it->second.sharing.empty() ? std::string() : it->second.key;
}

ViStatus register_session(const session_ptr& s) {
    table_t& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (s->kind != session_t::kind_t::rm) {
        const auto parent = t.map.find(s->rm);
        if (parent == t.map.end() || parent->second->kind != session_t::kind_t::rm) return VI_ERROR_INV_OBJECT;
    }
    ViSession h = t.next;
    while (h == 0 || t.map.count(h) != 0) ++h;  // wraps after 4 billion handles
    t.next = h + 1;
    s->handle = h;
    if (s->kind == session_t::kind_t::rm) s->rm = h;
    t.map.emplace(h, s);
    return VI_SUCCESS;
}

session_ptr find_session(ViSession handle) {
    table_t& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.map.find(handle);
    return it == t.map.end() ? nullptr : it->second;
}

std::vector<session_ptr> remove_session(ViSession handle) {
    table_t& t = table();
    std::vector<session_ptr> removed;
    std::lock_guard<std::mutex> lock(t.mutex);
    const auto it = t.map.find(handle);
    if (it == t.map.end()) return removed;
    removed.push_back(it->second);
    const bool is_rm = it->second->kind == session_t::kind_t::rm;
    t.map.erase(it);
    if (is_rm) {
        for (auto c = t.map.begin(); c != t.map.end();) {
            if (c->second->rm == handle) {
                removed.push_back(c->second);
                c = t.map.erase(c);
            } else {
                ++c;
            }
        }
    }
    return removed;
}

void remember_resource(const std::string& canonical) {
    table_t& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (std::find(t.resources.begin(), t.resources.end(), canonical) == t.resources.end()) t.resources.push_back(canonical);
}

std::vector<std::string> remembered_resources() {
    table_t& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.resources;
}

}  // namespace zorvisa
