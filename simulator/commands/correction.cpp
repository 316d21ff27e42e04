// Error correction (per channel), port extension and source power
// correction (per channel and port), and the calibration kits.
//
// Each channel holds its own list of kits, starting from the factory kits,
// and selects one of them; the kit commands without COLLect (count, clear,
// import, export, load, initialize) act on the channel's list, the
// COLLect:CKIT ones on its selected kit. Kit numbers are positions in the
// catalog, so deleting a kit moves the later ones down by one. Exported kit
// files are shared by all channels.
//
// Each kit defines its standards (open, short, load, thru) the way the
// calibration uses them: offset delay, loss and Z0, the open's C0..C3, the
// short's L0..L3 and the load's impedance.
#include "commands.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "correction.h"
#include "instrument.h"
#include "measurement.h"
#include "physics/cal_kit.h"
#include "physics/calibration.h"

namespace zorsim {

using scpi::boolean_setting;
using scpi::context_t;
using scpi::integer_setting;
using scpi::real_setting;
using scpi::scpi_error;
using scpi::string_setting;

namespace {

constexpr std::size_t max_kits = 30;
constexpr std::size_t max_kit_files = 64;
// Names and descriptions are bounded so a kit list cannot grow without end.
constexpr std::size_t max_text = 254;

const std::vector<std::string> impedance_choices = {"SYSTem", "LINE"};
const std::vector<std::string> plane_choices = {"THRU", "REFLect"};

using physics::cal_kit_t;
using physics::standard_t;

struct kit_t {
    std::string name;
    std::string description;
    std::size_t impedance = 0;  // index into impedance_choices
    std::size_t plane = 0;      // index into plane_choices
    cal_kit_t standards = physics::ideal_kit();
};

// A coaxial kit: open and short behind their own offsets, with the fringe
// capacitance and residual inductance of the connector; flush load and thru.
cal_kit_t coaxial_kit(double open_delay, double short_delay, double loss, const double (&c)[4], const double (&l)[4]) {
    cal_kit_t kit = physics::ideal_kit();
    kit.open.offset = {open_delay, loss, physics::reference_impedance};
    kit.short_.offset = {short_delay, loss, physics::reference_impedance};
    for (int i = 0; i < 4; ++i) kit.open.c[i] = c[i], kit.short_.l[i] = l[i];
    return kit;
}

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

// The standards in kit order and the keyword of each.
struct standard_slot_t {
    const char* keyword;
    standard_t cal_kit_t::*member;
};
const standard_slot_t standard_slots[] = {
    {"OPEN", &cal_kit_t::open}, {"SHORt", &cal_kit_t::short_}, {"LOAD", &cal_kit_t::load}, {"THRU", &cal_kit_t::thru}};

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

// Storage only: each key is registered as a setting after a command with the
// same pattern, which answers instead, so the raw text is never on the wire.
const char* const kits_key = "[:SENSe#]:CORRection:COLLect:CKIT:CATalog";
const char* const selected_key = "[:SENSe#]:CORRection:COLLect:CKIT";
const char* const files_key = "[:SENSe]:CORRection:CKIT:FILE:CATalog";
const char* const correction_key = "[:SENSe#]:CORRection[:STATe]";

// A kit as one line of tab-separated fields: the stored form, the form of a
// kit file and of the DATA block.
std::string encode(const kit_t& kit) {
    std::string text = kit.name + '\t' + kit.description + '\t' + scpi::short_form(impedance_choices[kit.impedance]) +
                       '\t' + scpi::short_form(plane_choices[kit.plane]);
    for (const auto& slot : standard_slots)
        text += '\t' + encode_standard(kit.standards.*slot.member, slot.member == &cal_kit_t::open);
    return text;
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

// A name must be non-empty and must not break the comma-separated catalog.
bool valid_name(const std::string& name) {
    return !name.empty() && name.size() <= max_text && !has_control(name) &&
           name.find_first_of(",\"") == std::string::npos;
}
bool valid_description(const std::string& text) { return text.size() <= max_text && !has_control(text); }

std::size_t choice_index(const std::string& word, const std::vector<std::string>& choices, bool& ok) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (scpi::mnemonic_matches(choices[i], word)) return i;
    ok = false;
    return 0;
}

// False when the text is not a well-formed kit. A kit without its
// standards (the four text fields alone) has ideal ones.
bool decode(const std::string& line, kit_t& kit) {
    const auto fields = split(line, '\t');
    if ((fields.size() != 4 && fields.size() != 8) || !valid_name(fields[0]) || !valid_description(fields[1]))
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

std::string encode_list(const std::vector<kit_t>& kits) {
    std::string text;
    for (const auto& kit : kits) text += encode(kit) + '\n';
    return text;
}

// The channel's kits, its selection and the shared kit files, read on entry
// and written back by store().
struct channel_kits_t {
    context_t& ctx;
    int channel;
    std::vector<kit_t> kits;
    std::size_t selected;  // from 1

    explicit channel_kits_t(context_t& c) : ctx(c), channel(c.suffix(0)) {
        for (const auto& line : split(ctx.settings().text(kits_key, {channel}), '\n')) {
            kit_t kit;
            if (decode(line, kit)) kits.push_back(kit);
        }
        const auto stored = ctx.settings().integer(selected_key, {channel});
        selected = stored < 1 ? 1 : static_cast<std::size_t>(stored);
        if (selected > kits.size()) selected = kits.size();
    }
    kit_t& selected_kit() {
        if (kits.empty()) throw scpi_error(-221);
        return kits[selected - 1];
    }
    // Position (from 0) of the kit with this name, or npos.
    std::size_t find(const std::string& name) const {
        for (std::size_t i = 0; i < kits.size(); ++i)
            if (kits[i].name == name) return i;
        return std::string::npos;
    }
    // A kit under a name no other kit has (`except` may keep its own).
    void require_unique(const std::string& name, std::size_t except) const {
        const std::size_t at = find(name);
        if (at != std::string::npos && at != except) throw scpi_error(-221, "Settings conflict; kit name in use");
    }
    void store() {
        ctx.settings().set_value(kits_key, {channel}, encode_list(kits));
        ctx.settings().set_value(selected_key, {channel}, static_cast<std::int64_t>(selected));
    }
};

// Kit files: one "file<TAB>kit" line each.
std::vector<std::pair<std::string, kit_t>> read_files(context_t& ctx) {
    std::vector<std::pair<std::string, kit_t>> files;
    for (const auto& line : split(ctx.settings().text(files_key), '\n')) {
        const std::size_t tab = line.find('\t');
        kit_t kit;
        if (tab != std::string::npos && decode(line.substr(tab + 1), kit)) files.emplace_back(line.substr(0, tab), kit);
    }
    return files;
}

void write_files(context_t& ctx, const std::vector<std::pair<std::string, kit_t>>& files) {
    std::string text;
    for (const auto& [file, kit] : files) text += file + '\t' + encode(kit) + '\n';
    ctx.settings().set_value(files_key, {}, text);
}

std::string file_param(context_t& ctx, std::size_t index) {
    const std::string file = ctx.string_param(index);
    if (file.empty() || file.size() > max_text || has_control(file)) throw scpi_error(-257);
    return file;
}

const kit_t& kit_file(context_t& ctx, const std::string& file, std::vector<std::pair<std::string, kit_t>>& files) {
    files = read_files(ctx);
    for (const auto& entry : files)
        if (entry.first == file) return entry.second;
    throw scpi_error(-256);
}

// Puts `kit` under its name: replaces the kit of that name, or appends it.
void put_kit(channel_kits_t& list, const kit_t& kit) {
    const std::size_t at = list.find(kit.name);
    if (at != std::string::npos) {
        list.kits[at] = kit;
        return;
    }
    if (list.kits.size() >= max_kits) throw scpi_error(-223);
    list.kits.push_back(kit);
}

void answer_text(context_t& ctx, const std::string& text) {
    ctx.expect_params(0, 0);
    ctx.answer_string(text);
}

// A text field of the selected kit.
void add_kit_text(scpi::command_table_t& t, const char* pattern, std::string kit_t::*field, bool is_name) {
    t.add(
        pattern,
        [field, is_name](context_t& ctx) {
            ctx.expect_params(1, 1);
            const std::string text = ctx.string_param(0);
            if (is_name ? !valid_name(text) : !valid_description(text)) throw scpi_error(-224);
            channel_kits_t list(ctx);
            kit_t& kit = list.selected_kit();
            if (is_name) list.require_unique(text, list.selected - 1);
            kit.*field = text;
            list.store();
        },
        [field](context_t& ctx) {
            channel_kits_t list(ctx);
            answer_text(ctx, list.selected_kit().*field);
        });
}

// A TRL option of the selected kit.
void add_kit_choice(scpi::command_table_t& t, const char* pattern, std::size_t kit_t::*field,
                    const std::vector<std::string>& choices) {
    t.add(
        pattern,
        [field, &choices](context_t& ctx) {
            ctx.expect_params(1, 1);
            const std::size_t value = ctx.choice_param(0, choices);
            channel_kits_t list(ctx);
            list.selected_kit().*field = value;
            list.store();
        },
        [field, &choices](context_t& ctx) {
            ctx.expect_params(0, 0);
            channel_kits_t list(ctx);
            ctx.answer(scpi::short_form(choices[list.selected_kit().*field]));
        });
}

// One number of a standard of the selected kit, with the range it keeps to.
struct standard_field_t {
    const char* keyword;
    const char* unit;
    double& (*of)(standard_t&);
    const char* only;  // the one standard it belongs to, or null for all
    double low, high;
};
constexpr double huge = 1e300;
const standard_field_t standard_fields[] = {
    {"DELay", "S", [](standard_t& s) -> double& { return s.offset.delay; }, nullptr, -1e-6, 1e-6},
    {"LOSS", "", [](standard_t& s) -> double& { return s.offset.loss; }, nullptr, 0.0, 1e15},
    {"Z0", "OHM", [](standard_t& s) -> double& { return s.offset.z0; }, nullptr, 1e-3, 1e6},
    {"C0", "F", [](standard_t& s) -> double& { return s.c[0]; }, "OPEN", -huge, huge},
    {"C1", "", [](standard_t& s) -> double& { return s.c[1]; }, "OPEN", -huge, huge},
    {"C2", "", [](standard_t& s) -> double& { return s.c[2]; }, "OPEN", -huge, huge},
    {"C3", "", [](standard_t& s) -> double& { return s.c[3]; }, "OPEN", -huge, huge},
    {"L0", "H", [](standard_t& s) -> double& { return s.l[0]; }, "SHORt", -huge, huge},
    {"L1", "", [](standard_t& s) -> double& { return s.l[1]; }, "SHORt", -huge, huge},
    {"L2", "", [](standard_t& s) -> double& { return s.l[2]; }, "SHORt", -huge, huge},
    {"L3", "", [](standard_t& s) -> double& { return s.l[3]; }, "SHORt", -huge, huge},
    // std::complex is laid out as two doubles, real first, and may be read so.
    {"RESistance", "OHM", [](standard_t& s) -> double& { return reinterpret_cast<double(&)[2]>(s.load)[0]; }, "LOAD",
     0.0, 1e9},
    {"REACtance", "OHM", [](standard_t& s) -> double& { return reinterpret_cast<double(&)[2]>(s.load)[1]; }, "LOAD",
     -1e9, 1e9},
};

void add_standard_fields(scpi::command_table_t& t) {
    for (const auto& slot : standard_slots) {
        for (const auto& field : standard_fields) {
            if (field.only != nullptr && std::string(field.only) != slot.keyword) continue;
            const std::string pattern = std::string("[:SENSe#]:CORRection:COLLect:CKIT:") + slot.keyword + ':' + field.keyword;
            t.add(
                pattern,
                [slot, field](context_t& ctx) {
                    ctx.expect_params(1, 1);
                    const double value = ctx.real_param(0, field.unit);
                    if (!(value >= field.low && value <= field.high)) throw scpi_error(-222);
                    channel_kits_t list(ctx);
                    field.of(list.selected_kit().standards.*slot.member) = value;
                    list.store();
                },
                [slot, field](context_t& ctx) {
                    ctx.expect_params(0, 0);
                    channel_kits_t list(ctx);
                    ctx.answer_real(field.of(list.selected_kit().standards.*slot.member));
                });
        }
    }
}

// Saving coefficients or a finished calibration switches the channel's
// correction on, as the analyzer does.
void correction_on(context_t& ctx) { ctx.settings().set_value(correction_key, {ctx.suffix(0)}, true); }

channel_calibration_t& calibration_of(context_t& ctx) { return instrument_of(ctx).calibrations[ctx.suffix(0)]; }

// ---------------------------------------------------------------- calibrating

using physics::cal_method_t;

struct method_choice_t {
    const char* keyword;
    cal_method_t method;
};
const method_choice_t method_choices[] = {
    {"ROPen", cal_method_t::response_open}, {"RSHort", cal_method_t::response_short},
    {"RTHRu", cal_method_t::response_thru}, {"OPORt", cal_method_t::one_port},
    {"SOLT", cal_method_t::two_port},
};
std::vector<std::string> method_keywords() {
    std::vector<std::string> words;
    for (const auto& choice : method_choices) words.emplace_back(choice.keyword);
    return words;
}

// A standard of the selected kit connected in place of the device: a
// reflection standard on one port (the other port left open-circuited
// makes no difference to the port measured), the thru between the ports,
// or loads on both for isolation.
enum class standard_kind_t { open, short_, load, thru, isolation };

class standard_device_t : public physics::device_t {
public:
    standard_device_t(const physics::cal_kit_t& kit, standard_kind_t kind, int port) : kit_(kit), kind_(kind), port_(port) {}
    physics::sparams_t at(double f) const override {
        physics::complex_t g = 0.0;
        switch (kind_) {
            case standard_kind_t::thru: return physics::thru_sparams(kit_.thru, f);
            case standard_kind_t::isolation: g = physics::load_reflection(kit_.load, f); return {g, 0.0, 0.0, g};
            case standard_kind_t::open: g = physics::open_reflection(kit_.open, f); break;
            case standard_kind_t::short_: g = physics::short_reflection(kit_.short_, f); break;
            case standard_kind_t::load: g = physics::load_reflection(kit_.load, f); break;
        }
        return port_ == 2 ? physics::sparams_t{0.0, 0.0, 0.0, g} : physics::sparams_t{g, 0.0, 0.0, 0.0};
    }
    std::string description() const override { return "calibration standard"; }

private:
    physics::cal_kit_t kit_;
    standard_kind_t kind_;
    int port_;
};

struct standard_command_t {
    const char* node;
    const char* name;  // in the measured standards; reflections add the port
    standard_kind_t kind;
};
const standard_command_t standard_commands[] = {
    {"OPEN", "OPEN", standard_kind_t::open},   {"SHORt", "SHORT", standard_kind_t::short_},
    {"LOAD", "LOAD", standard_kind_t::load},   {"THRU", "THRU", standard_kind_t::thru},
    {"ISOLation", "ISOLATION", standard_kind_t::isolation},
};

int port_param(context_t& ctx, std::size_t index) {
    const std::int64_t port = ctx.integer_param(index);
    if (port < 1 || port > 2) throw scpi_error(-222);
    return static_cast<int>(port);
}

// Measures one standard as the technician would connect it: the device
// is replaced by the standard of the selected kit for this sweep.
void measure_standard_command(context_t& ctx, const standard_command_t& command) {
    const bool two_port = command.kind == standard_kind_t::thru || command.kind == standard_kind_t::isolation;
    int port = 1;
    if (two_port) {
        ctx.expect_params(0, 2);
        if (ctx.params().size() == 2 && port_param(ctx, 0) == port_param(ctx, 1)) throw scpi_error(-222);
    } else {
        ctx.expect_params(1, 1);
        port = port_param(ctx, 0);
    }
    instrument_t& inst = instrument_of(ctx);
    channel_kits_t list(ctx);
    const standard_device_t standard(list.selected_kit().standards, command.kind, port);
    const physics::sweep_data_t raw = measure_standard(inst, ctx.suffix(0), standard);
    const std::string name = std::string(command.name) + (two_port ? "" : std::to_string(port));
    calibration_of(ctx).standards[name] = {raw.frequency, raw.s};
}

// The coefficient buffer: the terms being written, on the calibration's
// grid, or (with none) identity terms on the present stimulus.
void prepare_coefficients(context_t& ctx, channel_calibration_t& cal) {
    if (!cal.coefficients.empty()) return;
    if (!cal.terms.empty()) {
        cal.coefficient_frequency = cal.frequency;
        cal.coefficients = cal.terms;
        return;
    }
    cal.coefficient_frequency = physics::frequencies(stimulus_of(ctx.settings(), ctx.suffix(0)));
    cal.coefficients.assign(cal.coefficient_frequency.size(), physics::error_terms_t{});
}

void register_calibration_commands(scpi::command_table_t& t) {
    // The method the next SAVE solves, with the port of a one-port or
    // reflection response method (default 1).
    t.add(
        "[:SENSe#]:CORRection:COLLect:METHod",
        [](context_t& ctx) {
            ctx.expect_params(1, 2);
            const std::size_t choice = ctx.choice_param(0, method_keywords());
            const int port = ctx.params().size() == 2 ? port_param(ctx, 1) : 1;
            channel_calibration_t& cal = calibration_of(ctx);
            cal.chosen = method_choices[choice].method;
            cal.chosen_port = port;
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            const channel_calibration_t& cal = calibration_of(ctx);
            for (const auto& choice : method_choices)
                if (choice.method == cal.chosen) ctx.answer(scpi::short_form(choice.keyword));
            ctx.answer_integer(cal.chosen_port);
        });
    for (const auto& command : standard_commands)
        t.add_command(std::string("[:SENSe#]:CORRection:COLLect[:ACQuire]:") + command.node,
                      [&command](context_t& ctx) { measure_standard_command(ctx, command); });
    t.add_command("[:SENSe#]:CORRection:COLLect:CLEar", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        calibration_of(ctx).standards.clear();
    });
    // Solves the chosen method from the measured standards and the models of
    // the kit selected now; a missing standard changes nothing (-200).
    t.add_command("[:SENSe#]:CORRection:COLLect:SAVE", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        channel_kits_t list(ctx);
        channel_calibration_t& cal = calibration_of(ctx);
        channel_calibration_t solved = cal;
        solve_calibration(solved, cal.chosen, cal.chosen_port, list.selected_kit().standards);
        solved.coefficients.clear();
        cal = std::move(solved);
        correction_on(ctx);
        update_calibration_status(instrument_of(ctx));
    });
    // How the calibration covers the present stimulus: NONE, VALid,
    // INTerpolated (inside its range) or INValid (beyond it).
    t.add_query("[:SENSe#]:CORRection:VALidity", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        static const char* const words[] = {"NONE", "VAL", "INT", "INV"};
        const auto v = validity(calibration_of(ctx), physics::frequencies(stimulus_of(ctx.settings(), ctx.suffix(0))));
        update_calibration_status(instrument_of(ctx));
        ctx.answer(words[static_cast<int>(v)]);
    });

    // Error terms, one command per term and port: re,im per point of the
    // calibration's grid. Writes gather until COEFficient:SAVE.
    for (const char* name : {"ED", "ES", "ER", "EL", "ET", "EX"}) {
        const std::string term = name;
        t.add(
            "[:SENSe#]:CORRection:COEFficient:" + term + "#",
            [term](context_t& ctx) {
                const error_term_t* which = find_error_term(term, ctx.suffix(1));
                if (which == nullptr) throw scpi_error(-114);
                channel_calibration_t& cal = calibration_of(ctx);
                prepare_coefficients(ctx, cal);
                const std::vector<double> values = values_param(ctx, 2 * cal.coefficients.size());
                for (std::size_t k = 0; k < cal.coefficients.size(); ++k) {
                    if (!std::isfinite(values[2 * k]) || !std::isfinite(values[2 * k + 1])) throw scpi_error(-222);
                }
                for (std::size_t k = 0; k < cal.coefficients.size(); ++k)
                    cal.coefficients[k].*which->member = {values[2 * k], values[2 * k + 1]};
            },
            [term](context_t& ctx) {
                ctx.expect_params(0, 0);
                const error_term_t* which = find_error_term(term, ctx.suffix(1));
                if (which == nullptr) throw scpi_error(-114);
                const channel_calibration_t& cal = calibration_of(ctx);
                if (cal.terms.empty()) throw scpi_error(-200, "Execution error; no calibration");
                std::vector<double> values;
                values.reserve(2 * cal.terms.size());
                for (const auto& e : cal.terms) {
                    values.push_back((e.*which->member).real());
                    values.push_back((e.*which->member).imag());
                }
                answer_values(ctx, values);
            });
    }
    // The written terms become the calibration (of the chosen method).
    t.add_command("[:SENSe#]:CORRection:COEFficient:SAVE", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        channel_calibration_t& cal = calibration_of(ctx);
        prepare_coefficients(ctx, cal);
        cal.method = cal.chosen;
        cal.port = cal.chosen_port;
        cal.frequency = std::move(cal.coefficient_frequency);
        cal.terms = std::move(cal.coefficients);
        cal.coefficient_frequency.clear();
        cal.coefficients.clear();
        ++cal.generation;
        correction_on(ctx);
        update_calibration_status(instrument_of(ctx));
    });
}

}  // namespace

void register_correction_commands(scpi::command_table_t& t) {
    t.add_setting(boolean_setting(correction_key, false));
    t.add_setting(real_setting("[:SENSe#]:CORRection:EXTension:PORT#:VELFactor", 1.0).range(0.01, 10));
    t.add_setting(boolean_setting(":SOURce#:POWer:PORT#:CORRection[:STATe]", false));
    t.add_setting(integer_setting(":SOURce#:POWer:PORT#:CORRection:COLLect:AVERage", 1).range(1, 100));
    t.add_setting(boolean_setting("[:SENSe#]:CORRection:COLLect:ECAL:ORIentation[:STATe]", true));
    register_calibration_commands(t);

    // The selected kit: its name and description are strings, sent and
    // answered between quotes.
    add_kit_text(t, "[:SENSe#]:CORRection:COLLect:CKIT:NAME", &kit_t::name, true);
    add_kit_text(t, "[:SENSe#]:CORRection:COLLect:CKIT:DESCription", &kit_t::description, false);
    add_kit_choice(t, "[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:IMPedance", &kit_t::impedance, impedance_choices);
    add_kit_choice(t, "[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:RPLane", &kit_t::plane, plane_choices);
    add_standard_fields(t);

    // Selection by catalog number.
    t.add(
        selected_key,
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            const std::int64_t number = ctx.integer_param(0);
            channel_kits_t list(ctx);
            if (number < 1 || static_cast<std::size_t>(number) > list.kits.size()) throw scpi_error(-222);
            list.selected = static_cast<std::size_t>(number);
            list.store();
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(static_cast<std::int64_t>(channel_kits_t(ctx).selected));
        });
    // The catalog: the kit names in order, comma separated, in one string.
    t.add_query(kits_key, [](context_t& ctx) {
        channel_kits_t list(ctx);
        std::string names;
        for (const auto& kit : list.kits) names += (names.empty() ? "" : ",") + kit.name;
        answer_text(ctx, names);
    });
    t.add_query("[:SENSe#]:CORRection:CKIT:COUNt", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(channel_kits_t(ctx).kits.size()));
    });
    // Deletes a kit by name; the selection stays on the same kit where it
    // can. The last kit stays: a channel always has one selected.
    t.add_command("[:SENSe#]:CORRection:CKIT:CLEar", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const std::string name = ctx.string_param(0);
        channel_kits_t list(ctx);
        const std::size_t at = list.find(name);
        if (at == std::string::npos) throw scpi_error(-224);
        if (list.kits.size() == 1) throw scpi_error(-221);
        list.kits.erase(list.kits.begin() + static_cast<std::ptrdiff_t>(at));
        if (at + 1 < list.selected || list.selected > list.kits.size()) --list.selected;
        list.store();
    });
    // Restores a factory kit by name, putting it back when it was deleted.
    t.add_command("[:SENSe#]:CORRection:CKIT:INITialize", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const std::string name = ctx.string_param(0);
        for (const auto& kit : factory_kits()) {
            if (kit.name != name) continue;
            channel_kits_t list(ctx);
            put_kit(list, kit);
            list.store();
            return;
        }
        throw scpi_error(-224);
    });
    // EXPort "kit","file": the named kit into a kit file of the instrument.
    t.add_command("[:SENSe#]:CORRection:CKIT:EXPort", [](context_t& ctx) {
        ctx.expect_params(2, 2);
        const std::string name = ctx.string_param(0);
        const std::string file = file_param(ctx, 1);
        channel_kits_t list(ctx);
        const std::size_t at = list.find(name);
        if (at == std::string::npos) throw scpi_error(-224);
        auto files = read_files(ctx);
        for (auto& entry : files) {
            if (entry.first != file) continue;
            entry.second = list.kits[at];
            write_files(ctx, files);
            return;
        }
        if (files.size() >= max_kit_files) throw scpi_error(-225);
        files.emplace_back(file, list.kits[at]);
        write_files(ctx, files);
    });
    // IMPort "file": the file's kit joins the catalog (replacing a kit of the same name).
    t.add_command("[:SENSe#]:CORRection:CKIT:IMPort", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        std::vector<std::pair<std::string, kit_t>> files;
        const kit_t& kit = kit_file(ctx, file_param(ctx, 0), files);
        channel_kits_t list(ctx);
        put_kit(list, kit);
        list.store();
    });
    // LOAD "file": the selected kit takes the file's definition, name included.
    t.add_command("[:SENSe#]:CORRection:CKIT:LOAD", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        std::vector<std::pair<std::string, kit_t>> files;
        const kit_t& kit = kit_file(ctx, file_param(ctx, 0), files);
        channel_kits_t list(ctx);
        list.require_unique(kit.name, list.selected - 1);
        list.selected_kit() = kit;
        list.store();
    });
    // The selected kit as a definite-length block, in the kit file form.
    t.add(
        "[:SENSe#]:CORRection:CKIT:DATA",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            kit_t kit;
            if (!decode(ctx.block_param(0), kit)) throw scpi_error(-230);
            channel_kits_t list(ctx);
            list.require_unique(kit.name, list.selected - 1);
            list.selected_kit() = kit;
            list.store();
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            channel_kits_t list(ctx);
            ctx.answer_block(encode(list.selected_kit()));
        });
    // The kit files' names.
    t.add_query(files_key, [](context_t& ctx) {
        std::string names;
        for (const auto& entry : read_files(ctx)) names += (names.empty() ? "" : ",") + entry.first;
        answer_text(ctx, names);
    });

    // Storage behind the commands above.
    t.add_setting(string_setting(kits_key, encode_list(factory_kits())).keeping_over_reset());
    t.add_setting(integer_setting(selected_key, 1).keeping_over_reset());
    t.add_setting(string_setting(files_key, "").keeping_over_reset());
}

}  // namespace zorsim
