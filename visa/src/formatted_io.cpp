#include "formatted_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zorvisa {
namespace {

constexpr std::size_t max_width = 100000;
constexpr int max_precision = 100;

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number at fmt; false when it is absurdly large.
bool parse_count(const char*& fmt, std::size_t& value) {
    value = 0;
    while (is_digit(*fmt)) {
        value = value * 10 + static_cast<std::size_t>(*fmt - '0');
        if (value > max_width) return false;
        ++fmt;
    }
    return true;
}

// The size modifier of a directive: -1 h, 0 none, 1 l, 2 ll, 3 L.
int parse_size(const char*& p) {
    if (*p == 'h') {
        ++p;
        return -1;
    }
    if (*p == 'L') {
        ++p;
        return 3;
    }
    if (*p != 'l') return 0;
    ++p;
    if (*p != 'l') return 1;
    ++p;
    return 2;
}

void append_padded(std::string& out, const char* text, std::size_t len, std::size_t width) {
    if (width > len) out.append(width - len, ' ');
    out.append(text, len);
}

template <class T>
ViStatus append_real(std::string& out, T value, char conv, int precision, std::size_t width) {
    // Sized for the longest fixed-notation long double.
    static thread_local char buf[5200];
    std::chars_format f = std::chars_format::general;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(conv)));
    if (lower == 'f') f = std::chars_format::fixed;
    if (lower == 'e') f = std::chars_format::scientific;
    const auto r = std::to_chars(buf, buf + sizeof buf, value, f, precision < 0 ? 6 : precision);
    if (r.ec != std::errc()) return VI_ERROR_INV_FMT;
    if (conv == 'E' || conv == 'G')
        for (char* p = buf; p != r.ptr; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    append_padded(out, buf, static_cast<std::size_t>(r.ptr - buf), width);
    return VI_SUCCESS;
}

template <class T>
void append_integer(std::string& out, T value, std::size_t width) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    append_padded(out, buf, static_cast<std::size_t>(r.ptr - buf), width);
}

// Integer at the start of text (after white space): optional sign, digits.
bool scan_integer(std::string_view text, std::size_t& pos, std::int64_t lo, std::int64_t hi, std::int64_t& value) {
    std::size_t i = pos;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t first_digit = i;
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(-(lo + 1)) + 1 : static_cast<std::uint64_t>(hi);
    while (i < text.size() && is_digit(text[i])) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        ++i;
    }
    if (i == first_digit) return false;
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    pos = i;
    return true;
}

template <class T>
bool scan_real(std::string_view text, std::size_t& pos, T& value) {
    std::size_t i = pos;
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && text[i] == '-') return false;
    }
    T v{};
    const auto r = std::from_chars(text.data() + i, text.data() + text.size(), v, std::chars_format::general);
    if (r.ec != std::errc()) return false;  // no number, or out of range for T
    value = v;
    pos = static_cast<std::size_t>(r.ptr - text.data());
    return true;
}

template <class T>
bool store(T* dest, T value) {
    if (dest == nullptr) return false;
    *dest = value;
    return true;
}

#if !defined(__MINGW32__)
// from_chars for long double may rest on strtold, which reads up to a NUL
// rather than to the end of the view: the text it may read is copied into a
// terminated buffer first (on the stack for any sensible number).
// The common reply, a decimal of at most 19 digits and a small exponent,
// without strtold: its digits and the power of ten are both exact in a long
// double, so one multiplication or division rounds once, to the value
// strtold gives. False (nothing read) for anything else.
bool scan_plain_long_double(std::string_view text, std::size_t& pos, long double& value) {
    constexpr int digits = std::numeric_limits<long double>::digits;
    // The largest n with 5^n below 2^digits: 10^n is then exact.
    constexpr int exact_powers = digits >= 113 ? 48 : digits >= 64 ? 27 : digits >= 53 ? 22 : -1;
    if (exact_powers < 0) return false;
    static const auto powers = [] {
        std::array<long double, 49> p{};
        p[0] = 1;
        for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
        return p;
    }();
    std::size_t i = pos;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int significant = 0, exponent = 0;
    bool any = false;
    auto take = [&](char c, bool fraction) {
        any = true;
        if (mantissa == 0 && c == '0') {
            if (fraction) --exponent;
            return;
        }
        ++significant;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        if (fraction) --exponent;
    };
    while (i < n && is_digit(text[i])) take(text[i++], false);
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && is_digit(text[i])) take(text[i++], true);
    }
    if (!any || significant > 19) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negative_exponent = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) negative_exponent = text[j++] == '-';
        if (j >= n || !is_digit(text[j])) return false;
        int e = 0;
        while (j < n && is_digit(text[j])) {
            e = e * 10 + (text[j++] - '0');
            if (e > 100000) return false;
        }
        exponent += negative_exponent ? -e : e;
        i = j;
    }
    if (digits < 64 && (mantissa >> (digits < 64 ? digits : 0)) != 0) return false;
    long double v = static_cast<long double>(mantissa);
    if (mantissa != 0) {
        if (exponent > exact_powers || exponent < -exact_powers) return false;
        v = exponent >= 0 ? v * powers[static_cast<std::size_t>(exponent)] : v / powers[static_cast<std::size_t>(-exponent)];
    }
    value = negative ? -v : v;
    pos = i;
    return true;
}

template <>
[[maybe_unused]] bool scan_real<long double>(std::string_view text, std::size_t& pos, long double& value) {
    if (scan_plain_long_double(text, pos, value)) return true;
    // Only a run of characters a number can hold (digits, signs, point,
    // exponent, "inf", "nan(...)") is copied, so a long reply is not.
    std::size_t n = 0;
    while (pos + n < text.size()) {
        const char c = text[pos + n];
        if (!std::isalnum(static_cast<unsigned char>(c)) && (c == '\0' || std::strchr("+-.()_", c) == nullptr)) break;
        ++n;
    }
    char local[128];
    std::string heap;
    const char* first = local;
    if (n < sizeof local) {
        if (n > 0) std::memcpy(local, text.data() + pos, n);
        local[n] = '\0';
    } else {
        heap.assign(text.substr(pos, n));
        first = heap.c_str();
    }
    const std::string_view copy(first, n);
    std::size_t i = 0;
    if (i < n && copy[i] == '+') {
        ++i;
        if (i < n && copy[i] == '-') return false;
    }
    long double v{};
    const auto r = std::from_chars(first + i, first + n, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr > first + n) return false;
    value = v;
    pos += static_cast<std::size_t>(r.ptr - first);
    return true;
}
#endif

#if defined(__MINGW32__)
// MinGW's from_chars rounds long double through double; its own strtold keeps
// the full precision. The token is the one from_chars accepted, so a locale
// with another decimal point shows up as a short parse and is not trusted.
// Unused while ViLongDouble is a plain double on Windows.
template <>
[[maybe_unused]] bool scan_real<long double>(std::string_view text, std::size_t& pos, long double& value) {
    std::size_t end = pos;
    double rough = 0;
    if (!scan_real(text, end, rough)) return false;
    const std::string token(text.substr(pos, end - pos));
    char* stop = nullptr;
    const long double precise = __mingw_strtold(token.c_str(), &stop);
    value = stop == token.c_str() + token.size() ? precise : static_cast<long double>(rough);
    pos = end;
    return true;
}
#endif

void skip_space(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && is_space(text[pos])) ++pos;
}

}  // namespace

ViStatus format_message(const char* fmt, va_list* ap, std::string& out) {
    out.clear();
    if (fmt == nullptr) return VI_ERROR_USER_BUF;
    for (const char* p = fmt; *p != '\0'; ++p) {
        if (*p != '%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.push_back('%');
            continue;
        }
        std::size_t width = 0;
        if (!parse_count(p, width)) return VI_ERROR_INV_FMT;
        int precision = -1;
        if (*p == '.') {
            ++p;
            std::size_t prec = 0;
            if (!parse_count(p, prec) || prec > static_cast<std::size_t>(max_precision)) return VI_ERROR_INV_FMT;
            precision = static_cast<int>(prec);
        }
        const int size = parse_size(p);
        const char conv = *p;
        switch (conv) {
        case 'd':
        case 'i':
            if (size == -1)
                append_integer(out, static_cast<short>(va_arg(*ap, int)), width);
            else if (size == 2)
                append_integer(out, static_cast<std::int64_t>(va_arg(*ap, ViInt64)), width);
            else if (size == 0 || size == 1)
                append_integer(out, static_cast<ViInt32>(va_arg(*ap, ViInt32)), width);
            else
                return VI_ERROR_NSUP_FMT;
            break;
        case 'u':
            if (size != 0 && size != 1) return VI_ERROR_NSUP_FMT;
            append_integer(out, static_cast<ViUInt32>(va_arg(*ap, ViUInt32)), width);
            break;
        case 'c': {
            if (size != 0) return VI_ERROR_NSUP_FMT;
            const char c = static_cast<char>(va_arg(*ap, int));
            append_padded(out, &c, 1, width);
            break;
        }
        case 's': {
            if (size != 0) return VI_ERROR_NSUP_FMT;
            const char* s = va_arg(*ap, const char*);
            if (s == nullptr) return VI_ERROR_USER_BUF;
            std::size_t len = 0;
            if (precision < 0) {
                len = std::strlen(s);
            } else {  // the text need not be terminated within the precision
                const void* nul = std::memchr(s, '\0', static_cast<std::size_t>(precision));
                len = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - s) : static_cast<std::size_t>(precision);
            }
            append_padded(out, s, len, width);
            break;
        }
        case 'f':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            ViStatus st;
            if (size == 3)
                st = append_real(out, static_cast<long double>(va_arg(*ap, ViLongDouble)), conv, precision, width);
            else if (size == 0 || size == 1)
                st = append_real(out, va_arg(*ap, double), conv, precision, width);
            else
                return VI_ERROR_NSUP_FMT;
            if (st != VI_SUCCESS) return st;
            break;
        }
        case '\0':
            return VI_ERROR_INV_FMT;
        default:
            return VI_ERROR_NSUP_FMT;
        }
    }
    return VI_SUCCESS;
}

ViStatus parse_read_format(const char* fmt, std::vector<read_directive_t>& out) {
    using kind_t = read_directive_t::kind_t;
    out.clear();
    if (fmt == nullptr) return VI_ERROR_USER_BUF;
    for (const char* p = fmt; *p != '\0'; ++p) {
        read_directive_t d;
        if (is_space(*p)) {
            while (is_space(p[1])) ++p;
            d.kind = kind_t::space;
            out.push_back(d);
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            if (*p == '%') ++p;
            d.kind = kind_t::literal;
            d.literal = *p;
            out.push_back(d);
            continue;
        }
        ++p;
        if (!parse_count(p, d.width)) return VI_ERROR_INV_FMT;
        const int size = parse_size(p);
        switch (*p) {
        case 'd':
            if (size == 3) return VI_ERROR_NSUP_FMT;
            d.kind = size == -1 ? kind_t::i16 : size == 2 ? kind_t::i64 : kind_t::i32;
            break;
        case 'f':
        case 'e':
        case 'g':
            if (size == -1 || size == 2) return VI_ERROR_NSUP_FMT;
            d.kind = size == 3 ? kind_t::f80 : size == 1 ? kind_t::f64 : kind_t::f32;
            break;
        case 's':
            if (size != 0 || d.width == 0) return VI_ERROR_NSUP_FMT;
            d.kind = kind_t::string;
            break;
        case 'c':
            if (size != 0 || d.width > 1) return VI_ERROR_NSUP_FMT;
            d.kind = kind_t::character;
            break;
        case '[': {
            if (size != 0 || d.width == 0) return VI_ERROR_NSUP_FMT;
            d.kind = kind_t::set;
            ++p;
            const bool negate = *p == '^';
            if (negate) ++p;
            bool first = true;
            // "]" right after the opening (or "^") is a member, as in C.
            for (; *p != '\0' && (*p != ']' || first); ++p, first = false) {
                const unsigned char lo = static_cast<unsigned char>(*p);
                if (p[1] == '-' && p[2] != ']' && p[2] != '\0') {
                    const unsigned char hi = static_cast<unsigned char>(p[2]);
                    for (unsigned c = lo; c <= hi; ++c) d.set.set(c);
                    p += 2;
                } else {
                    d.set.set(lo);
                }
            }
            if (*p != ']') return VI_ERROR_INV_FMT;
            if (negate) d.set.flip();
            break;
        }
        case '\0':
            return VI_ERROR_INV_FMT;
        default:
            return VI_ERROR_NSUP_FMT;
        }
        out.push_back(d);
    }
    return VI_SUCCESS;
}

ViStatus scan_message(const std::vector<read_directive_t>& directives, std::string_view reply, va_list* ap) {
    using kind_t = read_directive_t::kind_t;
    if (!reply.empty() && reply.back() == '\n') {
        reply.remove_suffix(1);
        if (!reply.empty() && reply.back() == '\r') reply.remove_suffix(1);
    }
    std::size_t pos = 0;
    for (const read_directive_t& d : directives) {
        if (d.kind == kind_t::space) {
            skip_space(reply, pos);
            continue;
        }
        if (d.kind == kind_t::literal) {
            if (pos >= reply.size() || reply[pos] != d.literal) return VI_ERROR_INV_FMT;
            ++pos;
            continue;
        }
        if (d.kind != kind_t::set && d.kind != kind_t::character) skip_space(reply, pos);
        // A width bounds how much of the reply the directive may take.
        const std::string_view field = reply.substr(0, d.width == 0 ? reply.size() : std::min(reply.size(), pos + d.width));
        switch (d.kind) {
        case kind_t::i16:
        case kind_t::i32:
        case kind_t::i64: {
            std::int64_t v = 0;
            const bool ok = d.kind == kind_t::i16
                                ? scan_integer(field, pos, INT16_MIN, INT16_MAX, v)
                                : d.kind == kind_t::i32 ? scan_integer(field, pos, INT32_MIN, INT32_MAX, v)
                                                        : scan_integer(field, pos, INT64_MIN, INT64_MAX, v);
            if (!ok) return VI_ERROR_INV_FMT;
            if (d.kind == kind_t::i16) {
                if (!store(va_arg(*ap, ViInt16*), static_cast<ViInt16>(v))) return VI_ERROR_USER_BUF;
            } else if (d.kind == kind_t::i32) {
                if (!store(va_arg(*ap, ViInt32*), static_cast<ViInt32>(v))) return VI_ERROR_USER_BUF;
            } else if (!store(va_arg(*ap, ViInt64*), static_cast<ViInt64>(v))) {
                return VI_ERROR_USER_BUF;
            }
            break;
        }
        case kind_t::f32: {
            float v = 0;
            if (!scan_real(field, pos, v)) return VI_ERROR_INV_FMT;
            if (!store(va_arg(*ap, float*), v)) return VI_ERROR_USER_BUF;
            break;
        }
        case kind_t::f64: {
            double v = 0;
            if (!scan_real(field, pos, v)) return VI_ERROR_INV_FMT;
            if (!store(va_arg(*ap, double*), v)) return VI_ERROR_USER_BUF;
            break;
        }
        case kind_t::f80: {
            // VISA's long double: a plain double on Windows (see ViLongDouble).
            ViLongDouble v = 0;
            if (!scan_real(field, pos, v)) return VI_ERROR_INV_FMT;
            if (!store(va_arg(*ap, ViLongDouble*), v)) return VI_ERROR_USER_BUF;
            break;
        }
        case kind_t::string:
        case kind_t::set: {
            const std::size_t start = pos;
            if (d.kind == kind_t::string)
                while (pos < field.size() && !is_space(field[pos])) ++pos;
            else
                while (pos < field.size() && d.set.test(static_cast<unsigned char>(field[pos]))) ++pos;
            if (d.kind == kind_t::string && pos == start) return VI_ERROR_INV_FMT;
            char* dest = va_arg(*ap, char*);
            if (dest == nullptr) return VI_ERROR_USER_BUF;
            if (pos > start) std::memcpy(dest, reply.data() + start, pos - start);
            dest[pos - start] = '\0';
            break;
        }
        case kind_t::character: {
            if (pos >= reply.size()) return VI_ERROR_INV_FMT;
            char* dest = va_arg(*ap, char*);
            if (dest == nullptr) return VI_ERROR_USER_BUF;
            *dest = reply[pos++];
            break;
        }
        default:
            break;
        }
    }
    return VI_SUCCESS;
}

}  // namespace zorvisa
