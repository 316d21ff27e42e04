// What the engine writes on the wire: single values as answers give them,
// and numbers in bulk (trace data, error terms) as :FORMat[:DATA] says:
// ASCII lists of NR3 reals, or IEEE 488.2 definite-length blocks of 32- or
// 64-bit IEEE floats in either byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim::scpi {

std::string format_real(double value);           // NR3: "+1.000000000000E+09"; NaN 9.91E37, inf 9.9E37
std::string format_integer(std::int64_t value);  // "%d"
std::string format_boolean(bool value);          // "1" / "0"
std::string quote_string(std::string_view text); // "text" with inner '"' doubled
std::string format_block(std::string_view bytes);  // #NDDD<bytes> (#10 when empty)

// format_real's text at `p`, at most 21 characters; returns the end. A long
// list of reals is mostly this, so it writes the digits itself and leaves
// the general conversion to the values near a rounding tie.
char* put_real(char* p, double value);
void append_real(std::string& out, double value);

enum class data_format_t { ascii, real32, real64 };
// NORMal: the most significant byte first; SWAPped: the least.
enum class byte_order_t { normal, swapped };

// The answer of `count` values: NR3 reals joined by commas, or one block.
std::string encode_values(const double* values, std::size_t count, data_format_t format, byte_order_t order);
// The values of a block's data bytes; false when they are not `count`
// values of the format (ASCII takes no block).
bool decode_block(std::string_view bytes, std::size_t count, data_format_t format, byte_order_t order,
                  std::vector<double>& values);

}  // namespace zorsim::scpi
