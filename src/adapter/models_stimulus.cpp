#include "adapter/models_stimulus.h"

#include <cstring>

#include "support/qvutil.h"

namespace zor_adapter {

namespace {
constexpr const char* sweep_mode_query = ":SENSe%d:SWEep:MODE?";
// The reply is vetted through a scratch buffer of this size.
constexpr std::int32_t scratch_size = 512;
}  // namespace

status_t trigger_initiate_continuous_enabled_t::setter(const bool& value) {
    const char* format = value ? ":SENSe%d:SWEep:MODE CONTinuous" : ":SENSe%d:SWEep:MODE HOLD";
    return write_command(*this, format_command(format, resolve_indices(*this, "C")));
}

status_t trigger_initiate_continuous_enabled_t::getter(bool& value) {
    std::string reply;
    const status_t status = query_value(*this, format_command(sweep_mode_query, resolve_indices(*this, "C")), reply);
    if (status < 0) return status;
    char scratch[scratch_size];
    const status_t copied = qvdriver::util::copy_to_buffer(scratch, scratch_size, reply);
    if (copied < 0) return copied;
    value = std::strcmp(scratch, "CONT") == 0;
    return 0;
}

}  // namespace zor_adapter
