#include "session.h"

#include <algorithm>
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

}  // namespace

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
