/* Test control of the in-process simulated analyzers (resources
 * SIM[board]::name::INSTR) behind the bundled VISA library. Exported by the
 * VISA stand-in only; a vendor VISA has none of these. */
#ifndef ZOR_SIM_CONTROL_H
#define ZOR_SIM_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(ZOR_VISA_BUILD)
#define ZSIM_API __declspec(dllexport)
#else
#define ZSIM_API __declspec(dllimport)
#endif
#else
#define ZSIM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Restores the analyzer `name` to its power-on state (defaults, empty error
 * queue, default identity, no scripts, empty wire log). Returns 0. */
ZSIM_API int32_t zsim_factory_reset(const char* name);
/* Sets the *IDN? answer (without terminator). Returns 0, or -1 for null text. */
ZSIM_API int32_t zsim_set_identity(const char* name, const char* idn);
/* Copies the wire log (every message received, joined by line feeds, each
 * ending in one) into buffer, NUL-terminated and cut to size. Returns the full
 * length in bytes without the NUL, so a caller can size the buffer. */
ZSIM_API size_t zsim_wire_log(const char* name, char* buffer, size_t size);
ZSIM_API void zsim_clear_wire_log(const char* name);
/* Scripts the answer to a message: reply NULL means no reply at all; a
 * non-zero read_status or write_status is reported by viRead or viWrite;
 * times < 0 answers every matching message. Returns 0. */
ZSIM_API int32_t zsim_script(const char* name, const char* message, const char* reply, int32_t read_status,
                             int32_t write_status, int32_t times);
ZSIM_API void zsim_clear_scripts(const char* name);

#ifdef __cplusplus
}
#endif

#endif /* ZOR_SIM_CONTROL_H */
