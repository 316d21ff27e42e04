// The driver's own items of the DriverSetup option (the engine keeps its
// text whole): "DataFormat:ASCII" (the default) or "DataFormat:REAL64", which
// moves trace data as binary blocks. Items are Name:Value, separated by
// commas or semicolons; names and values ignore case; an item the driver
// does not know is refused, as the engine refuses an unknown option.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/status.h"

namespace qvdriver {

class session_scope_t;

enum class data_format_t { ascii, real64 };

struct driver_setup_t {
    data_format_t data_format = data_format_t::ascii;
    // QueryInstrStatus=1 on a session that talks to an instrument: every
    // call that did reads the event status register afterwards. The engine
    // fixes the option at open, so it is kept here with the rest.
    bool check_status_after_calls = false;
};

// False for an item the driver does not know, or one of its own with a
// value it does not know; `bad` then names that item.
bool parse_driver_setup(std::string_view text, driver_setup_t& setup, std::string& bad);

// The setup a session was opened with, kept from its open to its close.
void remember_setup(std::uint32_t vi, const driver_setup_t& setup);
void forget_setup(std::uint32_t vi);
data_format_t data_format_of(std::uint32_t vi);
// True when the session asked for the instrument's status after each call.
// With no such session open it costs one relaxed load and no lock.
bool checks_status_after_calls(std::uint32_t vi);

// Switches the analyzer to the session's data format, as after an open or a
// reset (both leave it sending text); nothing to do for text.
status_t apply_data_format(session_scope_t& scope);

}  // namespace qvdriver
