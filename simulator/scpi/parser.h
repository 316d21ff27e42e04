// The SCPI engine's text side: errors, the parser of program messages
// into units (header and parameters), and the mnemonics of patterns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace zorsim::scpi {

// ---------------------------------------------------------------- errors

// Standard SCPI text of an error code ("Undefined header" for -113);
// "Unknown error" for codes it does not know.
const char* error_message(int code);

// Thrown by parsers and handlers to report an SCPI error. Codes -100..-199
// (command errors) end the processing of the program message; others end
// only the unit that raised them.
class scpi_error : public std::exception {
public:
    explicit scpi_error(int code);
    scpi_error(int code, std::string message);
    int code() const noexcept { return code_; }
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int code_;
    std::string message_;
};

// ---------------------------------------------------------------- parsing

enum class param_type_t {
    decimal,      // NR1/NR2/NR3, optionally followed by a suffix unit ("1.5GHz")
    non_decimal,  // #H1F, #Q17, #B101
    character,    // a mnemonic: ON, MAX, LINear
    string,       // "..." or '...'
    block,        // #NDDD<bytes> or #0<bytes>
    expression,   // ( ... )
};

struct param_t {
    param_type_t type = param_type_t::character;
    // decimal: the number as sent (without suffix); non_decimal: as sent;
    // character: as sent; string: contents with quotes removed and doubled
    // quotes undone; block: the data bytes; expression: with parentheses.
    std::string text;
    std::string suffix;  // decimal only: the unit suffix in upper case, or empty
    double value = 0;    // decimal and non_decimal: the value (suffix not applied)
};

struct header_t {
    bool common = false;    // *XXX
    bool query = false;     // ends in '?'
    bool absolute = false;  // leading ':'
    // Upper-cased nodes as sent, suffix digits included ("SENS2", "FREQ");
    // a common command has one node ("*IDN").
    std::vector<std::string> nodes;
};

struct unit_t {
    header_t header;
    std::vector<param_t> params;
};

// True for the bytes IEEE 488.2 treats as white space (0x00..0x20 but LF
// is included too, so a message with its terminator still parses).
bool is_white_space(char c);

// Parses the program message unit starting at `pos` (white space allowed
// before it) and moves `pos` past the ';' that ends it, or to the end.
// Returns false (pos at the end or past an empty unit's ';') when the unit
// is empty. Throws scpi_error (a command error) on a syntax fault.
bool parse_unit(std::string_view message, std::size_t& pos, unit_t& unit);

// All units of a message (empty units skipped). Throws scpi_error.
std::vector<unit_t> parse_message(std::string_view message);

// ---------------------------------------------------------------- mnemonics

// Short form of a pattern mnemonic ("MLOGarithmic" -> "MLOG").
std::string short_form(std::string_view mnemonic);
// True when `word` (any case) is the short or long form of `mnemonic`.
bool mnemonic_matches(std::string_view mnemonic, std::string_view word);

}  // namespace zorsim::scpi
