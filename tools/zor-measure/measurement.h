// What zor-measure asks of the analyzer and what it brings back: plain data,
// shared by the instrument sequence, the file writers and the plot.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace zor_measure {

// One segment of a limit mask: a straight line from (start, start_db) to
// (stop, stop_db) that the magnitude must stay below (upper) or above (lower).
struct limit_segment_t {
    enum kind_t { upper, lower } kind = upper;
    double start = 0, stop = 0;        // Hz
    double start_db = 0, stop_db = 0;  // dB
};

struct settings_t {
    std::string resource = "SIM::measure::INSTR";
    double start = 3.5e9, stop = 5.5e9;  // Hz
    int points = 201;
    double if_bandwidth = 1e3;  // Hz
    double power = -10;         // dBm
    int averages = 1;           // 1: averaging off
    std::vector<std::string> parameters{"S11", "S21", "S12", "S22"};
    std::string search_parameter;  // empty: S21 when measured, else the first
    double bandwidth_level = 3;    // dB below the peak
    std::vector<limit_segment_t> mask;
    std::string limit_parameter;  // empty: as the search
    double timeout = 60;          // s, for each sweep
    bool calibrate = false;      // full two-port calibration before the sweep
    bool calibrate_simulated = false;  // the same, only when the analyzer is simulated
    std::string cal_kit;         // empty: the kit selected on the analyzer
    bool confirmed = false;      // --yes: a technician connects the standards
};

// The searches on one trace: the peak (maximum search) and the band around it.
struct search_result_t {
    std::string parameter;
    double peak_frequency = 0, peak_db = 0;
    bool has_band = false;  // false when a band edge lies outside the sweep
    double bandwidth = 0, center = 0, q = 0, loss = 0;
    double level_db = 0;  // where the band was measured
};

struct limit_result_t {
    std::string parameter;
    bool tested = false;
    bool passed = true;
    std::vector<double> failed_frequencies;
};

struct trace_data_t {
    std::string parameter;  // "S11", ...
    std::vector<std::complex<double>> values;
};

struct measurement_t {
    std::string identity, serial, firmware, driver_revision;
    std::vector<double> frequency;  // Hz, one per point
    std::vector<trace_data_t> traces;
    search_result_t search;
    limit_result_t limit;
    std::vector<limit_segment_t> mask;

    const trace_data_t* trace(const std::string& parameter) const {
        for (const auto& t : traces)
            if (t.parameter == parameter) return &t;
        return nullptr;
    }
};

}  // namespace zor_measure
