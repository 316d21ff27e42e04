#include "format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

namespace zorsim::scpi {

std::string format_real(double value) {
    char buf[32];
    return std::string(buf, put_real(buf, value));
}

std::string format_integer(std::int64_t value) { return std::to_string(value); }

std::string format_boolean(bool value) { return value ? "1" : "0"; }

std::string quote_string(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    out += '"';
    return out;
}

std::string format_block(std::string_view bytes) {
    std::string length = std::to_string(bytes.size());
    std::string out = "#" + std::to_string(length.size()) + length;
    out.append(bytes.data(), bytes.size());
    return out;
}

namespace {

// Powers of ten that scale a value to 13 integer digits.
struct powers_t {
    double p[601];  // 10^-300 .. 10^300
    powers_t() {
        for (int k = -300; k <= 300; ++k) p[k + 300] = std::pow(10.0, k);
    }
    double operator()(int k) const { return p[k + 300]; }
};
const powers_t powers;

}  // namespace

// "+d.ddddddddddddE+XX", the exponent of three digits past 99.
char* put_real(char* p, double value) {
    if (std::isnan(value)) value = 9.91e37;
    else if (std::isinf(value)) value = value > 0 ? 9.9e37 : -9.9e37;
    const double magnitude = std::fabs(value);
    if (magnitude == 0) {
        std::memcpy(p, "+0.000000000000E+00", 19);
        return p + 19;
    }
    *p++ = value < 0 ? '-' : '+';
    // The decimal exponent from the binary one: right or one too small.
    int binary = 0;
    std::frexp(magnitude, &binary);
    int exponent = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
    auto general = [&] {
        const auto r = std::to_chars(p, p + 24, magnitude, std::chars_format::scientific, 12);
        for (char* c = p; c != r.ptr; ++c)
            if (*c == 'e') *c = 'E';
        return r.ptr;
    };
    if (exponent < -280 || exponent > 280) return general();  // far outside trace data
    auto scaled = [&] { return magnitude * powers(12 - exponent); };
    double product = scaled();
    if (product >= 1e13) {  // the estimate was one too small
        ++exponent;
        product = scaled();
    }
    // The product is a few thousandths off the exact one: near half-way
    // between two last digits only the exact conversion rounds as printf.
    if (std::fabs(product - std::floor(product) - 0.5) < 1.0 / 64) return general();
    std::uint64_t digits = static_cast<std::uint64_t>(product + 0.5);
    if (digits >= 10000000000000ull) {  // rounded up to the next power of ten
        digits /= 10;
        ++exponent;
    }
    // The twelve digits after the point, two at a time.
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    std::uint64_t rest = digits % 1000000000000ull;
    p[0] = static_cast<char>('0' + digits / 1000000000000ull);
    p[1] = '.';
    for (int i = 12; i > 0; i -= 2) {
        std::memcpy(p + i, pairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    p += 14;
    *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *p++ = static_cast<char>('0' + e / 100);
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
    return p;
}

void append_real(std::string& out, double value) {
    char buf[32];
    out.append(buf, put_real(buf, value));
}



namespace {

bool little_endian_host() {
    const std::uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

template <class T>
void put_binary(std::string& out, double value, bool swapped) {
    const T v = static_cast<T>(value);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    // SWAPped is little-endian on the wire, NORMal big-endian.
    if (swapped != little_endian_host()) std::reverse(bytes, bytes + sizeof(T));
    out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

template <class T>
double get_binary(const char* p, bool swapped) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, p, sizeof(T));
    if (swapped != little_endian_host()) std::reverse(bytes, bytes + sizeof(T));
    T v;
    std::memcpy(&v, bytes, sizeof(T));
    return static_cast<double>(v);
}

std::size_t value_size(data_format_t format) { return format == data_format_t::real32 ? 4 : 8; }

}  // namespace

std::string encode_values(const double* values, std::size_t count, data_format_t format, byte_order_t order) {
    std::string text;
    if (format == data_format_t::ascii) {
        // Written into one buffer kept for the next reply, then taken in one
        // copy, with room for the terminator the transport adds.
        static thread_local std::unique_ptr<char[]> buffer;
        static thread_local std::size_t capacity = 0;
        const std::size_t needed = count * 22 + 1;
        if (capacity < needed) {
            buffer.reset(new char[needed]);
            capacity = needed;
        }
        char* p = buffer.get();
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) *p++ = ',';
            p = put_real(p, values[i]);
        }
        const auto length = static_cast<std::size_t>(p - buffer.get());
        text.reserve(length + 2);
        text.assign(buffer.get(), length);
        return text;
    }
    const bool swapped = order == byte_order_t::swapped;
    const std::size_t bytes = count * value_size(format);
    const std::string length = std::to_string(bytes);
    text.reserve(2 + length.size() + bytes + 2);
    text += '#';
    text += static_cast<char>('0' + length.size());
    text += length;
    for (std::size_t i = 0; i < count; ++i) {
        if (format == data_format_t::real32) put_binary<float>(text, values[i], swapped);
        else put_binary<double>(text, values[i], swapped);
    }
    return text;
}

bool decode_block(std::string_view bytes, std::size_t count, data_format_t format, byte_order_t order,
                  std::vector<double>& values) {
    const std::size_t size = value_size(format);
    if (format == data_format_t::ascii || bytes.size() != count * size) return false;
    const bool swapped = order == byte_order_t::swapped;
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = size == 4 ? get_binary<float>(&bytes[i * 4], swapped) : get_binary<double>(&bytes[i * 8], swapped);
    return true;
}

}  // namespace zorsim::scpi
