#include "kits.h"

#include <simulator/scpi/parser.h>

#include <charconv>
#include <cmath>

namespace zorsim {

using physics::cal_kit_t;
using physics::standard_t;

const std::vector<std::string> impedance_choices = {"SYSTem", "LINE"};
const std::vector<std::string> plane_choices = {"THRU", "REFLect"};

const standard_slot_t standard_slots[4] = {
    {"OPEN", &cal_kit_t::open}, {"SHORt", &cal_kit_t::short_}, {"LOAD", &cal_kit_t::load}, {"THRU", &cal_kit_t::thru}};

namespace {

// A coaxial kit: open and short behind their own offsets, with the fringe
// capacitance and residual inductance of the connector; flush load and thru.
cal_kit_t coaxial_kit(double open_delay, double short_delay, double loss, const double (&c)[4], const double (&l)[4]) {
    cal_kit_t kit = physics::ideal_kit();
    kit.open.offset = {open_delay, loss, physics::reference_impedance};
    kit.short_.offset = {short_delay, loss, physics::reference_impedance};
    for (int i = 0; i < 4; ++i) kit.open.c[i] = c[i], kit.short_.l[i] = l[i];
    return kit;
}

// A standard as one field of nine numbers: delay, loss, Z0, the open's or
// the short's polynomial (zero for the others) and the load's resistance
// and reactance. Shortest round-trip text, so a kit file keeps every bit.
std::string encode_standard(const standard_t& s, bool open) {
    const double* const k = open ? s.c : s.l;
    const double numbers[9] = {s.offset.delay, s.offset.loss, s.offset.z0, k[0], k[1], k[2], k[3], s.load.real(),
                               s.load.imag()};
    std::string text;
    for (double value : numbers) {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        if (!text.empty()) text += ',';
        text.append(buffer, end);
    }
    return text;
}

bool decode_standard(const std::string& text, standard_t& s, bool open) {
    double numbers[9];
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int i = 0; i < 9; ++i) {
        const auto [next, ec] = std::from_chars(p, end, numbers[i]);
        if (ec != std::errc() || !std::isfinite(numbers[i])) return false;
        p = next;
        if (i < 8 && (p == end || *p++ != ',')) return false;
    }
    if (p != end || numbers[2] <= 0.0) return false;
    s = standard_t{};
    s.offset = {numbers[0], numbers[1], numbers[2]};
    for (int i = 0; i < 4; ++i) (open ? s.c : s.l)[i] = numbers[3 + i];
    s.load = {numbers[7], numbers[8]};
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        pieces.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return pieces;
        from = at + 1;
    }
}

bool has_control(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::size_t choice_index(const std::string& word, const std::vector<std::string>& choices, bool& ok) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (scpi::mnemonic_matches(choices[i], word)) return i;
    ok = false;
    return 0;
}

}  // namespace

const std::vector<kit_t>& factory_kits() {
    static const std::vector<kit_t> kits = {
        {"User Kit 1", "", 0, 0, physics::ideal_kit()},
        {"Type N 50 Ohm", "Type N, 50 Ohm: open, short, load, thru", 0, 0,
         coaxial_kit(56.0e-12, 62.5e-12, 0.95e9, {88e-15, 160e-27, -12e-36, 0.4e-45}, {0.6e-12, 0, 0, 0})},
        {"3.5 mm", "3.5 mm coaxial: open, short, load, thru", 0, 0,
         coaxial_kit(29.5e-12, 31.6e-12, 2.3e9, {48e-15, -305e-27, 22e-36, -0.15e-45},
                     {2.1e-12, -145e-24, 4.2e-33, -0.02e-42})},
        {"7 mm", "7 mm coaxial: open, short, load, thru", 0, 0,
         coaxial_kit(0.0, 0.0, 0.7e9, {92e-15, 300e-27, -20e-36, 0.6e-45}, {0, 0, 0, 0})},
        {"TRL Fixture", "Microstrip fixture: thru, reflect, line", 1, 1, physics::ideal_kit()},
    };
    return kits;
}

std::size_t kit_catalog_t::find(const std::string& name) const {
    for (std::size_t i = 0; i < kits.size(); ++i)
        if (kits[i].name == name) return i;
    return std::string::npos;
}

std::string encode(const kit_t& kit) {
    std::string text = kit.name + '\t' + kit.description + '\t' + scpi::short_form(impedance_choices[kit.impedance]) +
                       '\t' + scpi::short_form(plane_choices[kit.plane]);
    for (const auto& slot : standard_slots)
        text += '\t' + encode_standard(kit.standards.*slot.member, slot.member == &cal_kit_t::open);
    return text;
}

bool decode(const std::string& line, kit_t& kit) {
    const auto fields = split(line, '\t');
    if ((fields.size() != 4 && fields.size() != 8) || !valid_kit_name(fields[0]) || !valid_kit_text(fields[1]))
        return false;
    bool ok = true;
    kit.name = fields[0];
    kit.description = fields[1];
    kit.impedance = choice_index(fields[2], impedance_choices, ok);
    kit.plane = choice_index(fields[3], plane_choices, ok);
    kit.standards = physics::ideal_kit();
    if (fields.size() == 8)
        for (std::size_t i = 0; i < 4; ++i)
            ok = ok && decode_standard(fields[4 + i], kit.standards.*standard_slots[i].member,
                                       standard_slots[i].member == &cal_kit_t::open);
    return ok;
}

bool valid_kit_name(const std::string& name) {
    return !name.empty() && name.size() <= max_kit_text && !has_control(name) &&
           name.find_first_of(",\"") == std::string::npos;
}

bool valid_kit_text(const std::string& text) { return text.size() <= max_kit_text && !has_control(text); }

}  // namespace zorsim
