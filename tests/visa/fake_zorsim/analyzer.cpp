// A minimal stand-in for the simulated analyzer, used only to exercise the
// VISA library when the real simulator is not built: scripts, the wire log,
// the identity and "*IDN?". Everything else is accepted silently.
#include <simulator/analyzer/analyzer.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace zorsim {

const char* const default_identity = "Fake,Analyzer,0,1.0";

namespace {
std::string folded(std::string s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    const auto last = s.find_last_not_of(" \t\r\n");
    s = first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

struct analyzer_t::impl_t {
    mutable std::mutex mutex;
    std::vector<std::string> log;
    std::vector<script_t> scripts;
    std::string idn = default_identity;
};

analyzer_t::analyzer_t() : impl_(new impl_t) {}
analyzer_t::~analyzer_t() = default;

response_t analyzer_t::receive(const std::string& message) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->log.push_back(message);
    response_t r;
    for (auto it = impl_->scripts.begin(); it != impl_->scripts.end(); ++it) {
        if (folded(it->message) != folded(message)) continue;
        r.write_status = it->write_status;
        r.read_status = it->read_status;
        if (it->reply) {
            r.has_reply = true;
            r.reply = *it->reply;
            if (r.reply.empty() || r.reply.back() != '\n') r.reply += '\n';
        }
        if (it->times > 0 && --it->times == 0) impl_->scripts.erase(it);
        return r;
    }
    if (folded(message) == "*idn?") {
        r.has_reply = true;
        r.reply = impl_->idn + "\n";
    }
    return r;
}

std::vector<std::string> analyzer_t::wire_log() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->log;
}
void analyzer_t::clear_wire_log() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->log.clear();
}
void analyzer_t::set_identity(const std::string& idn_reply) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->idn = idn_reply;
}
std::string analyzer_t::identity() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->idn;
}
void analyzer_t::add_script(const script_t& script) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->scripts.push_back(script);
}
void analyzer_t::clear_scripts() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->scripts.clear();
}
void analyzer_t::factory_reset() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->log.clear();
    impl_->scripts.clear();
    impl_->idn = default_identity;
}

std::shared_ptr<analyzer_t> named_analyzer(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<analyzer_t>> analyzers;
    std::lock_guard<std::mutex> lock(mutex);
    auto& a = analyzers[folded(name)];
    if (!a) a = std::make_shared<analyzer_t>();
    return a;
}

}  // namespace zorsim
