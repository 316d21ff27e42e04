#include "adapter/models_time_domain.h"

namespace zor_adapter {

namespace {
constexpr const char* transform_type_set = ":CALCulate%d:TRACe%d:TRANsform:TIME %s";
constexpr const char* transform_type_get = ":CALCulate%d:TRACe%d:TRANsform:TIME?";
constexpr const char* stimulus_set = ":CALCulate%d:TRACe%d:TRANsform:TIME:STIMulus %s";
constexpr const char* stimulus_get = ":CALCulate%d:TRACe%d:TRANsform:TIME:STIMulus?";
}  // namespace

status_t time_domain_transform_mode_t::setter(const std::string& value) {
    const char* format = value == "BPASs" ? transform_type_set : stimulus_set;
    return write_command(*this, format_command(format, resolve_indices(*this, "CT"), value));
}

status_t time_domain_transform_mode_t::getter(std::string& value) {
    const auto numbers = resolve_indices(*this, "CT");
    std::string reply;
    status_t status = query_value(*this, format_command(transform_type_get, numbers), reply);
    if (status != 0) return status;
    if (reply == "LPAS") {
        status = query_value(*this, format_command(stimulus_get, numbers), reply);
        if (status != 0) return status;
    }
    value = reply;
    return 0;
}

}  // namespace zor_adapter
