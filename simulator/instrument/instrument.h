// The simulated analyzer's state behind the SCPI engine: its settings (in
// the device base), the setup, the status model, the sweeps, calibrations,
// kits and files. Not thread-safe by itself: the analyzer serializes every
// access.
#pragma once

#include "calibration.h"
#include "kits.h"
#include "setup.h"
#include "status.h"
#include "volume.h"

#include <simulator/physics/chain.h>
#include <simulator/physics/devices.h>
#include <simulator/scpi/table.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zorsim {

extern const char* const default_identity;

// What the simulator adds to the instrument: the device on its ports and
// how it measures (simulator-only commands set these; *RST keeps them).
struct simulation_t {
    physics::device_ptr dut;    // the default band-pass filter unless chosen
    bool instant = false;       // sweeps take no time
    bool noise = true;          // receiver noise on the raw data
    bool errors = true;         // the test set's systematic errors on the raw data
    std::uint64_t seed = 1;     // of the noise: the same seed repeats a run
    physics::chain_stages_t stages;  // test set, correction, time domain
};

using sim_clock_t = std::chrono::steady_clock;

// The last sweep of one channel: data change only when a sweep runs.
struct channel_sweep_t {
    bool valid = false;
    std::string key;            // the stimulus and receiver it was taken with
    std::uint64_t index = 0;    // which sweep (seeds its noise)
    physics::stimulus_t stimulus;
    std::vector<double> x;      // x axis
    physics::sweep_data_t raw;        // what the receivers measured
    physics::sweep_data_t corrected;  // raw through the channel's correction
    std::string correction_key;       // the correction `corrected` was made with
    sim_clock_t::time_point busy_until{};  // a triggered sweep runs until then
};

class instrument_t : public scpi::device_t {
public:
    explicit instrument_t(const scpi::command_table_t& table);

    // Queues the error and sets the ESR bit of its class.
    void report_error(int code, const std::string& message) override;

    std::uint8_t status_byte() const;  // *STB?
    void clear_status();               // *CLS
    void reset();                      // *RST: settings and setup to their defaults
    void power_on();                   // factory state: everything

    // Run after each sweep of a channel, in order (the tracking marker
    // searches): what the commands above ask of every sweep. A hook that
    // reads a trace reads the sweep just taken; none runs from within another.
    using sweep_hook_t = std::function<void(instrument_t&, int channel)>;
    std::vector<sweep_hook_t> after_sweep;
    void run_after_sweep(int channel);

    error_queue_t errors;
    std::uint8_t esr = 0;  // standard event status register
    std::uint8_t ese = 0;  // its enable
    std::uint8_t sre = 0;  // service request enable
    status_register_t operation;
    status_register_t questionable;
    std::string identity;
    setup_t setup;
    simulation_t simulation;
    std::map<int, channel_sweep_t> sweeps;              // by channel
    std::map<int, channel_calibration_t> calibrations;  // by channel; kept over *RST
    kit_store_t kits;                                   // kept over *RST
    volume_t volume;                                    // kept over *RST
    sim_clock_t::time_point epoch = sim_clock_t::now();  // continuous sweeps count from here
    bool opc_pending = false;  // *OPC sent while a sweep ran

private:
    bool in_after_sweep_ = false;
};

}  // namespace zorsim
