// Console output (on unless ZOR_QUIET=1) and the levelled logger (off unless
// the environment switches it on: ZOR_LOG=1, ZOR_LOG=2 or ZOR_TRACE=1 for the
// I/O trace as well, and ZOR_LOG_FILE=1 for the file).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/qvutil.h"

namespace qvdriver {

enum log_level_t : std::uint32_t { log_info = 0, log_error = 1, log_warning = 2, log_success = 3, log_trace = 4 };

// printf-style write to standard output; no time stamp, no newline added.
// Silent when ZOR_QUIET=1, for programs whose standard output is data.
void console_printf(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

void log_message(std::uint32_t level, const std::string& text);

namespace logger {
// The console tag of a level: "[ERROR] ", coloured when its stream (standard
// error for the trace, else standard output) is a terminal; null for an
// unknown level.
const char* console_tag(std::uint32_t level);
}  // namespace logger

// One line of the I/O trace (when the trace is on), on standard error: the
// VISA session, what went (">> write", "<< read", "<> query"), the text (at
// most 512 characters of it shown), the values read when there are any, and
// the status of the call in hex with its name.
void trace_io(std::uint32_t session, const char* what, std::string_view text, std::int32_t status,
              const char* status_name, std::string_view values = {});
// `text` as the trace shows it: control bytes as \n, \r or \xNN.
void append_escaped(std::string& out, std::string_view text);

// A function's signature as this platform's compiler spells it in the log.
#if defined(_WIN32)
#define ZOR_LOG_SIGNATURE(windows, other) windows
#else
#define ZOR_LOG_SIGNATURE(windows, other) other
#endif

namespace logger {
// The two process-wide switches, read once from the environment at load.
bool logging_enabled();
bool file_output_enabled();
bool trace_enabled();
bool console_enabled();
// The log file the file output appends to; empty when no folder is known.
std::string log_file_path();
// The time stamp prefix "[YYYY-MM-DD hh:mm:ss.mmm] ".
std::string time_stamp();
// For tests: override the switches (the library itself never calls these).
void set_switches_for_testing(bool logging, bool file_output, bool trace = false, bool console = true);
}  // namespace logger

}  // namespace qvdriver
