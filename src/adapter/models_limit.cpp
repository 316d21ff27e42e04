#include "adapter/models_limit.h"

#include <cmath>

#include "support/qvutil.h"

namespace zor_adapter {

namespace {
constexpr const char* limit_data_set = ":CALCulate%d:TRACe%d:LIMit:DATA %s";
constexpr const char* limit_data_get = ":CALCulate%d:TRACe%d:LIMit:DATA?";
constexpr const char* zero_segment = ",0,0,0,0,0";
}  // namespace

status_t limit_segment_no_t::setter(const long_t& value) {
    if (value > max_segments) return qvdriver::zor_error_not_supported;
    std::string table = std::to_string(value);
    if (value > 0) {
        table.reserve(table.size() + static_cast<std::size_t>(value) * std::char_traits<char>::length(zero_segment));
        for (long_t i = 0; i < value; ++i) table += zero_segment;
    }
    return write_command(*this, format_command(limit_data_set, resolve_indices(*this, "CT"), table));
}

status_t limit_segment_no_t::getter(long_t& value) {
    std::string reply;
    const status_t status = query_value(*this, format_command(limit_data_get, resolve_indices(*this, "CT")), reply);
    if (status < 0 || reply.empty()) return status;
    const std::vector<double> values = qvdriver::util::parse_real_list(reply);
    if (values.empty() || !std::isfinite(values[0])) return qvdriver::zor_error_value_count;
    // Truncated toward zero, kept within 32 bits.
    const double count = std::trunc(values[0]);
    if (count >= 2147483647.0)
        value = 2147483647;
    else if (count <= -2147483648.0)
        value = -2147483647 - 1;
    else
        value = static_cast<long_t>(count);
    return status;
}

}  // namespace zor_adapter
