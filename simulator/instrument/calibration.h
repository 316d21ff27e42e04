// A channel's calibration between the SCPI commands and the physics: the
// raw measurements of standards, the error terms solved from them (or
// written), and their use on a sweep's raw data.
#pragma once

#include "physics/cal_kit.h"
#include "physics/calibration.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zorsim {

// Raw data of one standard over the grid it was measured on, and the kit
// that was connected (the kit selected at that moment).
struct measured_standard_t {
    std::vector<double> frequency;
    std::vector<physics::sparams_t> raw;
};

struct channel_calibration_t {
    // Keyed "OPEN1", "SHORT2", "LOAD1", "THRU", "ISOLATION".
    std::map<std::string, measured_standard_t> standards;
    // The calibration in use: method, port, grid and terms per point.
    physics::cal_method_t method = physics::cal_method_t::none;
    int port = 1;
    std::vector<double> frequency;
    std::vector<physics::error_terms_t> terms;
    std::uint64_t generation = 0;  // counts calibrations saved
    // The method the next SAVE solves (COLLect:METHod) and its port.
    physics::cal_method_t chosen = physics::cal_method_t::two_port;
    int chosen_port = 1;
    // Terms being written by COEFficient commands, on `coefficient_frequency`.
    std::vector<double> coefficient_frequency;
    std::vector<physics::error_terms_t> coefficients;
};

// The twelve terms by name as COEFficient commands address them: ED, ES,
// ER of a port (receiver = driver); EL, ET, EX at the receiving port with
// the other one driving.
struct error_term_t {
    const char* name;
    int receiver, driver;
    physics::complex_t physics::error_terms_t::*member;
};
extern const error_term_t error_term_table[12];
const error_term_t* find_error_term(const std::string& name, int receiver);

enum class cal_validity_t { none, valid, interpolated, invalid };

// How the calibration covers a grid: valid on its own grid, interpolated
// inside its range, invalid beyond it.
cal_validity_t validity(const channel_calibration_t& cal, const std::vector<double>& frequency);

// The calibration's terms on a grid (interpolated linearly between its
// points); empty when it does not cover the grid.
std::vector<physics::error_terms_t> terms_on(const channel_calibration_t& cal, const std::vector<double>& frequency);

// Corrects raw data in place where the calibration covers their grid;
// data it does not cover stay raw.
void apply_calibration(const channel_calibration_t& cal, physics::sweep_data_t& data);

// Solves the method's terms from the measured standards and the kit's
// models. Throws scpi_error -200 naming a standard that is missing or was
// measured on another grid.
void solve_calibration(channel_calibration_t& cal, physics::cal_method_t method, int port,
                       const physics::cal_kit_t& kit);

}  // namespace zorsim
