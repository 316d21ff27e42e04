// Helpers shared by the engine tests.
#pragma once

#include <cstdlib>
#include <string>

#include "ivi_engine.h"
#include "visa.h"

// The engine's exports, declared from the same list the engine defines
// them from; the tests link the engine library directly.
#define ENGINE_TEST_DECLARE(name, ret, params, required) extern "C" ret ZOR_IVI_CALL name params;
ZOR_IVI_ENGINE_FUNCTIONS(ENGINE_TEST_DECLARE)
#undef ENGINE_TEST_DECLARE

namespace engine_test {

inline void set_env(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void unset_env(const char* name) {
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

// A session disposed at scope exit unless already disposed.
class session_guard_t {
public:
    explicit session_guard_t(const char* options = "") { status = Ivi_SpecificDriverNew("ZOR", options, &vi); }
    ~session_guard_t() {
        if (vi != 0) Ivi_Dispose(vi);
    }
    session_guard_t(const session_guard_t&) = delete;
    session_guard_t& operator=(const session_guard_t&) = delete;

    ViStatus status = 0;
    ViSession vi = 0;
};

inline ViInt32 int_attribute(ViSession vi, ViAttr id) {
    ViInt32 value = -1;
    ViStatus status = Ivi_GetAttributeViInt32(vi, nullptr, id, 0, &value);
    return status == VI_SUCCESS ? value : -100;
}

}  // namespace engine_test
