// The IEEE 488.2 and SCPI status model: the event status register, the
// status byte's bits, the OPERation and QUEStionable registers, and the
// error queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

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

// OPERation bits a sweep sets.
constexpr std::uint16_t operation_sweeping = 1u << 3;
constexpr std::uint16_t operation_measuring = 1u << 4;
// The QUEStionable bit of a correction in doubt (interpolated, or beyond its calibration).
constexpr std::uint16_t questionable_calibration = 1u << 8;

// The error queue: bounded, its last entry becomes -350 "Queue overflow"
// when full.
class error_queue_t {
public:
    static constexpr std::size_t capacity = 20;

    struct entry_t {
        int code;
        std::string message;
    };
    void push(int code, const std::string& message);
    // The oldest error, removed; none when the queue is empty.
    std::optional<entry_t> pop();
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }

private:
    std::deque<entry_t> entries_;
};

}  // namespace zorsim
