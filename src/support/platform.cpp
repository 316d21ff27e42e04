#include "support/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <clocale>
#include <string>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

#if defined(_WIN32)
#include <direct.h>
#include <locale.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qvdriver::platform {

namespace {
// Loads one candidate and notes its name in `tried`.
module_t attempt(std::string* tried, const std::string& name);
}  // namespace

#if defined(_WIN32)

namespace {

bool absolute_folder(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'));
}

}  // namespace

// A path loads as given. A bare name goes through the system's search
// without the current folder (LoadLibrary's plain search includes it, and a
// DLL of the same name there would run in the driver's place): the
// program's folder and System32, then each absolute folder of PATH.
module_t load_library(const std::string& name) {
    if (name.find_first_of("\\/") != std::string::npos)
        return reinterpret_cast<module_t>(LoadLibraryExA(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (HMODULE m = LoadLibraryExA(name.c_str(), nullptr,
                                   LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32))
        return reinterpret_cast<module_t>(m);
    const std::string path = get_env("PATH").value_or("");
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t end = std::min(path.find(';', from), path.size());
        std::string folder = path.substr(from, end - from);
        from = end + 1;
        if (!absolute_folder(folder)) continue;
        if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
        const std::string file = folder + name;
        if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (HMODULE m = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return reinterpret_cast<module_t>(m);
    }
    return nullptr;
}

module_t load_library_wide(const std::wstring& name) { return reinterpret_cast<module_t>(LoadLibraryW(name.c_str())); }

void* find_symbol(module_t module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void free_library(module_t module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string this_module_directory() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&this_module_directory), &self))
        return {};
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string text(path, n);
    auto cut = text.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

std::string shared_library_file(const std::string& base) { return base + ".dll"; }

std::optional<std::string> get_env(const char* name) {
    // The process environment itself, not a C runtime's copy of it: the
    // system msvcrt.dll lacks _dupenv_s, and the caller may use another runtime.
    SetLastError(ERROR_SUCCESS);
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::string text(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, text.data(), size);
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (n >= size) return std::nullopt;  // changed between the two calls
    text.resize(n);
    return text;
}

local_time_t local_time() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

bool path_exists(const std::string& path) { return _access(path.c_str(), 0) == 0; }
bool make_directory(const std::string& path) { return _mkdir(path.c_str()) == 0; }
char path_separator() { return '\\'; }
std::uint32_t process_id() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }
bool stdout_is_terminal() { return _isatty(_fileno(stdout)) != 0; }
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

named_mutex_t::named_mutex_t(const std::string& name) { handle_ = CreateMutexA(nullptr, FALSE, name.c_str()); }
named_mutex_t::~named_mutex_t() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}
bool named_mutex_t::created() const { return handle_ != nullptr; }
void named_mutex_t::lock() { WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE); }
void named_mutex_t::unlock() { ReleaseMutex(static_cast<HANDLE>(handle_)); }

module_t open_visa_library(std::string* tried) {
    if (auto path = get_env("ZOR_VISA_LIBRARY"); path && !path->empty()) return attempt(tried, *path);
    // A vendor VISA lives in the system folder; prefer it to a stand-in that
    // may sit beside the program.
    if (tried) *tried += std::string(tried->empty() ? "" : ", ") + "visa64.dll (system folder)";
    if (module_t m = reinterpret_cast<module_t>(LoadLibraryExW(L"visa64.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)))
        return m;
    if (module_t m = attempt(tried, "visa64.dll")) return m;
    if (module_t m = attempt(tried, this_module_directory() + "visa64.dll")) return m;
    return attempt(tried, this_module_directory() + private_module_folder + "\\visa64.dll");
}

int format_c_locale(char* buffer, std::size_t size, const char* format, va_list args) {
    // The MinGW printf family (ANSI mode) prints two-digit exponents like
    // every other platform, but takes its decimal point from the locale (a
    // comma in many); the legacy runtime's "_l" variants would print three
    // exponent digits. So for this call this thread alone uses "C".
    const int previous_mode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = current ? current : "C";
    const bool switched = saved != "C" && std::setlocale(LC_NUMERIC, "C") != nullptr;
    const int n = std::vsnprintf(buffer, size, format, args);
    if (switched) std::setlocale(LC_NUMERIC, saved.c_str());
    if (previous_mode != -1) _configthreadlocale(previous_mode);
    return n;
}

double parse_double_c_locale(const char* text, char** end) {
    // The runtime's strtod follows the process locale (a decimal comma in
    // many); its "_l" variant with a "C" locale does not.
    static const _locale_t locale = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text, end, locale);
}

module_t open_ivi_engine(std::string* tried) {
    if (auto path = get_env("ZOR_IVI_ENGINE"); path && !path->empty()) return attempt(tried, *path);
    if (module_t m = attempt(tried, "niivi.dll")) return m;
    if (module_t m = attempt(tried, "ivi.dll")) return m;
    if (module_t m = attempt(tried, this_module_directory() + "ivi.dll")) return m;
    return attempt(tried, this_module_directory() + private_module_folder + "\\ivi.dll");
}

#else  // POSIX

module_t load_library(const std::string& name) { return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL); }

module_t load_library_wide(const std::wstring& name) { return load_library(std::string(name.begin(), name.end())); }

void* find_symbol(module_t module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void free_library(module_t module) {
    if (module) dlclose(module);
}

namespace {

// The module's folder as an absolute path, or empty. A module loaded by a
// relative path (dlopen("./libZOR_x64.so")) records that path; it is made
// absolute while the library loads, before the program can change folder,
// so a later lookup never lands in whatever folder is current then.
std::string module_directory_at_load() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&module_directory_at_load), &info) == 0 || info.dli_fname == nullptr)
        return {};
    char* resolved = realpath(info.dli_fname, nullptr);
    if (resolved == nullptr) return {};
    std::string text(resolved);
    std::free(resolved);
    const auto cut = text.rfind('/');
    return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

const std::string module_directory = module_directory_at_load();

}  // namespace

std::string this_module_directory() { return module_directory; }

std::string shared_library_file(const std::string& base) { return "lib" + base + ".so"; }

std::optional<std::string> get_env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

local_time_t local_time() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm t{};
    localtime_r(&seconds, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(ms)};
}

bool path_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
bool make_directory(const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }
char path_separator() { return '/'; }
std::uint32_t process_id() { return static_cast<std::uint32_t>(getpid()); }
bool stdout_is_terminal() { return isatty(fileno(stdout)) != 0; }
bool stderr_is_terminal() { return isatty(fileno(stderr)) != 0; }

// No named system mutexes here: one process-wide lock per name serves the
// same purpose for the modules of this process.
namespace {
std::mutex& lock_for(const std::string& name) {
    static std::mutex registry_lock;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> guard(registry_lock);
    auto& slot = locks[name];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}
}  // namespace

named_mutex_t::named_mutex_t(const std::string& name) { handle_ = &lock_for(name); }
named_mutex_t::~named_mutex_t() = default;
bool named_mutex_t::created() const { return handle_ != nullptr; }
void named_mutex_t::lock() { static_cast<std::mutex*>(handle_)->lock(); }
void named_mutex_t::unlock() { static_cast<std::mutex*>(handle_)->unlock(); }

namespace {
locale_t c_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}
}  // namespace

int format_c_locale(char* buffer, std::size_t size, const char* format, va_list args) {
    locale_t previous = uselocale(c_locale());
    int n = std::vsnprintf(buffer, size, format, args);
    uselocale(previous);
    return n;
}

double parse_double_c_locale(const char* text, char** end) { return strtod_l(text, end, c_locale()); }

module_t open_visa_library(std::string* tried) {
    if (auto path = get_env("ZOR_VISA_LIBRARY"); path && !path->empty()) return attempt(tried, *path);
    if (module_t m = attempt(tried, "libvisa.so")) return m;
    const std::string file = shared_library_file("zor_visa");
    if (module_t m = attempt(tried, this_module_directory() + file)) return m;
    return attempt(tried, this_module_directory() + private_module_folder + "/" + file);
}

module_t open_ivi_engine(std::string* tried) {
    if (auto path = get_env("ZOR_IVI_ENGINE"); path && !path->empty()) return attempt(tried, *path);
    const std::string file = shared_library_file("zor_ivi_engine");
    if (module_t m = attempt(tried, this_module_directory() + file)) return m;
    return attempt(tried, this_module_directory() + private_module_folder + "/" + file);
}

#endif

namespace {
module_t attempt(std::string* tried, const std::string& name) {
    if (tried) *tried += (tried->empty() ? "" : ", ") + name;
    return load_library(name);
}
}  // namespace

}  // namespace qvdriver::platform
