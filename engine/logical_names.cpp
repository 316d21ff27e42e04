#include "logical_names.h"

#include <fstream>

#include "text_util.h"

namespace zor_engine {

std::optional<logical_name_t> find_logical_name(const std::string& path, std::string_view name) {
    name = trim(name);
    if (path.empty() || name.empty()) return std::nullopt;
    std::ifstream file(path);
    if (!file) return std::nullopt;

    bool in_section = false;
    logical_name_t entry;
    std::string line;
    // A configuration file is a few lines; a bound keeps a wrong path (a
    // device, a huge file) from stalling session creation.
    constexpr std::size_t max_lines = 100000;
    for (std::size_t n = 0; n < max_lines && std::getline(file, line); ++n) {
        std::string_view text = trim(line);
        if (text.empty() || text.front() == '#' || text.front() == ';') continue;
        if (text.front() == '[') {
            if (in_section && !entry.resource.empty()) return entry;
            std::size_t close = text.find(']');
            in_section = close != std::string_view::npos && iequals(trim(text.substr(1, close - 1)), name);
            entry = logical_name_t{};
            continue;
        }
        if (!in_section) continue;
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;  // not a key line: ignored
        std::string_view key = trim(text.substr(0, eq));
        std::string_view value = trim(text.substr(eq + 1));
        if (iequals(key, "resource"))
            entry.resource = std::string(value);
        else if (iequals(key, "options"))
            entry.options = std::string(value);
    }
    if (in_section && !entry.resource.empty()) return entry;
    return std::nullopt;
}

}  // namespace zor_engine
