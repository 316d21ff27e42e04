// The simulated analyzer's state behind the SCPI engine: settings (in the
// device base), the IEEE 488.2 / SCPI status model and the error queue.
// Not thread-safe by itself: analyzer_t serializes every access.
#pragma once

#include <zorsim/scpi.h>

#include "correction.h"
#include "physics/chain.h"

#include <chrono>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zorsim {

// An SCPI status register (OPERation, QUEStionable): condition, latched
// event (through the transition filters), enable.
struct status_register_t {
    std::uint16_t condition = 0;
    std::uint16_t event = 0;
    std::uint16_t enable = 0;
    std::uint16_t ptransition = 0x7FFF;
    std::uint16_t ntransition = 0;

    // Changes the condition register; transitions latch into the event register.
    void set_condition(std::uint16_t value);
    std::uint16_t read_event() {  // read clears
        std::uint16_t e = event;
        event = 0;
        return e;
    }
    bool summary() const { return (event & enable) != 0; }
    void preset() {  // STATus:PRESet
        enable = 0;
        ptransition = 0x7FFF;
        ntransition = 0;
    }
};

// ESR bits.
enum : std::uint8_t {
    esr_operation_complete = 0x01,
    esr_request_control = 0x02,
    esr_query_error = 0x04,
    esr_device_error = 0x08,
    esr_execution_error = 0x10,
    esr_command_error = 0x20,
    esr_user_request = 0x40,
    esr_power_on = 0x80,
};

// STB bits.
enum : std::uint8_t {
    stb_error_queue = 0x04,
    stb_questionable = 0x08,
    stb_message_available = 0x10,
    stb_event_status = 0x20,
    stb_master_summary = 0x40,
    stb_operation = 0x80,
};

// Which traces exist, the channel that measures each and the window that
// shows it, the shown windows, and the active channel, trace, window and
// marker. Trace numbers are global (trace 3 belongs to one channel only).
// Settings addressed by channel and trace number do not depend on it: a
// trace's settings exist for every channel and trace number in range, shown
// or not, so a command may address any of them; only the selection, list,
// create, delete and move commands look at the layout.
struct layout_t {
    struct trace_t {
        int channel = 1;
        int window = 1;
    };
    std::map<int, trace_t> traces;  // by trace number
    std::set<int> windows;          // shown windows
    int active_channel = 1;
    int active_trace = 1;
    int active_window = 1;
    std::map<std::pair<int, int>, int> active_markers;  // (channel, trace) -> marker; 1 when absent

    // The power-on and *RST layout: channel 1 measures traces 1 and 2 shown
    // in window 1, channel 2 traces 3 and 4 shown in window 2; channel 1,
    // trace 1 and window 1 active.
    void reset();

    std::vector<int> channels() const;  // channels with at least one trace, ascending
    std::vector<int> traces_of_channel(int channel) const;
    std::vector<int> traces_of_window(int window) const;
    std::vector<int> trace_numbers() const;
    std::vector<int> window_numbers() const { return {windows.begin(), windows.end()}; }
    bool has_trace(int trace) const { return traces.count(trace) != 0; }
    bool shown(int window) const { return windows.count(window) != 0; }

    // Selection follows the layout: selecting a trace selects its channel and
    // window; selecting a channel or a window selects its first trace (unless
    // the active trace is already one of its own). Each returns false, and
    // changes nothing, when the channel has no trace or the trace or window
    // does not exist.
    bool select_trace(int trace);
    bool select_channel(int channel);
    bool select_window(int window);
    // Keeps the selection on existing things after a trace or window went away.
    void repair_selection();
};

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
    static constexpr std::size_t error_queue_capacity = 20;

    struct queued_error_t {
        int code;
        std::string message;
    };

    explicit instrument_t(const scpi::command_table_t& table);

    // Queues the error (bounded: the last entry becomes -350 "Queue
    // overflow" when full) and sets the ESR bit of its class.
    void report_error(int code, const std::string& message) override;
    // The oldest error, removed; none when the queue is empty.
    std::optional<queued_error_t> next_error();
    std::size_t error_count() const { return errors_.size(); }
    void clear_errors() { errors_.clear(); }

    std::uint8_t status_byte() const;  // *STB?
    void clear_status();               // *CLS
    void reset();                      // *RST: settings to their defaults
    void power_on();                   // factory state: everything

    std::uint8_t esr = 0;  // standard event status register
    std::uint8_t ese = 0;  // its enable
    std::uint8_t sre = 0;  // service request enable
    status_register_t operation;
    status_register_t questionable;
    std::string identity;
    layout_t layout;
    // Limit tables by (channel, trace), as their reply text; none: "0".
    std::map<std::pair<int, int>, std::string> limit_tables;
    simulation_t simulation;
    std::map<int, channel_sweep_t> sweeps;  // by channel
    std::map<int, channel_calibration_t> calibrations;  // by channel; kept over *RST
    sim_clock_t::time_point epoch = sim_clock_t::now();  // continuous sweeps count from here
    bool opc_pending = false;  // *OPC sent while a sweep ran
    // While set, errors are dropped: the display reads the instrument through
    // its own queries and must leave no trace in the error queue.
    bool quiet = false;

private:
    std::deque<queued_error_t> errors_;
};

}  // namespace zorsim
