#include "adapter/models_marker.h"

namespace zor_adapter {

namespace {
constexpr const char* coupling_set = ":CALCulate:MARKer:COUPle %s";
constexpr const char* coupling_get = ":CALCulate:MARKer:COUPle?";
}  // namespace

status_t marker_coupling_enabled_t::setter(const bool& value) {
    return write_command(*this, format_command(coupling_set, {}, std::string(value ? "CHANnel" : "OFF")));
}

status_t marker_coupling_enabled_t::getter(bool& value) {
    std::string reply;
    const status_t status = query_value(*this, coupling_get, reply);
    if (status < 0) return status;
    value = reply != "OFF";
    return status;
}

}  // namespace zor_adapter
