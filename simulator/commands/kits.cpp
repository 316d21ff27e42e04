// Calibration kits: each channel's catalog and the kit it selects, the
// selected kit's name, description, TRL options and standards, and the kit
// files the channels share. The kit commands without COLLect (count,
// clear, import, export, load, initialize) act on the channel's catalog,
// the COLLect:CKIT ones on its selected kit. Kit numbers are positions in
// the catalog, so deleting a kit moves the later ones down by one.
//
// Each kit defines its standards (open, short, load, thru) the way the
// calibration uses them: offset delay, loss and Z0, the open's C0..C3, the
// short's L0..L3 and the load's impedance.
#include "commands.h"

#include <simulator/instrument/kits.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorsim {

namespace {

using physics::standard_t;

kit_catalog_t& catalog_of(context_t& ctx) { return instrument_of(ctx).kits.catalogs[ctx.suffix(0)]; }

kit_t& selected_kit(kit_catalog_t& catalog) { return catalog.selected_kit(); }

// A kit under a name no other kit has (`except` may keep its own).
void require_unique(const kit_catalog_t& catalog, const std::string& name, std::size_t except) {
    const std::size_t at = catalog.find(name);
    if (at != std::string::npos && at != except) throw scpi_error(-221, "Settings conflict; kit name in use");
}

// Puts `kit` under its name: replaces the kit of that name, or appends it.
void put_kit(kit_catalog_t& catalog, const kit_t& kit) {
    const std::size_t at = catalog.find(kit.name);
    if (at != std::string::npos) {
        catalog.kits[at] = kit;
        return;
    }
    if (catalog.kits.size() >= max_kits) throw scpi_error(-223);
    catalog.kits.push_back(kit);
}

std::string file_param(context_t& ctx, std::size_t index) {
    const std::string file = ctx.string_param(index);
    if (file.empty() || !valid_kit_text(file)) throw scpi_error(-257);
    return file;
}

const kit_t& kit_file(context_t& ctx, const std::string& file) {
    for (const auto& entry : instrument_of(ctx).kits.files)
        if (entry.first == file) return entry.second;
    throw scpi_error(-256);
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
            if (is_name ? !valid_kit_name(text) : !valid_kit_text(text)) throw scpi_error(-224);
            kit_catalog_t& catalog = catalog_of(ctx);
            kit_t& kit = selected_kit(catalog);
            if (is_name) require_unique(catalog, text, catalog.selected - 1);
            kit.*field = text;
        },
        [field](context_t& ctx) { answer_text(ctx, selected_kit(catalog_of(ctx)).*field); });
}

// A TRL option of the selected kit.
void add_kit_choice(scpi::command_table_t& t, const char* pattern, std::size_t kit_t::*field,
                    const std::vector<std::string>& choices) {
    t.add(
        pattern,
        [field, &choices](context_t& ctx) {
            ctx.expect_params(1, 1);
            const std::size_t value = ctx.choice_param(0, choices);
            selected_kit(catalog_of(ctx)).*field = value;
        },
        [field, &choices](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer(scpi::short_form(choices[selected_kit(catalog_of(ctx)).*field]));
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
                    field.of(selected_kit(catalog_of(ctx)).standards.*slot.member) = value;
                },
                [slot, field](context_t& ctx) {
                    ctx.expect_params(0, 0);
                    ctx.answer_real(field.of(selected_kit(catalog_of(ctx)).standards.*slot.member));
                });
        }
    }
}

}  // namespace

void register_kit_commands(scpi::command_table_t& t) {
    // The selected kit: its name and description are strings, sent and
    // answered between quotes.
    add_kit_text(t, "[:SENSe#]:CORRection:COLLect:CKIT:NAME", &kit_t::name, true);
    add_kit_text(t, "[:SENSe#]:CORRection:COLLect:CKIT:DESCription", &kit_t::description, false);
    add_kit_choice(t, "[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:IMPedance", &kit_t::impedance, impedance_choices);
    add_kit_choice(t, "[:SENSe#]:CORRection:COLLect:CKIT:TRLoption:RPLane", &kit_t::plane, plane_choices);
    add_standard_fields(t);

    // Selection by catalog number.
    t.add(
        "[:SENSe#]:CORRection:COLLect:CKIT",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            const std::int64_t number = ctx.integer_param(0);
            kit_catalog_t& catalog = catalog_of(ctx);
            if (number < 1 || static_cast<std::size_t>(number) > catalog.kits.size()) throw scpi_error(-222);
            catalog.selected = static_cast<std::size_t>(number);
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_integer(static_cast<std::int64_t>(catalog_of(ctx).selected));
        });
    // The catalog: the kit names in order, comma separated, in one string.
    t.add_query("[:SENSe#]:CORRection:COLLect:CKIT:CATalog", [](context_t& ctx) {
        std::string names;
        for (const auto& kit : catalog_of(ctx).kits) names += (names.empty() ? "" : ",") + kit.name;
        answer_text(ctx, names);
    });
    t.add_query("[:SENSe#]:CORRection:CKIT:COUNt", [](context_t& ctx) {
        ctx.expect_params(0, 0);
        ctx.answer_integer(static_cast<std::int64_t>(catalog_of(ctx).kits.size()));
    });
    // Deletes a kit by name; the selection stays on the same kit where it
    // can. The last kit stays: a channel always has one selected.
    t.add_command("[:SENSe#]:CORRection:CKIT:CLEar", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const std::string name = ctx.string_param(0);
        kit_catalog_t& catalog = catalog_of(ctx);
        const std::size_t at = catalog.find(name);
        if (at == std::string::npos) throw scpi_error(-224);
        if (catalog.kits.size() == 1) throw scpi_error(-221);
        catalog.kits.erase(catalog.kits.begin() + static_cast<std::ptrdiff_t>(at));
        if (at + 1 < catalog.selected || catalog.selected > catalog.kits.size()) --catalog.selected;
    });
    // Restores a factory kit by name, putting it back when it was deleted.
    t.add_command("[:SENSe#]:CORRection:CKIT:INITialize", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const std::string name = ctx.string_param(0);
        for (const auto& kit : factory_kits()) {
            if (kit.name != name) continue;
            put_kit(catalog_of(ctx), kit);
            return;
        }
        throw scpi_error(-224);
    });
    // EXPort "kit","file": the named kit into a kit file of the instrument.
    t.add_command("[:SENSe#]:CORRection:CKIT:EXPort", [](context_t& ctx) {
        ctx.expect_params(2, 2);
        const std::string name = ctx.string_param(0);
        const std::string file = file_param(ctx, 1);
        const kit_catalog_t& catalog = catalog_of(ctx);
        const std::size_t at = catalog.find(name);
        if (at == std::string::npos) throw scpi_error(-224);
        auto& files = instrument_of(ctx).kits.files;
        for (auto& entry : files) {
            if (entry.first != file) continue;
            entry.second = catalog.kits[at];
            return;
        }
        if (files.size() >= max_kit_files) throw scpi_error(-225);
        files.emplace_back(file, catalog.kits[at]);
    });
    // IMPort "file": the file's kit joins the catalog (replacing a kit of the same name).
    t.add_command("[:SENSe#]:CORRection:CKIT:IMPort", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const kit_t kit = kit_file(ctx, file_param(ctx, 0));
        put_kit(catalog_of(ctx), kit);
    });
    // LOAD "file": the selected kit takes the file's definition, name included.
    t.add_command("[:SENSe#]:CORRection:CKIT:LOAD", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        const kit_t kit = kit_file(ctx, file_param(ctx, 0));
        kit_catalog_t& catalog = catalog_of(ctx);
        require_unique(catalog, kit.name, catalog.selected - 1);
        selected_kit(catalog) = kit;
    });
    // The selected kit as a definite-length block, in the kit file form.
    t.add(
        "[:SENSe#]:CORRection:CKIT:DATA",
        [](context_t& ctx) {
            ctx.expect_params(1, 1);
            kit_t kit;
            if (!decode(ctx.block_param(0), kit)) throw scpi_error(-230);
            kit_catalog_t& catalog = catalog_of(ctx);
            require_unique(catalog, kit.name, catalog.selected - 1);
            selected_kit(catalog) = kit;
        },
        [](context_t& ctx) {
            ctx.expect_params(0, 0);
            ctx.answer_block(encode(selected_kit(catalog_of(ctx))));
        });
    // The kit files' names.
    t.add_query("[:SENSe]:CORRection:CKIT:FILE:CATalog", [](context_t& ctx) {
        std::string names;
        for (const auto& entry : instrument_of(ctx).kits.files) names += (names.empty() ? "" : ",") + entry.first;
        answer_text(ctx, names);
    });
}

}  // namespace zorsim
