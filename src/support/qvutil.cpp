#include "support/qvutil.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

#include "support/logger.h"
#include "support/platform.h"
#include "support/status.h"

namespace qvdriver::util {

const char* const white_space = " \f\n\r\t\v";

std::string string_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list count_args;
    va_copy(count_args, args);
    const int length = platform::format_c_locale(nullptr, 0, format, count_args);
    va_end(count_args);
    std::string result;
    if (length > 0) {
        char* buffer = new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
        if (buffer != nullptr) {
            platform::format_c_locale(buffer, static_cast<std::size_t>(length) + 1, format, args);
            result.assign(buffer, static_cast<std::size_t>(length));
            delete[] buffer;
        }
    }
    va_end(args);
    return result;
}

namespace {

void conversion_failure(const char* function, const char* what, const std::string& text) {
    console_printf("%s[%s] catch => %s (%s)\n", logger::console_tag(log_error), function, what, text.c_str());
}

}  // namespace

std::int32_t stoi(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin) {
        conversion_failure("qvdriver::util::stoi", "Invalid_argument", text);
        return 0;
    }
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
        conversion_failure("qvdriver::util::stoi", "Out of range", text);
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

double stod(const std::string& text, double fallback) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = platform::parse_double_c_locale(begin, &end);
    if (end == begin) {
        conversion_failure("qvdriver::util::stod", "Invalid_argument", text);
        return fallback;
    }
    // Tiny numbers that underflow towards zero are kept; only overflow fails.
    if (errno == ERANGE && std::isinf(value)) {
        conversion_failure("qvdriver::util::stod", "Out of range", text);
        return fallback;
    }
    return value;
}

std::vector<std::string> split_reply(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            pieces.emplace_back(text, start);
            break;
        }
        pieces.emplace_back(text, start, comma - start);
        start = comma + 1;
    }
    return pieces;
}

namespace {

std::string without_spaces(const std::string& text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ') compact.push_back(c);
    return compact;
}

}  // namespace

std::vector<double> parse_real_list(const std::string& text) {
    std::vector<double> values;
    for (const auto& piece : split_reply(without_spaces(text))) values.push_back(util::stod(piece, 0.0));
    return values;
}

std::vector<std::int32_t> parse_int_list(const std::string& text) {
    std::vector<std::int32_t> values;
    for (const auto& piece : split_reply(without_spaces(text))) values.push_back(util::stoi(piece));
    return values;
}

void trim(std::string& text, const std::string& characters) {
    const std::size_t last = text.find_last_not_of(characters);
    if (last == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(characters));
}

std::int32_t copy_to_buffer(char* out, std::int32_t out_size, const std::string& text) {
    if (out == nullptr) return zor_error_null_pointer;
    if (out_size < 1) return zor_error_buffer_size;
    const std::size_t size = static_cast<std::size_t>(out_size);
    std::memset(out, 0, size);
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    return text.size() >= size ? zor_error_text_cut : 0;
}

std::string format_complex_list(const std::vector<complex_pair_t>& pairs) {
    std::string text;
    text.reserve(pairs.size() * 40);
    char buffer[128];
    for (const auto& [re, im] : pairs) {
        const std::string piece = string_format("%.12e,%.12e,", re, im);
        std::snprintf(buffer, sizeof buffer, "%s", piece.c_str());
        text += buffer;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

void parse_complex_list(const std::string& text, std::vector<complex_pair_t>& pairs) {
    pairs.clear();
    const auto pieces = split_reply(text);
    pairs.reserve(pieces.size() / 2);
    double real = 0.0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        char* end = nullptr;
        const double value = platform::parse_double_c_locale(pieces[i].c_str(), &end);
        const double number = end == pieces[i].c_str() ? 0.0 : value;
        if (i % 2 == 0) {
            real = number;
        } else {
            pairs.emplace_back(real, number);
        }
    }
}

void make_block(std::string& text) {
    const std::string length = std::to_string(text.size());
    text.insert(0, "#" + std::to_string(length.size()) + length);
}

namespace {
// A reader drops trailing white space from a reply; a block header that
// claims far more than that is malformed, not worth a giant allocation.
constexpr std::size_t max_block_padding = 1u << 20;
}  // namespace

void parse_block(std::string& text) {
    if (text.size() <= 2 || text[0] != '#' || text[1] < '1' || text[1] > '9') {
        text.clear();
        return;
    }
    const std::size_t digits = static_cast<std::size_t>(text[1] - '0');
    const std::int32_t declared = util::stoi(text.substr(2, digits));
    const std::size_t header = digits + 2;
    if (declared < 0 || text.size() < header) {
        text.clear();
        return;
    }
    const std::size_t length = static_cast<std::size_t>(declared);
    text.erase(0, header);
    if (text.size() >= length) {
        text.resize(length);
    } else if (length - text.size() <= max_block_padding) {
        text.resize(length, '\0');
    } else {
        text.clear();
    }
}

bool read_file(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return false;
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

bool write_file(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file.is_open()) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.flush();
    return static_cast<bool>(file);
}

}  // namespace qvdriver::util
