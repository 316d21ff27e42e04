#include "analyzer.h"

#include <simulator/commands/commands.h>
#include <simulator/instrument/display_source.h>
#include <simulator/instrument/instrument.h>
#include <simulator/instrument/sweep.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

namespace zorsim {

namespace {

std::string trimmed_lower(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && scpi::is_white_space(s[b])) ++b;
    while (e > b && scpi::is_white_space(s[e - 1])) --e;
    std::string out = s.substr(b, e - b);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

struct analyzer_t::impl_t {
    const command_set_t& commands;
    mutable std::mutex mutex;
    instrument_t instrument;
    std::deque<std::string> wire_log;
    struct script_entry_t {
        script_t script;
        std::string key;  // trimmed, lower case
    };
    std::deque<script_entry_t> scripts;
    instrument_lock_t lock;
    std::mutex listeners_mutex;  // taken after `mutex`, never before
    std::map<std::uint64_t, service_request_t> listeners;
    std::uint64_t next_listener = 1;
    bool summary = false;  // the status byte's summary bit after the last message
    std::atomic<std::uint64_t> changes{0};

    explicit impl_t(const command_set_t& set) : commands(set), instrument(set.table) {
        instrument.after_sweep = set.after_sweep;
    }

    void log(const std::string& message) {
        if (wire_log.size() >= wire_log_capacity) wire_log.pop_front();
        wire_log.push_back(message);
    }

    // The script that answers this message instead of the instrument, used up
    // once more; none when no script matches.
    std::optional<response_t> scripted(const std::string& message) {
        if (scripts.empty()) return std::nullopt;
        const std::string key = trimmed_lower(message);
        for (auto it = scripts.begin(); it != scripts.end(); ++it) {
            if (it->key != key) continue;
            const script_t& s = it->script;
            response_t r;
            r.write_status = s.write_status;
            r.read_status = s.read_status;
            if (s.reply) {
                r.has_reply = true;
                r.reply = *s.reply;
                if (r.reply.empty() || r.reply.back() != '\n') r.reply += '\n';
            }
            if (it->script.times > 0 && --it->script.times == 0) scripts.erase(it);
            return r;
        }
        return std::nullopt;
    }

    response_t execute(const std::string& message) {
        update_sweep_status(instrument);
        scpi::result_t result = scpi::execute(commands.table, instrument, message);
        changes.fetch_add(1, std::memory_order_relaxed);
        response_t r;
        if (result.has_reply) {
            r.has_reply = true;
            r.reply = std::move(result.reply);
            r.reply += '\n';
        }
        return r;
    }

    // The listeners to call, with the status byte, when the summary bit
    // rose with this message.
    std::vector<service_request_t> service_requests(std::uint8_t& stb) {
        stb = instrument.status_byte();
        const bool now = (stb & stb_master_summary) != 0;
        const bool rose = now && !summary;
        summary = now;
        std::vector<service_request_t> out;
        if (!rose) return out;
        std::lock_guard<std::mutex> guard(listeners_mutex);
        for (const auto& l : listeners) out.push_back(l.second);
        return out;
    }
};

analyzer_t::analyzer_t() : impl_(std::make_unique<impl_t>(analyzer_commands())) {}
analyzer_t::~analyzer_t() = default;

response_t analyzer_t::receive(const std::string& message) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->log(message);
    if (auto scripted = impl_->scripted(message)) return *scripted;
    response_t r = impl_->execute(message);
    std::uint8_t stb = 0;
    const std::vector<service_request_t> listeners = impl_->service_requests(stb);
    if (!listeners.empty()) {
        lock.unlock();  // listeners may call back into the analyzer
        for (const auto& l : listeners) l(stb);
    }
    return r;
}

std::uint8_t analyzer_t::status_byte() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->instrument.status_byte();
}

std::uint64_t analyzer_t::add_service_request_listener(service_request_t listener) {
    std::lock_guard<std::mutex> guard(impl_->listeners_mutex);
    const std::uint64_t id = impl_->next_listener++;
    impl_->listeners.emplace(id, std::move(listener));
    return id;
}

void analyzer_t::remove_service_request_listener(std::uint64_t id) {
    std::lock_guard<std::mutex> guard(impl_->listeners_mutex);
    impl_->listeners.erase(id);
}

instrument_lock_t& analyzer_t::lock() { return impl_->lock; }

// ---------------------------------------------------------------- instrument_lock_t

std::uint64_t instrument_lock_t::new_owner() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

bool instrument_lock_t::grantable(std::uint64_t owner, const std::string& key) const {
    for (const auto& h : holders_) {
        if (h.first == owner) continue;
        if (key.empty() || h.second.empty() || h.second != key) return false;
    }
    return true;
}

bool instrument_lock_t::acquire(std::uint64_t owner, const std::string& shared_key, std::uint32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return grantable(owner, shared_key); }))
        return false;
    holders_[owner] = shared_key;
    return true;
}

bool instrument_lock_t::release(std::uint64_t owner, bool* shared) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = holders_.find(owner);
    if (it == holders_.end()) return false;
    if (shared != nullptr) *shared = !it->second.empty();
    holders_.erase(it);
    changed_.notify_all();
    return true;
}

bool instrument_lock_t::locked_against(std::uint64_t owner) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (holders_.empty() || holders_.count(owner) != 0) return false;
    return true;
}

bool instrument_lock_t::wait_until_free(std::uint64_t owner, std::uint32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return holders_.empty() || holders_.count(owner) != 0; });
}

bool instrument_lock_t::exclusive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& h : holders_)
        if (h.second.empty()) return true;
    return false;
}

std::size_t instrument_lock_t::holders() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return holders_.size();
}

display::display_state_t analyzer_t::display_state() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return zorsim::display_state(impl_->instrument);
}

std::uint64_t analyzer_t::change_count() const { return impl_->changes.load(std::memory_order_relaxed); }

void analyzer_t::report_error(int code, const std::string& message) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->changes.fetch_add(1, std::memory_order_relaxed);
    impl_->instrument.report_error(code, message.empty() ? scpi::error_message(code) : message);
}

std::vector<std::string> analyzer_t::wire_log() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return {impl_->wire_log.begin(), impl_->wire_log.end()};
}

void analyzer_t::clear_wire_log() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->wire_log.clear();
}

void analyzer_t::set_identity(const std::string& idn_reply) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->instrument.identity = idn_reply;
}

std::string analyzer_t::identity() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->instrument.identity;
}

void analyzer_t::add_script(const script_t& script) {
    if (script.times == 0) return;
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->scripts.push_back(impl_t::script_entry_t{script, trimmed_lower(script.message)});
}

void analyzer_t::clear_scripts() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->scripts.clear();
}

void analyzer_t::factory_reset() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->instrument.power_on();
    impl_->changes.fetch_add(1, std::memory_order_relaxed);
    impl_->scripts.clear();
    impl_->wire_log.clear();
}

std::shared_ptr<analyzer_t> named_analyzer(const std::string& name) {
    // Leaked on purpose: analyzers must outlive every static that holds one.
    static std::mutex* mutex = new std::mutex;
    static auto* analyzers = new std::map<std::string, std::shared_ptr<analyzer_t>>;
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::lock_guard<std::mutex> lock(*mutex);
    auto& slot = (*analyzers)[key];
    if (!slot) slot = std::make_shared<analyzer_t>();
    return slot;
}

}  // namespace zorsim
