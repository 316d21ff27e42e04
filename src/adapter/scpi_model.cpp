#include "adapter/scpi_model.h"

#include "frame/session.h"
#include "support/qvutil.h"

namespace zor_adapter {

using qvdriver::util::string_format;

std::vector<std::int32_t> resolve_indices(model_t& model, const char* indices) {
    std::vector<std::int32_t> numbers;
    for (const char* p = indices; p != nullptr && *p != '\0'; ++p) {
        switch (*p) {
            case 'C': numbers.push_back(model.channel_index()); break;
            case 'T': numbers.push_back(model.trace_index()); break;
            case 'W': numbers.push_back(model.window_index()); break;
            case 'M': numbers.push_back(model.marker_index()); break;
            case 'P': numbers.push_back(model.port_index()); break;
            default: break;
        }
    }
    return numbers;
}

// The command formats are data of the attribute rows, not literals here.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif

namespace {

template <typename... V>
std::string format_with(const char* format, const std::vector<std::int32_t>& n, V... value) {
    switch (n.size()) {
        case 0: return string_format(format, value...);
        case 1: return string_format(format, n[0], value...);
        case 2: return string_format(format, n[0], n[1], value...);
        default: return string_format(format, n[0], n[1], n[2], value...);
    }
}

}  // namespace

std::string format_command(const char* format, const std::vector<std::int32_t>& indices) {
    return format_with(format, indices);
}
std::string format_command(const char* format, const std::vector<std::int32_t>& indices, double value) {
    return format_with(format, indices, value);
}
std::string format_command(const char* format, const std::vector<std::int32_t>& indices, std::int32_t value) {
    return format_with(format, indices, value);
}
std::string format_command(const char* format, const std::vector<std::int32_t>& indices, const std::string& value) {
    return format_with(format, indices, value.c_str());
}
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

status_t write_command(model_t& model, const std::string& command) {
    status_t status = 0;
    return model.session->api.set(status, command);
}

status_t query_value(model_t& model, const std::string& command, double& value) {
    status_t status = 0;
    return model.session->api.number_query(status, command, value);
}

status_t query_value(model_t& model, const std::string& command, std::int32_t& value) {
    status_t status = 0;
    return model.session->api.number_query(status, command, value);
}

status_t query_value(model_t& model, const std::string& command, bool& value) {
    status_t status = 0;
    std::int16_t state = 0;
    if (model.session->api.number_query(status, command, state) >= 0) value = state == 1;
    return status;
}

status_t query_value(model_t& model, const std::string& command, std::string& value) {
    status_t status = 0;
    std::string reply;
    if (model.session->api.text_query(status, command, reply) >= 0) value = reply;
    return status;
}

}  // namespace zor_adapter
