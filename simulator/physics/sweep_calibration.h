// Calibration over a whole sweep: the standards measured on a grid, the
// error terms solved from them point by point, and their use on raw data
// measured on the same grid or, interpolated, inside its range.
#pragma once

#include "cal_kit.h"
#include "calibration.h"
#include "chain.h"
#include "devices.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorsim::physics {

// What cannot be solved (a standard missing or measured on another grid);
// what() says which.
class calibration_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The twelve terms of error_terms_t, to walk them all.
extern complex_t error_terms_t::* const error_term_members[12];

enum class standard_kind_t { open, short_, load, thru, isolation };

// A standard of the kit connected in place of the device: a reflection
// standard on one port (the other port left open makes no difference to the
// port measured), the thru between the ports, or loads on both (isolation).
std::unique_ptr<device_t> standard_device(const cal_kit_t& kit, standard_kind_t kind, int port);
// The name a measured standard goes by: "OPEN1", "SHORT2", "LOAD1", "THRU", "ISOLATION".
std::string standard_name(standard_kind_t kind, int port);

// Raw data of one standard over the grid it was measured on.
struct measured_standard_t {
    std::vector<double> frequency;
    std::vector<sparams_t> raw;
};
using measured_standards_t = std::map<std::string, measured_standard_t>;

// The calibration in use: method, port, grid and terms per point.
struct sweep_calibration_t {
    cal_method_t method = cal_method_t::none;
    int port = 1;
    std::vector<double> frequency;
    std::vector<error_terms_t> terms;
};

enum class cal_validity_t { none, valid, interpolated, invalid };

// How the calibration covers a grid: valid on its own grid, interpolated
// inside its range, invalid beyond it.
cal_validity_t validity(const sweep_calibration_t& cal, const std::vector<double>& frequency);

// The calibration's terms on a grid (interpolated linearly between its
// points); empty when it does not cover the grid.
std::vector<error_terms_t> terms_on(const sweep_calibration_t& cal, const std::vector<double>& frequency);

// Corrects raw data in place where the calibration covers their grid;
// data it does not cover stay raw.
void apply_calibration(const sweep_calibration_t& cal, sweep_data_t& data);

// Solves the method's terms from the measured standards and the kit's
// models. Throws calibration_error naming a standard that is missing or was
// measured on another grid.
sweep_calibration_t solve_calibration(const measured_standards_t& standards, cal_method_t method, int port,
                                      const cal_kit_t& kit);

}  // namespace zorsim::physics
