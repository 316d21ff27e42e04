#include "support/qvutil.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
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
    const char* begin = text.data();
    double value = 0.0;
    bool range_error = false;
    if (parse_double(begin, begin + text.size(), value, &range_error) == begin) {
        conversion_failure("qvdriver::util::stod", "Invalid_argument", text);
        return fallback;
    }
    // Tiny numbers that underflow towards zero are kept; only overflow fails.
    if (range_error && std::isinf(value)) {
        conversion_failure("qvdriver::util::stod", "Out of range", text);
        return fallback;
    }
    return value;
}

namespace {

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_number_character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '+' ||
           c == '-' || c == '(' || c == ')' || c == '_';
}

// The rare texts from_chars does not read as strtod does (hexadecimal,
// results out of range): strtod itself in the "C" locale, on a terminated
// copy of the number.
const char* parse_double_slowly(const char* first, const char* number, const char* last, double& value,
                                bool* range_error) {
    const char* end = number;
    while (end != last && is_number_character(*end)) ++end;
    const std::string token(number, end);
    char* stop = nullptr;
    errno = 0;
    value = platform::parse_double_c_locale(token.c_str(), &stop);
    if (range_error != nullptr) *range_error = errno == ERANGE && (value == 0.0 || std::isinf(value));
    if (stop == token.c_str()) return first;
    return number + (stop - token.c_str());
}

bool little_endian_host() {
    const std::uint16_t probe = 1;
    unsigned char low = 0;
    std::memcpy(&low, &probe, 1);
    return low == 1;
}

// The shape "%.12e" and an analyzer write, "[+-]d.dddddddddddd[eE][+-]dd[d]",
// read without the general parser when the power of ten is at most 10^22:
// the 13 digits and the power are both exact doubles, so one division or
// multiplication rounds once, as strtod does. Null for any other text.
const char* parse_e12_shape(const char* p, const char* last, double& value) {
    static const double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    bool negative = false;
    if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (last - p < 18 || p[1] != '.') return nullptr;
    auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
    std::uint64_t mantissa = digit(p[0]);
    if (mantissa > 9) return nullptr;
    int i = 2;
    if (little_endian_host()) {
        // Eight digits at once: checked and summed within one word.
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, p + 2, 8);
        if ((((chunk & 0xF0F0F0F0F0F0F0F0ull) | (((chunk + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) !=
             0x3333333333333333ull))
            return nullptr;
        chunk -= 0x3030303030303030ull;
        chunk = chunk * 10 + (chunk >> 8);
        chunk = (((chunk & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
                 (((chunk >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
                32;
        mantissa = mantissa * 100000000ull + chunk;
        i = 10;
    }
    for (; i < 14; ++i) {
        const unsigned d = digit(p[i]);
        if (d > 9) return nullptr;
        mantissa = mantissa * 10 + d;
    }
    if ((p[14] != 'e' && p[14] != 'E') || (p[15] != '+' && p[15] != '-')) return nullptr;
    const unsigned tens = digit(p[16]), units = digit(p[17]);
    if (tens > 9 || units > 9) return nullptr;
    int e = static_cast<int>(tens * 10 + units);
    const char* end = p + 18;
    if (end != last && digit(*end) <= 9) {
        e = e * 10 + static_cast<int>(digit(*end++));
        if (end != last && digit(*end) <= 9) return nullptr;
    }
    const int exponent = (p[15] == '-' ? -e : e) - 12;
    if (exponent < -22 || exponent > 22) return nullptr;
    double v = static_cast<double>(mantissa);
    v = exponent < 0 ? v / exact[-exponent] : v * exact[exponent];
    value = negative ? -v : v;
    return end;
}

}  // namespace

const char* parse_double(const char* first, const char* last, double& value, bool* range_error) {
    if (range_error != nullptr) *range_error = false;
    value = 0.0;
    const char* number = first;
    while (number != last && is_c_space(*number)) ++number;
    if (const char* end = parse_e12_shape(number, last, value)) return end;
    const char* p = number;
    // from_chars takes a minus sign only; a plus is skipped, but never
    // before a second sign, which strtod refuses.
    if (p != last && *p == '+') {
        ++p;
        if (p != last && (*p == '+' || *p == '-')) return first;
    }
    const char* digits = p != last && *p == '-' ? p + 1 : p;
    // Hexadecimal numbers, and nan texts whose payload strtod keeps.
    const bool hexadecimal = last - digits >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (hexadecimal || (digits != last && (*digits == 'n' || *digits == 'N')))
        return parse_double_slowly(first, number, last, value, range_error);
    double parsed = 0.0;
    const auto result = std::from_chars(p, last, parsed, std::chars_format::general);
    if (result.ec == std::errc()) {
        value = parsed;
        return result.ptr;
    }
    if (result.ec == std::errc::invalid_argument) return first;
    return parse_double_slowly(first, number, last, value, range_error);
}

namespace {

// 10^k for k in [-300, 300], each correctly rounded (from_chars rounds
// exactly on every platform; pow need not).
struct powers_of_ten_t {
    double p[601];
    powers_of_ten_t() {
        for (int k = -300; k <= 300; ++k) {
            char text[8];
            const auto end = std::to_chars(text, text + sizeof text, k).ptr;
            std::string number = "1e" + std::string(text, end);
            std::from_chars(number.data(), number.data() + number.size(), p[k + 300]);
        }
    }
    double operator()(int k) const { return p[k + 300]; }
};
const powers_of_ten_t& powers_of_ten() {
    static const powers_of_ten_t table;
    return table;
}

const char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// "%.12e" of a finite, non-zero value of moderate size from its 13 digits
// scaled into an integer: the scaled product is within 0.0023 of the exact
// one (two roundings of 2^-53 below 10^13), so away from half-way it rounds
// as printf does. 0 when the value is near half-way or out of range: the
// exact conversion decides.
std::size_t format_e12_scaled(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-280 && magnitude <= 1e280)) return 0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    // The decimal exponent from the binary one (normal values here): right
    // or one too small, as 78913 / 2^18 is just below log10(2) and 78914 /
    // 2^18 just above it.
    const int binary = static_cast<int>(bits >> 52) - 1023;
    int exponent = binary >= 0 ? (binary * 78913) >> 18 : -((-binary * 78914 + (1 << 18) - 1) >> 18);
    const powers_of_ten_t& powers = powers_of_ten();
    double product = magnitude * powers(12 - exponent);
    if (product >= 1e13) {  // the estimate was one too small
        ++exponent;
        product = magnitude * powers(12 - exponent);
    }
    const auto whole = static_cast<std::uint64_t>(product);
    const double fraction = product - static_cast<double>(whole);
    if (fraction > 0.5 - 1.0 / 256 && fraction < 0.5 + 1.0 / 256) return 0;
    std::uint64_t digits = whole + (fraction >= 0.5 ? 1 : 0);
    if (digits >= 10000000000000ull) {  // rounded up to the next power of ten
        digits /= 10;
        ++exponent;
    }
    char* p = out;
    if (value < 0) *p++ = '-';
    const std::uint64_t rest = digits % 1000000000000ull;
    p[0] = static_cast<char>('0' + digits / 1000000000000ull);
    p[1] = '.';
    // Six digits twice, in 32-bit arithmetic.
    auto six = [](char* at, std::uint32_t v) {
        const std::uint32_t low = v % 10000;
        std::memcpy(at, digit_pairs + 2 * (v / 10000), 2);
        std::memcpy(at + 2, digit_pairs + 2 * (low / 100), 2);
        std::memcpy(at + 4, digit_pairs + 2 * (low % 100), 2);
    };
    six(p + 2, static_cast<std::uint32_t>(rest / 1000000));
    six(p + 8, static_cast<std::uint32_t>(rest % 1000000));
    p += 14;
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
    std::memcpy(p, digit_pairs + 2 * (e % 100), 2);
    p += 2;
    return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t format_e12(char* out, double value) {
    if (const std::size_t n = format_e12_scaled(out, value)) return n;
    // to_chars gives exactly what printf's "%.12e" gives (at least two
    // exponent digits, "inf", "-nan"), in any locale.
    const auto result = std::to_chars(out, out + 32, value, std::chars_format::scientific, 12);
    return static_cast<std::size_t>(result.ptr - out);
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

// Calls take(begin, end) for every piece between commas, as split_reply
// would list them, without making the pieces.
template <typename Take>
void for_each_piece(std::string_view text, Take&& take) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const void* comma = std::memchr(p, ',', static_cast<std::size_t>(end - p));
        const char* stop = comma != nullptr ? static_cast<const char*>(comma) : end;
        take(p, stop);
        p = stop + 1;
    }
}

}  // namespace

std::vector<double> parse_real_list(const std::string& text) {
    std::vector<double> values;
    for_each_piece(without_spaces(text), [&](const char* begin, const char* end) {
        double value = 0.0;
        bool range_error = false;
        if (parse_double(begin, end, value, &range_error) == begin) {
            conversion_failure("qvdriver::util::stod", "Invalid_argument", std::string(begin, end));
            value = 0.0;
        } else if (range_error && std::isinf(value)) {
            conversion_failure("qvdriver::util::stod", "Out of range", std::string(begin, end));
            value = 0.0;
        }
        values.push_back(value);
    });
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
    text.reserve(pairs.size() * 42);
    char buffer[80];
    for (const auto& [re, im] : pairs) {
        std::size_t n = format_e12(buffer, re);
        buffer[n++] = ',';
        n += format_e12(buffer + n, im);
        buffer[n++] = ',';
        text.append(buffer, n);
    }
    if (!text.empty()) text.pop_back();
    return text;
}

void parse_complex_list(std::string_view text, std::vector<complex_pair_t>& pairs) {
    pairs.clear();
    // A point of "%.12e" text takes some 40 characters; shorter ones grow
    // the vector geometrically (cheaper than counting commas first).
    pairs.reserve(text.size() / 40 + 1);
    double real = 0.0;
    bool have_real = false;
    // No number reads past a comma, so each is read up to the end of the
    // text and the comma looked for only where something follows it.
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        double number = 0.0;
        const char* stop = parse_double(p, end, number);
        if (stop == p) number = 0.0;
        if (!have_real) {
            real = number;
        } else {
            pairs.emplace_back(real, number);
        }
        have_real = !have_real;
        if (stop != end && *stop != ',') {
            const void* comma = std::memchr(stop, ',', static_cast<std::size_t>(end - stop));
            stop = comma != nullptr ? static_cast<const char*>(comma) : end;
        }
        if (stop == end) break;
        p = stop + 1;
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

const char* parse_real64_block(std::string_view reply, std::vector<complex_pair_t>& pairs) {
    pairs.clear();
    if (reply.size() < 2 || reply[0] != '#' || reply[1] < '1' || reply[1] > '9')
        return "The reply is not a definite-length block";
    const std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
    if (reply.size() < 2 + digits) return "The block header is cut short";
    std::size_t length = 0;
    for (std::size_t i = 2; i < 2 + digits; ++i) {
        if (reply[i] < '0' || reply[i] > '9') return "The block header holds no byte count";
        length = length * 10 + static_cast<std::size_t>(reply[i] - '0');
    }
    const std::string_view after = reply.substr(2 + digits);
    if (after.size() < length) return "The block is shorter than its header says";
    const std::string_view rest = after.substr(length);
    if (!rest.empty() && rest != "\n" && rest != "\r\n") return "The block is longer than its header says";
    if (length % sizeof(double) != 0) return "The block does not hold whole 64-bit values";
    const std::size_t count = length / (2 * sizeof(double));
    pairs.resize(count);
    // The wire order is little-endian: on such a host a value is its 8 bytes.
    const std::uint16_t probe = 1;
    unsigned char low = 0;
    std::memcpy(&low, &probe, 1);
    const bool swap = low != 1;
    auto take = [swap](const char* bytes) {
        unsigned char ordered[sizeof(double)];
        std::memcpy(ordered, bytes, sizeof ordered);
        if (swap) std::reverse(ordered, ordered + sizeof ordered);
        double value = 0;
        std::memcpy(&value, ordered, sizeof value);
        return value;
    };
    const char* p = after.data();
    for (std::size_t k = 0; k < count; ++k, p += 2 * sizeof(double))
        pairs[k] = {take(p), take(p + sizeof(double))};
    return nullptr;
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

std::string scpi_string(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::size_t control_character_at(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return i;
    }
    return std::string_view::npos;
}

bool scpi_word(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

}  // namespace qvdriver::util
