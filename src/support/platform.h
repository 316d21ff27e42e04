// The one seam between the library and the operating system: dynamic
// loading, the loader mutex, local time, environment, directories and
// process identity. Everything platform-specific lives behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qvdriver::platform {

using module_t = void*;

// Loads a shared library by file name or path; null when it cannot be loaded.
module_t load_library(const std::string& name);
// Windows: LoadLibraryW on a wide name (VISA's lookup); elsewhere as load_library.
module_t load_library_wide(const std::wstring& name);
void* find_symbol(module_t module, const char* name);
void free_library(module_t module);

// Folder of the module holding this code (the driver or a stand-in), with
// a trailing separator; empty when unknown.
std::string this_module_directory();
// File name of a bundled library with the platform's prefix and suffix:
// bundled_library_name("zor_visa") is "libzor_visa.so" or "zor_visa.dll".
std::string shared_library_file(const std::string& base);

std::optional<std::string> get_env(const char* name);

struct local_time_t {
    int year, month, day, hour, minute, second, millisecond;
};
local_time_t local_time();

bool path_exists(const std::string& path);
bool make_directory(const std::string& path);
char path_separator();

std::uint32_t process_id();

// The loader mutex: a named system mutex where the platform has them,
// else one process-wide lock per name.
class named_mutex_t {
public:
    explicit named_mutex_t(const std::string& name);
    ~named_mutex_t();
    named_mutex_t(const named_mutex_t&) = delete;
    named_mutex_t& operator=(const named_mutex_t&) = delete;
    bool created() const;  // false: the mutex could not be created
    void lock();
    void unlock();

private:
    void* handle_ = nullptr;
};

}  // namespace qvdriver::platform

namespace qvdriver::platform {

// VISA: the file named by ZOR_VISA_LIBRARY; else the system VISA
// ("visa64.dll" on Windows, "libvisa.so" elsewhere); else the bundled
// stand-in beside this module, then (installed layout) in its private
// folder "zor_x64/" beside this module. Null when none loads; `tried`, when
// given, receives the files tried, comma separated, for the failure message.
module_t open_visa_library(std::string* tried = nullptr);
// IVI engine: the file named by ZOR_IVI_ENGINE; else (Windows) an installed
// engine under its two usual file names, the second being "ivi.dll"; else
// the bundled stand-in beside this module or in "zor_x64/" beside it.
module_t open_ivi_engine(std::string* tried = nullptr);
// True when standard output (standard error) is a terminal: colour codes
// are then welcome.
bool stdout_is_terminal();
bool stderr_is_terminal();
// The folder, relative to the driver, where an installed driver keeps the
// bundled stand-ins.
constexpr const char* private_module_folder = "zor_x64";

}  // namespace qvdriver::platform

#include <cstdarg>
#include <cstddef>

namespace qvdriver::platform {

// vsnprintf in the "C" locale, whatever locale the host program chose.
int format_c_locale(char* buffer, std::size_t size, const char* format, va_list args);
// strtod in the "C" locale; `end` as strtod's.
double parse_double_c_locale(const char* text, char** end);

}  // namespace qvdriver::platform
