// Keeps a session in step with its instrument after a time-out.
//
// An instrument answers its queries in order, one response message each,
// and sends nothing for a query it refuses (it queues an error instead). So
// after a time-out the driver cannot tell a refused query from a late reply,
// and a late reply would answer the next query. It asks at once with a
// marker query, ":SYST:ERR?;*ESE?", whose reply (an error-queue entry and a
// number joined by ';') no single query gets: every message before that
// reply is stale and dropped, and the entry says why nothing came. When the
// marker's reply does not come within a short wait the session owes it, and
// its next exchange first reads up to it. Only standard VISA is relied on
// (viWrite, viRead, VI_ATTR_TMO_VALUE); nothing is added to an exchange that
// did not time out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/status.h"
#include "visa.h"

namespace qvdriver::wire {

namespace detail {
extern std::atomic<int> sessions_in_doubt;
status_t resynchronise(ViSession io);
}  // namespace detail

// Before a write, read or formatted query: 0, or the status that stops it
// (the session still waits for the marker's reply and it did not come).
inline status_t before_exchange(ViSession io) {
    if (detail::sessions_in_doubt.load(std::memory_order_relaxed) == 0) return 0;
    return detail::resynchronise(io);
}

// The text of a command written, kept (cut to a few dozen bytes) to name it
// when its reply goes missing.
void note_command(ViSession io, const char* text, std::size_t size);

// After an exchange that timed out: brings the session back in step and
// returns the status to report, VI_ERROR_TMO or, when the instrument refused
// the query, ZOR_ERROR_INSTRUMENT_STATUS; `command` names what got no reply
// (null: the last noted command).
status_t after_timeout(ViSession io, const char* command);

// A session opened or closed: nothing is owed on it.
void forget(ViSession io);

// Where a fault's explanation goes: `record` is called with `owner` (the
// frame's session, whose error record takes it). Set when the I/O session
// opens; a close forgets it.
using fault_recorder_t = void (*)(std::uint32_t owner, status_t status, const char* text);
void set_owner(ViSession io, std::uint32_t owner, fault_recorder_t record);

// The marker's reply, when `text` is one: the error entry it carries.
struct error_entry_t {
    long code = 0;
    std::string_view message;  // inside `text`, quotes still doubled
};
bool parse_marker_reply(std::string_view text, error_entry_t& entry);

}  // namespace qvdriver::wire
