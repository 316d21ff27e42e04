#include "adapter/models_measurement.h"

namespace zor_adapter {

namespace {
constexpr const char* conversion_state_on = ":CALCulate%d:TRACe%d:CONVersion:STATe 1";
constexpr const char* conversion_function_set = ":CALCulate%d:TRACe%d:CONVersion:FUNCtion %s";
constexpr const char* conversion_function_get = ":CALCulate%d:TRACe%d:CONVersion:FUNCtion?";
constexpr const char* memorize = ":CALCulate%d:TRACe%d:MATH:MEMorize";
constexpr const char* memory_display_set = ":DISPlay:WINDow%d:TRACe%d:MEMory %d";
constexpr const char* memory_display_get = ":DISPlay:WINDow%d:TRACe%d:MEMory?";
}  // namespace

status_t measurement_convertion_function_t::setter(const std::string& value) {
    const auto numbers = resolve_indices(*this, "CT");
    status_t status = write_command(*this, format_command(conversion_state_on, numbers));
    if (status < 0) return status;
    status = write_command(*this, format_command(conversion_function_set, numbers, value));
    return status < 0 ? status : 0;
}

status_t measurement_convertion_function_t::getter(std::string& value) {
    return query_value(*this, format_command(conversion_function_get, resolve_indices(*this, "CT")), value);
}

status_t measurement_trace_memory_trace_enabled_t::setter(const bool& value) {
    const auto numbers = resolve_indices(*this, "CT");
    if (value) {
        const status_t status = write_command(*this, format_command(memorize, numbers));
        if (status < 0) return status;
    }
    return write_command(*this, format_command(memory_display_set, numbers, std::int32_t{value ? 1 : 0}));
}

status_t measurement_trace_memory_trace_enabled_t::getter(bool& value) {
    return query_value(*this, format_command(memory_display_get, resolve_indices(*this, "CT")), value);
}

}  // namespace zor_adapter
