#include "adapter/scpi_model.h"

#include <charconv>
#include <cstring>

#include "frame/session.h"
#include "support/qvutil.h"

namespace zor_adapter {

using qvdriver::util::string_format;

indices_t resolve_indices(model_t& model, const char* indices) {
    indices_t numbers;
    for (const char* p = indices; p != nullptr && *p != '\0'; ++p) {
        switch (*p) {
            case 'C': numbers.push_back(model.channel_index()); break;
            case 'T': numbers.push_back(model.trace_index()); break;
            case 'W': numbers.push_back(model.window_index()); break;
            case 'M': numbers.push_back(model.marker_index()); break;
            case 'P': numbers.push_back(model.port_index()); break;
            case 'K': numbers.push_back(model.channel_index()); break;
            default: break;
        }
    }
    return numbers;
}

bool channel_left_out(const model_t& model, const char* indices) {
    return indices != nullptr && indices[0] == 'K' && model.rep_cap.kind == qvdriver::rep_cap_record_t::empty;
}

std::string without_first_field(const char* format) {
    std::string text(format);
    const std::size_t field = text.find("%d");
    if (field != std::string::npos) text.erase(field, 2);
    return text;
}

status_t quoted_text_model_t::setter(const std::string& value) {
    return scpi_model_t<std::string>::setter(qvdriver::util::scpi_string(value));
}

// The command formats are data of the attribute rows, not literals here.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif

namespace {

template <typename... V>
std::string format_with(const char* format, const indices_t& n, V... value) {
    switch (n.size()) {
        case 0: return string_format(format, value...);
        case 1: return string_format(format, n[0], value...);
        case 2: return string_format(format, n[0], n[1], value...);
        default: return string_format(format, n[0], n[1], n[2], value...);
    }
}

// One argument of a command: an index or an integer for %d, a real for
// %.12e, a text for %s.
struct argument_t {
    char kind;
    std::int32_t integer;
    double real;
    const char* text;
};

// The fields commands use, written as printf writes them (to_chars and
// format_e12 give its bytes in any locale) without its per-call locale
// switch. False for any other field, or a field whose argument is of
// another kind: printf does that.
bool format_plain(const char* format, const indices_t& indices, const argument_t* value,
                  std::string& out) {
    argument_t arguments[4];
    std::size_t count = 0;
    for (std::size_t i = 0; i < indices.size() && i < 3; ++i) arguments[count++] = {'d', indices[i], 0.0, nullptr};
    if (value != nullptr) arguments[count++] = *value;
    out.reserve(64);
    std::size_t next = 0;
    char number[40];
    for (const char* p = format;;) {
        const char* percent = std::strchr(p, '%');
        if (percent == nullptr) {
            out.append(p);
            return true;
        }
        out.append(p, percent);
        if (percent[1] == '%') {
            out += '%';
            p = percent + 2;
            continue;
        }
        if (next == count) return false;
        const argument_t& a = arguments[next++];
        if (percent[1] == 'd' && a.kind == 'd') {
            out.append(number, std::to_chars(number, number + sizeof number, a.integer).ptr);
            p = percent + 2;
        } else if (std::strncmp(percent, "%.12e", 5) == 0 && a.kind == 'e') {
            out.append(number, qvdriver::util::format_e12(number, a.real));
            p = percent + 5;
        } else if (percent[1] == 's' && a.kind == 's') {
            out.append(a.text);
            p = percent + 2;
        } else {
            return false;
        }
    }
}

}  // namespace

std::string format_command(const char* format, const indices_t& indices) {
    std::string text;
    if (format_plain(format, indices, nullptr, text)) return text;
    return format_with(format, indices);
}
std::string format_command(const char* format, const indices_t& indices, double value) {
    std::string text;
    const argument_t a{'e', 0, value, nullptr};
    if (format_plain(format, indices, &a, text)) return text;
    return format_with(format, indices, value);
}
std::string format_command(const char* format, const indices_t& indices, std::int32_t value) {
    std::string text;
    const argument_t a{'d', value, 0.0, nullptr};
    if (format_plain(format, indices, &a, text)) return text;
    return format_with(format, indices, value);
}
std::string format_command(const char* format, const indices_t& indices, const std::string& value) {
    std::string text;
    const argument_t a{'s', 0, 0.0, value.c_str()};
    if (format_plain(format, indices, &a, text)) return text;
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
