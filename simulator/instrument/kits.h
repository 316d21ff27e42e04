// The calibration kits: each channel's catalog of kits (the factory kits
// until changed) with the kit it selects, and the kit files the channels
// share. Like files, they outlive *RST and a preset; a power-on restores
// the factory's. Kit numbers are positions in the catalog.
#pragma once

#include <simulator/physics/cal_kit.h>

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zorsim {

// Bounds that keep a client from growing the kit lists without end.
constexpr std::size_t max_kits = 30;
constexpr std::size_t max_kit_files = 64;
constexpr std::size_t max_kit_text = 254;  // a name, a description, a file name

// The TRL options' mnemonics, in the order kit_t keeps them.
extern const std::vector<std::string> impedance_choices;  // SYSTem, LINE
extern const std::vector<std::string> plane_choices;      // THRU, REFLect

struct kit_t {
    std::string name;
    std::string description;
    std::size_t impedance = 0;  // into impedance_choices
    std::size_t plane = 0;      // into plane_choices
    physics::cal_kit_t standards = physics::ideal_kit();
};

// The standards in kit order, with the node that names each.
struct standard_slot_t {
    const char* keyword;
    physics::standard_t physics::cal_kit_t::*member;
};
extern const standard_slot_t standard_slots[4];

const std::vector<kit_t>& factory_kits();

struct kit_catalog_t {
    std::vector<kit_t> kits = factory_kits();
    std::size_t selected = 1;  // from 1

    // Position (from 0) of the kit with this name, or npos.
    std::size_t find(const std::string& name) const;
    // A catalog always keeps one kit, so there is always one selected.
    kit_t& selected_kit() { return kits.at(selected - 1); }
};

struct kit_store_t {
    std::map<int, kit_catalog_t> catalogs;            // by channel
    std::vector<std::pair<std::string, kit_t>> files;  // file name, kit
};

// A kit as one line of tab-separated fields: the form of a kit file and of
// the DATA block. Numbers in their shortest exact text, so a kit keeps
// every bit through a file.
std::string encode(const kit_t& kit);
// False when the text is not a well-formed kit. A kit without its
// standards (the four text fields alone) has ideal ones.
bool decode(const std::string& line, kit_t& kit);

// A name must be non-empty and must not break the comma-separated catalog.
bool valid_kit_name(const std::string& name);
bool valid_kit_text(const std::string& text);  // a description or a file name: bounded, no control characters

}  // namespace zorsim
