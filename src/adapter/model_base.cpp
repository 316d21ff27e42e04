#include "adapter/model_base.h"

#include <algorithm>

#include "frame/export_guard.h"
#include "frame/session.h"
#include "support/logger.h"
#include "support/qvutil.h"

namespace zor_adapter {

using qvdriver::console_printf;
using qvdriver::util::string_format;
namespace rep_cap_names = qvdriver::rep_cap_names;

namespace {

const char* const string_type = value_type_name<std::string>::text;

constexpr const char* marker_error =
    "%sParse RepCapIdentifier error -> invalid rep_cap_name = '%s' {%s}\n";

}  // namespace

model_t::model_t(const char* type_name, qvdriver::session_scope_t* scope) : value_type_name(type_name), session(scope) {}

model_t::~model_t() = default;

status_t model_t::not_supported(const char* operation, const char* argument) const {
    console_printf("[ERROR] func: '%s' is NOT SUPPORTED\n",
                   (ZOR_LOG_SIGNATURE("class qvdriver::status_t __cdecl ", "qvdriver::status_t ") +
                    ("zor_adapter::model_base_t<" + value_type_name + ">::" + operation + "(" + argument + ")"))
                       .c_str());
    return qvdriver::zor_error_not_supported;
}

status_t model_t::setter(const ulong_t&) { return not_supported("setter", "const unsigned long &"); }
status_t model_t::setter(const bool&) { return not_supported("setter", "const bool &"); }
status_t model_t::setter(const double&) { return not_supported("setter", "const double &"); }
status_t model_t::setter(const int64_t&) { return not_supported("setter", "const __int64 &"); }
status_t model_t::setter(const long_t&) { return not_supported("setter", "const long &"); }
status_t model_t::setter(const std::string&) {
    return not_supported("setter", ("const " + std::string(string_type) + " &").c_str());
}
status_t model_t::getter(ulong_t&) { return not_supported("getter", "unsigned long &"); }
status_t model_t::getter(bool&) { return not_supported("getter", "bool &"); }
status_t model_t::getter(double&) { return not_supported("getter", "double &"); }
status_t model_t::getter(int64_t&) { return not_supported("getter", "__int64 &"); }
status_t model_t::getter(long_t&) { return not_supported("getter", "long &"); }
status_t model_t::getter(std::string&) { return not_supported("getter", (std::string(string_type) + " &").c_str()); }

namespace {

// One formatted integer query; false when it fails.
bool query_number(qvdriver::session_scope_t* session, const std::string& command, std::int32_t& value) {
    if (session == nullptr) return false;
    status_t status = 0;
    return session->api.number_query(status, command, value) >= 0;
}

// The instrument's active selection. A guessed number would act on the
// wrong trace, channel or window silently, so a failed query ends the call
// with its status (see export_guard.h).
std::int32_t active_index(qvdriver::session_scope_t* session, const char* command) {
    if (session == nullptr) throw qvdriver::call_failed_t{qvdriver::zor_error_rep_cap_not_found};
    status_t status = 0;
    std::int32_t index = 0;
    if (session->api.number_query(status, command, index) < 0) throw qvdriver::call_failed_t{status};
    return index;
}

// Numbers between commas, blanks aside; an empty list is one too.
bool integer_list(const std::string& reply) {
    bool digit_seen = false;
    for (char c : reply) {
        if (c == ' ' || c == '\t') continue;
        if (c >= '0' && c <= '9') {
            digit_seen = true;
        } else if (c == ',' && digit_seen) {
            digit_seen = false;
        } else {
            return false;
        }
    }
    return digit_seen || reply.find(',') == std::string::npos;
}

// A list query of the channel search. One that fails, or answers with
// something that is no list, ends the call with a status, as the
// active-selection queries do: falling back on the active channel would
// address another channel than the trace's.
bool query_list(qvdriver::session_scope_t* session, const std::string& command, std::vector<std::int32_t>& list) {
    if (session == nullptr) return false;
    status_t status = 0;
    std::string reply;
    if (session->api.text_query(status, command, reply) < 0) throw qvdriver::call_failed_t{status};
    if (!integer_list(reply)) throw qvdriver::call_failed_t{qvdriver::zor_error_value_count};
    list = qvdriver::util::parse_int_list(reply);
    return true;
}

}  // namespace

bool model_t::channel_of_trace(std::int32_t trace, std::int32_t& channel) {
    std::vector<std::int32_t> channels;
    if (!query_list(session, ":DISPlay:CHANnel:LIST?", channels)) return false;
    for (std::int32_t candidate : channels) {
        std::vector<std::int32_t> traces;
        if (!query_list(session, string_format(":DISPlay:CHANnel%d:TRACe:LIST?", candidate), traces)) return false;
        if (std::find(traces.begin(), traces.end(), trace) != traces.end()) {
            channel = candidate;
            return true;
        }
    }
    return false;
}

std::int32_t model_t::port_index() {
    std::int32_t index = 0;
    if (rep_cap.find_index(rep_cap_names::port, index) == 0) return index;
    console_printf(marker_error, qvdriver::logger::console_tag(qvdriver::log_error), rep_cap_names::port,
                   rep_cap.to_string().c_str());
    return 1;
}

std::int32_t model_t::trace_index() {
    std::int32_t index = 0;
    if (rep_cap.find_index(rep_cap_names::trace, index) == 0) return index;
    return active_index(session, ":DISPlay:TRACe:SELect?");
}

std::int32_t model_t::window_index() {
    std::int32_t index = 0;
    if (rep_cap.find_index(rep_cap_names::window, index) == 0) return index;
    return active_index(session, ":DISPlay:WINDow:SELect?");
}

std::int32_t model_t::channel_index() {
    std::int32_t index = 0;
    if (rep_cap.find_index(rep_cap_names::channel, index) == 0) return index;
    std::int32_t trace = 0;
    if (rep_cap.find_index(rep_cap_names::trace, trace) == 0 && channel_of_trace(trace, index)) return index;
    return active_index(session, ":DISPlay:CHANnel:SELect?");
}

std::int32_t model_t::marker_index() {
    std::int32_t index = 0;
    if (rep_cap.find_index(rep_cap_names::marker, index) == 0) return index;
    std::int32_t trace = 0;
    std::int32_t channel = 0;
    if (rep_cap.find_index(rep_cap_names::trace, trace) == 0 && channel_of_trace(trace, channel) &&
        query_number(session, string_format(":CALCulate%d:TRACe%d:MARKer:ACTivate?", channel, trace), index))
        return index;
    console_printf(marker_error, qvdriver::logger::console_tag(qvdriver::log_error), rep_cap_names::marker,
                   rep_cap.to_string().c_str());
    return 1;
}

}  // namespace zor_adapter
