#include "frame/driver_setup.h"

#include <atomic>
#include <cctype>
#include <mutex>
#include <unordered_map>

#include "frame/engine_binding.h"
#include "frame/session.h"

namespace qvdriver {

namespace {

bool same_word(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

std::mutex setups_mutex;
std::unordered_map<std::uint32_t, driver_setup_t> setups;
// Open sessions that check the instrument's status after each call.
std::atomic<int> status_checking_sessions{0};

}  // namespace

bool parse_driver_setup(std::string_view text, driver_setup_t& setup, std::string& bad) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(",;");
        const std::string_view item = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (item.empty()) continue;
        const std::size_t colon = item.find(':');
        // A misspelt item left alone would leave its setting at the default
        // without a word.
        if (colon == std::string_view::npos || !same_word(trimmed(item.substr(0, colon)), "DataFormat")) {
            bad = std::string(item);
            return false;
        }
        const std::string_view value = trimmed(item.substr(colon + 1));
        if (same_word(value, "ASCII")) {
            setup.data_format = data_format_t::ascii;
        } else if (same_word(value, "REAL64")) {
            setup.data_format = data_format_t::real64;
        } else {
            bad = std::string(item);
            return false;
        }
    }
    return true;
}

void remember_setup(std::uint32_t vi, const driver_setup_t& setup) {
    const std::lock_guard<std::mutex> lock(setups_mutex);
    driver_setup_t& kept = setups[vi];
    status_checking_sessions += int{setup.check_status_after_calls} - int{kept.check_status_after_calls};
    kept = setup;
}

void forget_setup(std::uint32_t vi) {
    const std::lock_guard<std::mutex> lock(setups_mutex);
    const auto found = setups.find(vi);
    if (found == setups.end()) return;
    if (found->second.check_status_after_calls) --status_checking_sessions;
    setups.erase(found);
}

bool checks_status_after_calls(std::uint32_t vi) {
    if (status_checking_sessions.load(std::memory_order_relaxed) == 0) return false;
    const std::lock_guard<std::mutex> lock(setups_mutex);
    const auto found = setups.find(vi);
    return found != setups.end() && found->second.check_status_after_calls;
}

data_format_t data_format_of(std::uint32_t vi) {
    const std::lock_guard<std::mutex> lock(setups_mutex);
    const auto found = setups.find(vi);
    return found == setups.end() ? data_format_t::ascii : found->second.data_format;
}

status_t apply_data_format(session_scope_t& scope) {
    if (data_format_of(scope.vi) != data_format_t::real64) return 0;
    // Little-endian on the wire: what every host this driver runs on stores,
    // so a block's bytes are the values as they are.
    status_t status = 0;
    if (scope.api.set(status, ":FORMat:DATA REAL,64") < 0) return status;
    if (scope.api.set(status, ":FORMat:BORDer SWAPped") < 0) return status;
    // An analyzer that ignored either would send data this session misreads.
    std::string format;
    std::string order;
    if (scope.api.text_query(status, ":FORMat:DATA?", format) < 0) return status;
    if (scope.api.text_query(status, ":FORMat:BORDer?", order) < 0) return status;
    if (!same_word(format, "REAL,64") || !same_word(order.substr(0, 4), "SWAP")) {
        engine::set_error_info(scope.vi, false, zor_error_instrument_status, 0,
                               ("DataFormat:REAL64: the instrument answers FORMat:DATA " + format + ", FORMat:BORDer " +
                                order)
                                   .c_str());
        return zor_error_instrument_status;
    }
    return 0;
}

}  // namespace qvdriver
