#include "support/logger.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "support/platform.h"

namespace qvdriver {

namespace {

bool env_switch(const char* name) {
    auto value = platform::get_env(name);
    return value && (*value == "1" || *value == "true" || *value == "on" || *value == "yes");
}

bool env_is(const char* name, const char* wanted) {
    auto value = platform::get_env(name);
    return value && *value == wanted;
}

// ZOR_LOG=2 is the log with the I/O trace; ZOR_TRACE=1 adds the trace to
// either.
std::atomic<bool>& logging_switch() {
    static std::atomic<bool> on{env_switch("ZOR_LOG") || env_is("ZOR_LOG", "2") || env_switch("ZOR_TRACE")};
    return on;
}

std::atomic<bool>& trace_switch() {
    static std::atomic<bool> on{env_is("ZOR_LOG", "2") || env_switch("ZOR_TRACE")};
    return on;
}

std::atomic<bool>& file_switch() {
    static std::atomic<bool> on{env_switch("ZOR_LOG_FILE")};
    return on;
}

std::atomic<bool>& console_switch() {
    static std::atomic<bool> on{!env_switch("ZOR_QUIET")};
    return on;
}

// Touch the switches during library load so they are read once, up front.
const bool switches_read =
    (logging_switch().load(), trace_switch().load(), file_switch().load(), console_switch().load(), true);

}  // namespace

// Colour only for a person at a terminal; a file or a pipe gets plain tags.
const char* logger::console_tag(std::uint32_t level) {
    static const bool colour = platform::stdout_is_terminal();
    static const bool colour_on_stderr = platform::stderr_is_terminal();
    switch (level) {
        case log_info: return colour ? "\033[1;34m[INFO] \033[0m" : "[INFO] ";
        case log_error: return colour ? "\033[1;31m[ERROR] \033[0m" : "[ERROR] ";
        case log_warning: return colour ? "\033[1;33m[WARNING] \033[0m" : "[WARNING] ";
        case log_success: return colour ? "\033[1;32m[SUCCESS] \033[0m" : "[SUCCESS] ";
        case log_trace: return colour_on_stderr ? "\033[1;36m[TRACE] \033[0m" : "[TRACE] ";
        default: return nullptr;
    }
}

namespace {

const char* file_tag(std::uint32_t level) {
    switch (level) {
        case log_info: return "[INFO]    ";
        case log_error: return "[ERROR]   ";
        case log_warning: return "[WARNING] ";
        case log_success: return "[SUCCESS] ";
        case log_trace: return "[TRACE]   ";
        default: return "";
    }
}

// The folder of the log file: %LOCALAPPDATA%\zor_ivi on Windows; elsewhere
// the XDG state folder ($XDG_STATE_HOME, else ~/.local/state) + /zor_ivi.
// The second value is the base folder that must exist before zor_ivi is made.
bool log_directory(std::string& base, std::string& directory) {
#if defined(_WIN32)
    auto local = platform::get_env("LOCALAPPDATA");
    if (!local || local->empty()) return false;
    base = *local;
    directory = base + "\\zor_ivi";
    return true;
#else
    if (auto local = platform::get_env("LOCALAPPDATA"); local && !local->empty()) {
        base = *local;
    } else if (auto state = platform::get_env("XDG_STATE_HOME"); state && !state->empty()) {
        base = *state;
    } else if (auto home = platform::get_env("HOME"); home && !home->empty()) {
        base = *home + "/.local/state";
    } else {
        return false;
    }
    directory = base + "/zor_ivi";
    return true;
#endif
}

// Creates `path` and any missing parents; true when it exists afterwards.
[[maybe_unused]] bool make_directories(const std::string& path) {
    if (path.empty() || platform::path_exists(path)) return true;
    auto cut = path.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0 && !make_directories(path.substr(0, cut))) return false;
    return platform::make_directory(path) || platform::path_exists(path);
}

}  // namespace

void console_printf(const char* format, ...) {
    if (!logger::console_enabled()) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

namespace logger {

bool logging_enabled() { return logging_switch().load(); }
bool file_output_enabled() { return file_switch().load(); }
bool trace_enabled() { return trace_switch().load(); }
bool console_enabled() { return console_switch().load(); }

void set_switches_for_testing(bool logging, bool file_output, bool trace, bool console) {
    (void)switches_read;
    logging_switch() = logging;
    file_switch() = file_output;
    trace_switch() = trace;
    console_switch() = console;
}

std::string log_file_path() {
    std::string base, directory;
    if (!log_directory(base, directory)) return {};
    return directory + platform::path_separator() + "zor-ivi-log.txt";
}

std::string time_stamp() {
    auto t = platform::local_time();
    return util::string_format("[%4d-%02d-%02d %02d:%02d:%02d.%03d] ", t.year, t.month, t.day, t.hour, t.minute,
                               t.second, t.millisecond);
}

}  // namespace logger

void log_message(std::uint32_t level, const std::string& text) {
    if (!logger::logging_enabled()) return;
    const std::string stamp = logger::time_stamp();
    // The log was asked for: ZOR_QUIET silences only the always-on lines.
    // The I/O trace goes to standard error: a program whose standard output
    // is data keeps it clean, and the two never interleave mid-line.
    std::FILE* console = level == log_trace ? stderr : stdout;
    if (const char* tag = logger::console_tag(level)) {
        std::fputs((stamp + tag + text + "\n").c_str(), console);
        std::fflush(console);
    }
    if (!logger::file_output_enabled()) return;

    std::string base, directory;
    if (!log_directory(base, directory)) return;
    if (!platform::path_exists(directory)) {
#if defined(_WIN32)
        const bool made = platform::make_directory(directory);
#else
        const bool made = make_directories(directory);
#endif
        if (!made) {
            console_printf("mkdir failed");
            return;
        }
    }
    std::ofstream file(directory + platform::path_separator() + "zor-ivi-log.txt",
                       std::ios::out | std::ios::app | std::ios::binary);
    if (!file.is_open()) {
        std::cerr << "Error: failed to open output file\n";
        return;
    }
    file << stamp << file_tag(level) << text << "\n";
    file.flush();
}

void append_escaped(std::string& out, std::string_view text) {
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c >= 0x7F) out += util::string_format("\\x%02X", c);
        else out += ch;
    }
}

void trace_io(std::uint32_t session, const char* what, std::string_view text, std::int32_t status,
              const char* status_name, std::string_view values) {
    if (!logger::trace_enabled()) return;
    constexpr std::size_t shown_at_most = 512;
    std::string line = util::string_format("vi=%u %s \"", static_cast<unsigned>(session), what);
    append_escaped(line, text.substr(0, shown_at_most));
    line += '"';
    if (text.size() > shown_at_most) line += util::string_format(" ... (%lu bytes)", static_cast<unsigned long>(text.size()));
    if (!values.empty()) {
        line += " -> ";
        line += values;
    }
    line += util::string_format(" status=0x%08X", static_cast<unsigned>(status));
    if (status_name != nullptr) {
        line += ' ';
        line += status_name;
    }
    log_message(log_trace, line);
}

}  // namespace qvdriver
