// Small text helpers shared by the engine's sources.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "zor_visatype.h"

namespace zor_engine {

inline bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

inline std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

inline bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Copies at most size - 1 characters and a NUL; true when the whole text fit.
inline bool copy_cut(std::string_view text, ViChar* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return text.empty() && size > 0;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n > 0) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n == text.size();
}

inline std::string_view from_c(const char* text) { return text == nullptr ? std::string_view() : std::string_view(text); }

}  // namespace zor_engine
