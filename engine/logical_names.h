// Logical names: a small INI-like file naming instrument configurations
// (format described in README.md beside this file).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zor_engine {

struct logical_name_t {
    std::string resource;
    std::string options;
};

// The first section of the file at path whose name equals name (ignoring
// case) and that sets a non-empty resource. Nothing when the file cannot be
// read or does not define the name.
std::optional<logical_name_t> find_logical_name(const std::string& path, std::string_view name);

}  // namespace zor_engine
