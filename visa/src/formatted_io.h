// The formatted-I/O subset of viPrintf, viScanf and viQueryf.
//
// Write formats: literal bytes, "%%", "%s" (const char*), "%c" (int),
// "%d"/"%i"/"%ld"/"%li" (ViInt32), "%hd" (int promoted from short), "%lld"
// (ViInt64), "%u"/"%lu" (ViUInt32), "%f"/"%e"/"%E"/"%g"/"%G" (double) and the
// same with "L" (long double). An optional width right-justifies with spaces;
// an optional precision applies to numbers (and cuts "%s"). Numbers always use
// a '.' decimal point whatever the process locale. Flags and '*' are not
// supported (VI_ERROR_NSUP_FMT).
//
// Read formats work on one whole response message, its terminating line feed
// (and a carriage return before it) removed:
//   white space     skips any white space in the reply
//   other literals  must match exactly
//   "%d"/"%ld"      ViInt32*   (32 bits on every platform)
//   "%hd"           ViInt16*
//   "%lld"          ViInt64*
//   "%f"/"%e"/"%g"  float*;  with "l": double*;  with "L": long double*
//   "%<w>s"         char*: up to w non-space characters plus NUL
//   "%<w>[set]"     char*: up to w characters of the set ("^" negates,
//                   ranges a-z) plus NUL; an empty match stores ""
//   "%c"            char*: one character, no NUL
// Numbers skip leading white space and accept a leading '+'. String
// directives need a width (the destination size is otherwise unknown):
// without one the format is rejected with VI_ERROR_NSUP_FMT. A reply that
// does not convert (no digits, a number out of range for its destination, a
// literal that does not match, the reply ending early) gives VI_ERROR_INV_FMT;
// the arguments converted before it hold their values, the failing one and
// all later ones are left untouched.
#pragma once

#include <bitset>
#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

#include "visa.h"

namespace zorvisa {

ViStatus format_message(const char* fmt, va_list* ap, std::string& out);

struct read_directive_t {
    enum class kind_t { literal, space, i16, i32, i64, f32, f64, f80, string, set, character };
    kind_t kind = kind_t::literal;
    char literal = 0;
    std::size_t width = 0;  // 0: none
    std::bitset<256> set;   // for kind set: the accepted bytes
};

// Checks the whole read format before any I/O happens.
ViStatus parse_read_format(const char* fmt, std::vector<read_directive_t>& out);

ViStatus scan_message(const std::vector<read_directive_t>& directives, std::string_view reply, va_list* ap);

}  // namespace zorvisa
