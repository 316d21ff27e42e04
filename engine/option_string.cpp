#include "option_string.h"

#include "text_util.h"

namespace zor_engine {
namespace {

constexpr std::string_view driver_setup_name = "DriverSetup";

// Name part of an item, before any '='.
std::string_view item_name(std::string_view item) {
    std::size_t eq = item.find('=');
    return trim(item.substr(0, eq));
}

bool parse_bool(std::string_view value, bool& out) {
    if (value == "1" || iequals(value, "true") || iequals(value, "VI_TRUE")) {
        out = true;
        return true;
    }
    if (value == "0" || iequals(value, "false") || iequals(value, "VI_FALSE")) {
        out = false;
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> split_option_items(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        std::string_view item = trim(text.substr(0, comma));
        if (iequals(item_name(item), driver_setup_name) && item.find('=') != std::string_view::npos) {
            items.emplace_back(trim(text));
            break;
        }
        if (!item.empty()) items.emplace_back(item);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

bool parse_option_string(std::string_view text, session_options_t& options, std::string* bad_item) {
    for (const std::string& item : split_option_items(text)) {
        if (bad_item) *bad_item = item;
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) return false;
        std::string_view name = trim(std::string_view(item).substr(0, eq));
        std::string_view value = trim(std::string_view(item).substr(eq + 1));
        if (iequals(name, driver_setup_name)) {
            options.driver_setup = std::string(value);
            continue;
        }
        bool flag = false;
        if (!parse_bool(value, flag)) return false;
        if (iequals(name, "Simulate"))
            options.simulate = flag;
        else if (iequals(name, "QueryInstrStatus"))
            options.query_instr_status = flag;
        else if (iequals(name, "RangeCheck"))
            options.range_check = flag;
        else if (iequals(name, "Cache"))
            options.cache = flag;
        else if (iequals(name, "RecordCoercions"))
            options.record_coercions = flag;
        else if (iequals(name, "InterchangeCheck"))
            options.interchange_check = flag;
        else
            return false;
    }
    if (bad_item) bad_item->clear();
    return true;
}

std::string merge_option_strings(std::string_view configured, std::string_view caller) {
    std::vector<std::string> items = split_option_items(configured);
    std::vector<std::string> later = split_option_items(caller);
    items.insert(items.end(), later.begin(), later.end());

    std::string merged;
    std::string setup;
    for (const std::string& item : items) {
        if (iequals(item_name(item), driver_setup_name) && item.find('=') != std::string::npos) {
            setup = item;  // the last one wins, like every other name
            continue;
        }
        if (!merged.empty()) merged += ", ";
        merged += item;
    }
    if (!setup.empty()) {
        if (!merged.empty()) merged += ", ";
        merged += setup;
    }
    return merged;
}

}  // namespace zor_engine
