#include "adapter/models_display.h"

#include "support/qvutil.h"

namespace zor_adapter {

status_t quoted_title_model_t::getter(std::string& value) {
    std::string text;
    const status_t status = quoted_text_model_t::getter(text);
    if (status < 0) return status;
    qvdriver::util::trim(text, "\"");
    value = text;
    return status;
}

namespace {

// Activates the record's window; the maximize commands act on the active one.
status_t activate_window(model_t& model) {
    return write_command(model, format_command(":DISPlay:WINDow%d:ACTivate", resolve_indices(model, "W")));
}

}  // namespace

status_t display_window_size_t::setter(const bool& value) {
    status_t status = activate_window(*this);
    if (status < 0) return status;
    status = write_command(*this, format_command(":DISPlay:MAXimize %d", {}, std::int32_t{value ? 1 : 0}));
    return status < 0 ? status : 0;
}

status_t display_window_size_t::getter(bool& value) {
    status_t status = activate_window(*this);
    if (status < 0) return status;
    status = query_value(*this, ":DISPlay:MAXimize?", value);
    return status < 0 ? status : 0;
}

namespace {
// No leading colon: the commands are sent exactly so.
constexpr const char* coupling_on = "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod WINDow";
constexpr const char* coupling_off = "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod OFF";
constexpr const char* coupling_query = "DISPlay:WINDow:TRACe:Y:SCALe:COUPle:METHod?";
}  // namespace

status_t trace_window_coupling_enabled_t::setter(const bool& value) {
    return write_command(*this, value ? coupling_on : coupling_off);
}

status_t trace_window_coupling_enabled_t::getter(bool& value) {
    std::string reply;
    const status_t status = query_value(*this, coupling_query, reply);
    if (status < 0) return status;
    value = reply == "WIND";
    return status;
}

}  // namespace zor_adapter
