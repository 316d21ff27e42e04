// Console output (always on) and the levelled logger (off unless the
// environment switches it on: ZOR_LOG=1, and ZOR_LOG_FILE=1 for the file).
#pragma once

#include <cstdint>
#include <string>

#include "support/qvutil.h"

namespace qvdriver {

enum log_level_t : std::uint32_t { log_info = 0, log_error = 1, log_warning = 2, log_success = 3 };

// printf-style write to standard output; no time stamp, no newline added.
void console_printf(const char* format, ...) QV_PRINTF_FORMAT(1, 2);

void log_message(std::uint32_t level, const std::string& text);

namespace logger {
// The two process-wide switches, read once from the environment at load.
bool logging_enabled();
bool file_output_enabled();
// The log file the file output appends to; empty when no folder is known.
std::string log_file_path();
// The time stamp prefix "[YYYY-MM-DD hh:mm:ss.mmm] ".
std::string time_stamp();
// For tests: override the switches (the library itself never calls these).
void set_switches_for_testing(bool logging, bool file_output);
}  // namespace logger

}  // namespace qvdriver
