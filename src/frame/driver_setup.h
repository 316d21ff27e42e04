// The driver's own items of the DriverSetup option (the engine keeps its
// text whole): "DataFormat:ASCII" (the default) or "DataFormat:REAL64", which
// moves trace data as binary blocks. Items are Name:Value, separated by
// commas or semicolons; names and values ignore case; items the driver does
// not know are left to whoever wrote them.
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
};

// False for an item of the driver's with a value it does not know; `bad`
// then names that item.
bool parse_driver_setup(std::string_view text, driver_setup_t& setup, std::string& bad);

// The setup a session was opened with, kept from its open to its close.
void remember_setup(std::uint32_t vi, const driver_setup_t& setup);
void forget_setup(std::uint32_t vi);
data_format_t data_format_of(std::uint32_t vi);

// Switches the analyzer to the session's data format, as after an open or a
// reset (both leave it sending text); nothing to do for text.
status_t apply_data_format(session_scope_t& scope);

}  // namespace qvdriver
