// The session option string: comma-separated Name=Value pairs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zor_engine {

struct session_options_t {
    bool range_check = true;
    bool query_instr_status = false;
    bool cache = true;
    bool simulate = false;
    bool record_coercions = false;
    bool interchange_check = false;
    std::string driver_setup;
};

// Splits into trimmed, non-empty items; a DriverSetup item swallows the rest
// of the text, commas included, because its value is free-form.
std::vector<std::string> split_option_items(std::string_view text);

// Applies the items of text to options in order (later names win). False for
// an unknown name, a missing '=' or a value that is not a boolean; options is
// then left partly updated, so callers parse into a copy.
// `bad_item`, when given, receives the first item not understood.
bool parse_option_string(std::string_view text, session_options_t& options, std::string* bad_item = nullptr);

// The configured options of a logical name followed by the caller's, so the
// caller's names win; a DriverSetup item is kept last (the caller's when it
// has one) since it would otherwise swallow everything after it.
std::string merge_option_strings(std::string_view configured, std::string_view caller);

}  // namespace zor_engine
