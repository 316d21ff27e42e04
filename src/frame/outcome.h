// What a call leaves behind besides its status: an error record for every
// failure that says what went wrong and what to do, and, for sessions opened
// with QueryInstrStatus=1, the instrument's own verdict on what it was sent.
#pragma once

#include <cstdint>
#include <string>

#include "frame/driver_setup.h"
#include "support/status.h"

namespace qvdriver {

class session_scope_t;

// Records `status` with `elaboration` in the error record of vi (VI_NULL:
// the calling thread's). A record that already holds an error is kept: it
// tells of the first failure since the caller last read it. Returns status.
status_t record_failure(std::uint32_t vi, status_t status, const std::string& elaboration);

// The record a failed call leaves when nothing more specific was recorded:
// what the status means to the caller and what to do about it. A status
// that is not an error records nothing. Returns status.
status_t leave_error_record(std::uint32_t vi, status_t status);

// A text parameter with a control character is refused with the status of
// its position ("Parameter <n> invalid") before anything is sent: a line
// feed would end the command on a socket and send the rest as another
// ("a\n*RST" resets the analyzer). 0 when the text may go out.
status_t refuse_control_characters(std::uint32_t vi, std::int32_t position, const char* what, const char* text);

// The event status register after a call that talked to the instrument and
// succeeded; on an error bit the analyzer's error queue goes into the error
// record, after `what` (the setting and value sent, when known), and the
// call fails with zor_error_instrument_status.
status_t check_instrument(session_scope_t& scope, status_t status, const std::string& what);

// check_instrument for sessions that asked for it; `describe` builds the
// `what` text only then, so other calls pay one relaxed load.
template <typename Describe>
status_t check_after_call(session_scope_t& scope, std::uint32_t vi, status_t status, Describe&& describe) {
    if (status < 0 || !checks_status_after_calls(vi)) return status;
    return check_instrument(scope, status, describe());
}

}  // namespace qvdriver
