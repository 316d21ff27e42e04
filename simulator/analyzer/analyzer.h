// The simulated two-port network analyzer: one object per instrument,
// speaking SCPI through whole program messages. Transports (the in-process
// VISA resource, the servers) feed it messages and collect its replies.
// This is the simulator's public face: the layers below it (instrument,
// commands, physics...) are its own.
#pragma once

#include <simulator/display/display.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zorsim {

// What one program message produced.
struct response_t {
    std::int32_t write_status = 0;  // the status the transport reports for the write: 0, or a scripted fault
    bool has_reply = false;         // the message held a query (or a script queued a reply)
    std::string reply;              // one response message, terminating line feed included
    std::int32_t read_status = 0;   // non-zero: the transport reports this VISA status on the read of it
};

// A scripted answer for tests: when a received program message equals
// `message` (case-insensitively, surrounding white space ignored), the
// analyzer does not process it and does what the script says instead.
struct script_t {
    std::string message;
    std::optional<std::string> reply;  // queued verbatim (a line feed is appended when missing); none: no reply
    std::int32_t read_status = 0;      // non-zero: the next read reports this status (with or without reply)
    std::int32_t write_status = 0;     // non-zero: the write of this message reports this status
    int times = 1;                     // how many matching messages it answers; negative: every one
};

// The locks LAN clients take on the instrument (VXI-11 device_lock, HiSLIP
// AsyncLock), shared by every server of one analyzer so a lock taken over
// one protocol holds against the others. Either one exclusive holder, or
// any number of holders sharing one key. Owners are numbers from
// new_owner(), one per connection or link.
class instrument_lock_t {
public:
    static std::uint64_t new_owner();

    // Waits at most timeout_ms; an empty key asks for the exclusive lock.
    bool acquire(std::uint64_t owner, const std::string& shared_key, std::uint32_t timeout_ms);
    // False when the owner held no lock; true otherwise (was it shared: *shared).
    bool release(std::uint64_t owner, bool* shared = nullptr);
    // True when another owner's lock keeps this one out.
    bool locked_against(std::uint64_t owner) const;
    // Waits at most timeout_ms until locked_against(owner) is false.
    bool wait_until_free(std::uint64_t owner, std::uint32_t timeout_ms);
    bool exclusive() const;
    std::size_t holders() const;

private:
    bool grantable(std::uint64_t owner, const std::string& key) const;  // mutex held
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, std::string> holders_;  // owner -> key ("" exclusive)
};

class analyzer_t {
public:
    analyzer_t();
    ~analyzer_t();
    analyzer_t(const analyzer_t&) = delete;
    analyzer_t& operator=(const analyzer_t&) = delete;

    // Processes one program message (terminator already removed). Thread-safe;
    // the transport keeps its own queue of replies (one per connection).
    response_t receive(const std::string& message);

    // Queues an SCPI error as if the instrument had raised it, setting the
    // ESR bit of its class; an empty message takes the standard text. For
    // transports (e.g. -410 "Query INTERRUPTED" when a message arrives
    // while a reply is unread) and tests.
    void report_error(int code, const std::string& message = std::string());

    // For the LAN servers. The status byte as *STB? reads it (the servers
    // add their own message-available bit), and a call each time its
    // summary bit (RQS/MSS) rises, from the thread of the message that
    // raised it, outside the analyzer's lock.
    std::uint8_t status_byte() const;
    using service_request_t = std::function<void(std::uint8_t status_byte)>;
    std::uint64_t add_service_request_listener(service_request_t listener);
    void remove_service_request_listener(std::uint64_t id);
    instrument_lock_t& lock();

    // The display as the screen shows it now, read under the lock.
    display::display_state_t display_state();
    // Grows whenever what the screen shows may have changed (a processed
    // message, a reset): a viewer polls it cheaply, without the lock, and
    // takes a new display_state() only when it moved.
    std::uint64_t change_count() const;

    // The wire log keeps the most recent messages only, so a long-running
    // server does not grow without limit: past this many the oldest go.
    static constexpr std::size_t wire_log_capacity = 100000;

    // Test hooks.
    std::vector<std::string> wire_log() const;  // the messages received, in order (the last wire_log_capacity)
    void clear_wire_log();
    void set_identity(const std::string& idn_reply);  // the *IDN? answer without terminator
    std::string identity() const;
    void add_script(const script_t& script);
    void clear_scripts();
    // Power-on state: *RST defaults, empty error queue and status registers,
    // default identity, no scripts, empty wire log.
    void factory_reset();

private:
    struct impl_t;
    std::unique_ptr<impl_t> impl_;
};

// The default *IDN? answer.
extern const char* const default_identity;

// The analyzer known by `name` in this process, created at first use. Names
// compare case-insensitively; the analyzer lives for the process.
std::shared_ptr<analyzer_t> named_analyzer(const std::string& name);

}  // namespace zorsim
