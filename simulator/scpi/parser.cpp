// Lexing and parsing of program messages, error texts and response formatting.
#include "parser.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace zorsim::scpi {

// ---------------------------------------------------------------- errors

const char* error_message(int code) {
    switch (code) {
    case 0: return "No error";
    case -100: return "Command error";
    case -101: return "Invalid character";
    case -102: return "Syntax error";
    case -103: return "Invalid separator";
    case -104: return "Data type error";
    case -105: return "GET not allowed";
    case -108: return "Parameter not allowed";
    case -109: return "Missing parameter";
    case -110: return "Command header error";
    case -111: return "Header separator error";
    case -112: return "Program mnemonic too long";
    case -113: return "Undefined header";
    case -114: return "Header suffix out of range";
    case -115: return "Unexpected number of parameters";
    case -120: return "Numeric data error";
    case -121: return "Invalid character in number";
    case -123: return "Exponent too large";
    case -124: return "Too many digits";
    case -128: return "Numeric data not allowed";
    case -130: return "Suffix error";
    case -131: return "Invalid suffix";
    case -134: return "Suffix too long";
    case -138: return "Suffix not allowed";
    case -140: return "Character data error";
    case -141: return "Invalid character data";
    case -144: return "Character data too long";
    case -148: return "Character data not allowed";
    case -150: return "String data error";
    case -151: return "Invalid string data";
    case -158: return "String data not allowed";
    case -160: return "Block data error";
    case -161: return "Invalid block data";
    case -168: return "Block data not allowed";
    case -170: return "Expression error";
    case -171: return "Invalid expression";
    case -178: return "Expression data not allowed";
    case -200: return "Execution error";
    case -203: return "Command protected";
    case -210: return "Trigger error";
    case -211: return "Trigger ignored";
    case -213: return "Init ignored";
    case -220: return "Parameter error";
    case -221: return "Settings conflict";
    case -222: return "Data out of range";
    case -223: return "Too much data";
    case -224: return "Illegal parameter value";
    case -225: return "Out of memory";
    case -230: return "Data corrupt or stale";
    case -240: return "Hardware error";
    case -241: return "Hardware missing";
    case -250: return "Mass storage error";
    case -256: return "File name not found";
    case -257: return "File name error";
    case -300: return "Device-specific error";
    case -310: return "System error";
    case -321: return "Out of memory";
    case -330: return "Self-test failed";
    case -350: return "Queue overflow";
    case -360: return "Communication error";
    case -400: return "Query error";
    case -410: return "Query INTERRUPTED";
    case -420: return "Query UNTERMINATED";
    case -430: return "Query DEADLOCKED";
    case -440: return "Query UNTERMINATED after indefinite response";
    default: return "Unknown error";
    }
}

scpi_error::scpi_error(int code) : code_(code), message_(error_message(code)) {}
scpi_error::scpi_error(int code, std::string message) : code_(code), message_(std::move(message)) {}

// ---------------------------------------------------------------- lexing helpers

namespace {

bool is_alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char to_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = to_upper(c);
    return out;
}

void skip_white(std::string_view m, std::size_t& pos) {
    while (pos < m.size() && is_white_space(m[pos])) ++pos;
}

double parse_double(std::string_view text) {
    std::string_view t = text;
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    double value = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is an exponent fault.
        std::size_t e = t.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < t.size() && t[e + 1] == '-') return 0.0;
        throw scpi_error(-123);
    }
    if (ec != std::errc() || ptr != t.data() + t.size()) throw scpi_error(-121);
    return value;
}

// A decimal numeric parameter beginning at pos ('+', '-', '.' or digit).
param_t lex_decimal(std::string_view m, std::size_t& pos) {
    std::size_t start = pos;
    if (m[pos] == '+' || m[pos] == '-') ++pos;
    std::size_t digits = 0;
    while (pos < m.size() && is_digit(m[pos])) ++pos, ++digits;
    if (pos < m.size() && m[pos] == '.') {
        ++pos;
        while (pos < m.size() && is_digit(m[pos])) ++pos, ++digits;
    }
    if (digits == 0) throw scpi_error(-120);
    // Exponent: E/e, optional sign, at least one digit (white space allowed before the E).
    std::size_t look = pos;
    skip_white(m, look);
    if (look < m.size() && (m[look] == 'e' || m[look] == 'E')) {
        std::size_t e = look + 1;
        if (e < m.size() && (m[e] == '+' || m[e] == '-')) ++e;
        if (e < m.size() && is_digit(m[e])) {
            while (e < m.size() && is_digit(m[e])) ++e;
            pos = e;
        } else if (e < m.size() && !is_alpha(m[e])) {
            // "1E" or "1E+" followed by a separator: a broken exponent (a
            // letter after E is a suffix such as "EV").
            throw scpi_error(-121);
        } else if (e >= m.size()) {
            throw scpi_error(-121);
        }
    }
    param_t p;
    p.type = param_type_t::decimal;
    std::string number;
    for (std::size_t i = start; i < pos; ++i)
        if (!is_white_space(m[i])) number += m[i];
    p.text = number;
    p.value = parse_double(number);
    // Suffix: optional white space, then a letter or '/'.
    look = pos;
    skip_white(m, look);
    if (look < m.size() && (is_alpha(m[look]) || m[look] == '/')) {
        std::size_t s = look;
        while (s < m.size() && (is_alpha(m[s]) || is_digit(m[s]) || m[s] == '/' || m[s] == '.')) ++s;
        p.suffix = upper(m.substr(look, s - look));
        if (p.suffix.size() > 12) throw scpi_error(-134);
        pos = s;
    }
    return p;
}

param_t lex_string(std::string_view m, std::size_t& pos) {
    char quote = m[pos++];
    param_t p;
    p.type = param_type_t::string;
    for (;;) {
        if (pos >= m.size()) throw scpi_error(-151);
        char c = m[pos++];
        if (c == quote) {
            if (pos < m.size() && m[pos] == quote) {
                p.text += quote;
                ++pos;
                continue;
            }
            return p;
        }
        p.text += c;
    }
}

param_t lex_hash(std::string_view m, std::size_t& pos) {
    // m[pos] == '#'
    if (pos + 1 >= m.size()) throw scpi_error(-161);
    char c = m[pos + 1];
    param_t p;
    if (c == '0') {
        // Indefinite-length block: the rest of the message (a final LF,
        // when the terminator was left in, is not data).
        p.type = param_type_t::block;
        std::size_t end = m.size();
        if (end > pos + 2 && m[end - 1] == '\n') --end;
        p.text = std::string(m.substr(pos + 2, end - (pos + 2)));
        pos = m.size();
        return p;
    }
    if (c >= '1' && c <= '9') {
        std::size_t n = static_cast<std::size_t>(c - '0');
        std::size_t digits_at = pos + 2;
        if (digits_at + n > m.size()) throw scpi_error(-161);
        std::size_t length = 0;
        for (std::size_t i = 0; i < n; ++i) {
            char d = m[digits_at + i];
            if (!is_digit(d)) throw scpi_error(-161);
            length = length * 10 + static_cast<std::size_t>(d - '0');
        }
        std::size_t data_at = digits_at + n;
        if (length > m.size() - data_at) throw scpi_error(-161);
        p.type = param_type_t::block;
        p.text = std::string(m.substr(data_at, length));
        pos = data_at + length;
        return p;
    }
    char base_char = to_upper(c);
    int base = base_char == 'H' ? 16 : base_char == 'Q' ? 8 : base_char == 'B' ? 2 : 0;
    if (base == 0) throw scpi_error(-102);
    std::size_t s = pos + 2;
    double value = 0;
    std::size_t count = 0;
    while (s < m.size()) {
        char d = to_upper(m[s]);
        int v = is_digit(d) ? d - '0' : (d >= 'A' && d <= 'F') ? d - 'A' + 10 : -1;
        if (v < 0) break;
        if (v >= base) throw scpi_error(-121);
        value = value * base + v;
        ++s, ++count;
    }
    if (count == 0) throw scpi_error(-121);
    p.type = param_type_t::non_decimal;
    p.text = std::string(m.substr(pos, s - pos));
    p.value = value;
    pos = s;
    return p;
}

param_t lex_expression(std::string_view m, std::size_t& pos) {
    std::size_t start = pos;
    int depth = 0;
    while (pos < m.size()) {
        char c = m[pos++];
        if (c == '(') ++depth;
        else if (c == ')') {
            if (--depth == 0) {
                param_t p;
                p.type = param_type_t::expression;
                p.text = std::string(m.substr(start, pos - start));
                return p;
            }
        } else if (c == '"' || c == '\'') {
            // Strings inside expressions: skip to the closing quote.
            while (pos < m.size() && m[pos] != c) ++pos;
            if (pos < m.size()) ++pos;
        }
    }
    throw scpi_error(-171);
}

param_t lex_param(std::string_view m, std::size_t& pos) {
    char c = m[pos];
    if (c == '"' || c == '\'') return lex_string(m, pos);
    if (c == '#') return lex_hash(m, pos);
    if (c == '(') return lex_expression(m, pos);
    if (c == '+' || c == '-' || c == '.' || is_digit(c)) return lex_decimal(m, pos);
    if (is_alpha(c)) {
        std::size_t s = pos;
        while (s < m.size() && (is_alpha(m[s]) || is_digit(m[s]) || m[s] == '_')) ++s;
        param_t p;
        p.type = param_type_t::character;
        p.text = std::string(m.substr(pos, s - pos));
        pos = s;
        return p;
    }
    if (c == ',' || c == ';') throw scpi_error(-102);
    throw scpi_error(-101);
}

}  // namespace

bool is_white_space(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u <= 0x20;
}

// ---------------------------------------------------------------- units

bool parse_unit(std::string_view m, std::size_t& pos, unit_t& unit) {
    unit = unit_t{};
    skip_white(m, pos);
    if (pos >= m.size()) return false;
    if (m[pos] == ';') {
        ++pos;
        return false;
    }
    header_t& h = unit.header;
    if (m[pos] == '*') {
        std::size_t s = pos + 1;
        while (s < m.size() && is_alpha(m[s])) ++s;
        if (s == pos + 1) throw scpi_error(-102);
        h.common = true;
        h.nodes.push_back(upper(m.substr(pos, s - pos)));
        pos = s;
    } else {
        if (m[pos] == ':') {
            h.absolute = true;
            ++pos;
        }
        for (;;) {
            if (pos >= m.size() || !is_alpha(m[pos])) throw scpi_error(pos < m.size() && m[pos] != ':' ? -101 : -102);
            std::size_t s = pos;
            while (s < m.size() && (is_alpha(m[s]) || is_digit(m[s]) || m[s] == '_')) ++s;
            h.nodes.push_back(upper(m.substr(pos, s - pos)));
            pos = s;
            if (pos < m.size() && m[pos] == ':') {
                ++pos;
                continue;
            }
            break;
        }
    }
    if (pos < m.size() && m[pos] == '?') {
        h.query = true;
        ++pos;
    }
    if (pos < m.size() && m[pos] != ';' && !is_white_space(m[pos])) throw scpi_error(m[pos] == ',' ? -103 : -102);

    skip_white(m, pos);
    if (pos < m.size() && m[pos] != ';') {
        for (;;) {
            unit.params.push_back(lex_param(m, pos));
            skip_white(m, pos);
            if (pos >= m.size() || m[pos] == ';') break;
            if (m[pos] != ',') throw scpi_error(-103);
            ++pos;
            skip_white(m, pos);
            if (pos >= m.size() || m[pos] == ';' || m[pos] == ',') throw scpi_error(-102);
        }
    }
    if (pos < m.size() && m[pos] == ';') ++pos;
    return true;
}

std::vector<unit_t> parse_message(std::string_view message) {
    std::vector<unit_t> units;
    std::size_t pos = 0;
    while (pos < message.size()) {
        unit_t unit;
        if (parse_unit(message, pos, unit)) units.push_back(std::move(unit));
    }
    return units;
}

// ---------------------------------------------------------------- mnemonics

std::string short_form(std::string_view mnemonic) {
    std::string out;
    for (char c : mnemonic) {
        if (c >= 'a' && c <= 'z') break;
        out += c;
    }
    return out;
}

bool mnemonic_matches(std::string_view mnemonic, std::string_view word) {
    std::string w = upper(word);
    return w == upper(mnemonic) || w == short_form(mnemonic);
}

}  // namespace zorsim::scpi
