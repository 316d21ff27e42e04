// Text and number helpers shared by the whole library: printf-style
// formatting into strings, tolerant conversions, reply splitting, the bounded
// copy into callers' buffers, complex lists, definite-length blocks, files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__GNUC__)
#define QV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_PRINTF_FORMAT(fmt, args)
#endif

namespace qvdriver::util {

// printf into a string of exactly the formatted length; empty when memory
// cannot be had. Formats with the "C" locale whatever the host program set,
// so reals always go to the instrument with a decimal point.
std::string string_format(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

// Decimal text to a signed 32-bit number; 0 (and one console line) when the
// text holds no number or the number does not fit.
std::int32_t stoi(const std::string& text);
// Decimal text to a double; `fallback` (and one console line) on failure.
double stod(const std::string& text, double fallback);

// strtod's grammar and results in the "C" locale, whatever locale the host
// program set: leading white space, an optional sign, decimal digits (or
// hexadecimal after "0x"), inf and nan texts. Stores the number in `value`
// and returns where it stopped, or `first` (value 0) when there is none.
// `range_error` is set as strtod sets ERANGE for a result that overflows to
// infinity or underflows to zero.
const char* parse_double(const char* first, const char* last, double& value, bool* range_error = nullptr);
// "%.12e" of `value` into `out` (room for 32 bytes); the length written.
std::size_t format_e12(char* out, double value);

// Pieces between commas, as a line reader with ',' as delimiter yields them.
std::vector<std::string> split_reply(const std::string& text);
std::vector<double> parse_real_list(const std::string& text);
std::vector<std::int32_t> parse_int_list(const std::string& text);

// Removes trailing, then leading, characters found in `characters`.
void trim(std::string& text, const std::string& characters);
extern const char* const white_space;  // " \f\n\r\t\v"

// The bounded copy of every text handed back through a caller's buffer.
// Returns 0, or 0xBFFF0071 when the text was cut. A null buffer
// (0xBFFA000F) or a size below 1 (zor_error_buffer_size) is refused and
// nothing is written.
std::int32_t copy_to_buffer(char* out, std::int32_t out_size, const std::string& text);

using complex_pair_t = std::pair<double, double>;
// "%.12e" of every value, comma separated.
std::string format_complex_list(const std::vector<complex_pair_t>& pairs);
// Values between commas taken in pairs (an odd last value is dropped); a
// piece that holds no number counts as 0.
void parse_complex_list(std::string_view text, std::vector<complex_pair_t>& pairs);

// IEEE 488.2 definite-length blocks: "#" + digit count + length + bytes.
void make_block(std::string& text);
void parse_block(std::string& text);
// A reply that is one definite-length block of little-endian 64-bit reals,
// followed by nothing but its terminator ("\n" or "\r\n"), taken in pairs
// (an odd last value is dropped, as from a text list). Null on success,
// else why the reply is not such a block; `pairs` is then empty. A block
// whose header disagrees with the bytes that came is a fault, not data.
const char* parse_real64_block(std::string_view reply, std::vector<complex_pair_t>& pairs);

// Texts a command takes as a SCPI string: between double quotes, a quote
// inside doubled, so the text goes out as one string whatever it holds.
std::string scpi_string(std::string_view text);
// Where the first control character (below 0x20, or 0x7F) is; npos when
// none. A line feed ends a message on a socket, so one inside a parameter
// would be taken as the start of another command.
std::size_t control_character_at(std::string_view text);
// A keyword the instrument takes as it is (S21, MLOGarithmic): letters,
// digits and '_', nothing that could end the command or start another.
bool scpi_word(std::string_view text);

bool read_file(const std::string& path, std::string& text);
bool write_file(const std::string& path, const std::string& text);

}  // namespace qvdriver::util

namespace qvutil = qvdriver::util;
