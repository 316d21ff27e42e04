#include "io/api.h"

#include <cmath>
#include <cstring>

#include "io/visa_library.h"
#include "support/qvutil.h"

namespace qvdriver {

api_t::~api_t() = default;

status_t api_t::open(status_t& status, const std::string& resource_name, std::uint32_t access_mode,
                     std::uint32_t open_timeout) {
    resource.name = resource_name;
    resource.open(status, access_mode, open_timeout);
    return status;
}

status_t api_t::close(status_t& status) {
    resource.close(status);
    return status;
}

status_t api_t::check_status(status_t& status) {
    std::int32_t esr = 0;
    if (event_status_register(status, esr) < 0) return status;
    // Query, device-dependent, execution and command error bits.
    status = (esr & 0x3C) != 0 ? zor_error_instrument_status : 0;
    return status;
}

status_t api_t::write(status_t& status, const std::string& command, std::uint32_t* written) {
    resource.write(status, command, written);
    return status;
}

status_t api_t::read(status_t& status, std::string& reply) {
    resource.read(status, reply);
    return status;
}

status_t api_t::set(status_t& status, const std::string& command) {
    resource.write(status, command);
    return status;
}

status_t api_t::text_query(status_t& status, const std::string& command, std::string& reply) {
    resource.write(status, command);
    if (status >= 0) resource.read(status, reply);
    return status;
}

status_t api_t::number_query(status_t& status, const std::string& command, std::int32_t& value) {
    ViInt32 result = 0;
    status = visa::api().viQueryf(resource.io, "%s", "%ld", command.c_str(), &result);
    if (status >= 0) value = result;
    return status;
}

status_t api_t::number_query(status_t& status, const std::string& command, std::int16_t& value) {
    ViInt16 result = 0;
    status = visa::api().viQueryf(resource.io, "%s", "%hd", command.c_str(), &result);
    if (status >= 0) value = result;
    return status;
}

status_t api_t::number_query(status_t& status, const std::string& command, double& value) {
    // "%Le" stores VISA's long double, wider than a double on most compilers.
    ViLongDouble result = 0;
    status = visa::api().viQueryf(resource.io, "%s", "%Le", command.c_str(), &result);
    if (status < 0) return status;
    // Beyond a double's range the reply cannot be the value (1e400 would
    // come back as an infinity): out of range for its destination, as VISA
    // says for a read into a double.
    if (std::isfinite(result) && !std::isfinite(static_cast<double>(result))) return status = VI_ERROR_INV_FMT;
    value = static_cast<double>(result);
    return status;
}

status_t api_t::clear_status(status_t& status) { return set(status, "*CLS"); }

status_t api_t::set_event_status_enable(status_t& status, std::int32_t value) {
    return set(status, util::string_format("*ESE %ld", static_cast<long>(value)));
}

status_t api_t::event_status_enable(status_t& status, std::int32_t& value) {
    return number_query(status, "*ESE?", value);
}

status_t api_t::event_status_register(status_t& status, std::int32_t& value) {
    return number_query(status, "*ESR?", value);
}

status_t api_t::operation_complete(status_t& status, std::int32_t& value) {
    return number_query(status, "*OPC?", value);
}

status_t api_t::reset(status_t& status) { return set(status, "*RST"); }

status_t api_t::set_service_request_enable(status_t& status, std::int32_t value) {
    return set(status, util::string_format("*SRE %ld", static_cast<long>(value)));
}

status_t api_t::service_request_enable(status_t& status, std::int32_t& value) {
    return number_query(status, "*SRE?", value);
}

status_t api_t::status_byte(status_t& status, std::int32_t& value) { return number_query(status, "*STB?", value); }

status_t api_t::self_test(status_t& status, std::int32_t& value) { return number_query(status, "*TST?", value); }

status_t api_t::wait(status_t& status) { return set(status, "*WAI"); }

status_t api_t::system_error(status_t& status, std::int32_t& code, std::string& message) {
    // 256 characters and the terminating NUL: the read format allows 256.
    char buffer[257];
    std::memset(buffer, 0, sizeof buffer);
    ViInt32 number = 0;
    status = visa::api().viQueryf(resource.io, ":SYST:ERR?", "%ld,\"%256[^\"]", &number, buffer);
    if (status == 0) {
        buffer[256] = '\0';
        code = number;
        message = buffer;
    }
    return status;
}

status_t api_t::operation_condition(status_t& status, std::int32_t& value) {
    return number_query(status, "STATus:OPERation:CONDition?", value);
}

status_t api_t::operation_event(status_t& status, std::int32_t& value) {
    return number_query(status, "STATus:OPERation:EVENt?", value);
}

status_t api_t::questionable_condition(status_t& status, std::int32_t& value) {
    return number_query(status, "STATus:QUEStionable:CONDition?", value);
}

status_t api_t::questionable_event(status_t& status, std::int32_t& value) {
    return number_query(status, "STATus:QUEStionable:EVENt?", value);
}

status_t api_t::status_preset(status_t& status) { return set(status, "STATus:PRESet"); }

status_t api_t::wait_operation_complete(status_t& status, std::uint32_t timeout_ms) {
    const auto& visa = visa::api();
    ViUInt32 previous = 0;
    visa.viGetAttribute(resource.io, VI_ATTR_TMO_VALUE, &previous);
    visa.viSetAttribute(resource.io, VI_ATTR_TMO_VALUE, timeout_ms);
    std::int32_t ignored = 0;
    operation_complete(status, ignored);
    visa.viSetAttribute(resource.io, VI_ATTR_TMO_VALUE, previous);
    return status;
}

status_t api_t::identify(status_t& status, std::string& reply) { return text_query(status, "*idn?", reply); }

std::array<std::string, 4> parse_idn_reply(const std::string& reply) {
    std::array<std::string, 4> fields;
    std::string text = reply;
    util::trim(text, util::white_space);
    const auto pieces = util::split_reply(text);
    for (std::size_t i = 0; i < pieces.size() && i < fields.size(); ++i) fields[i] = pieces[i];
    return fields;
}

std::array<std::string, 4> api_t::idn_fields() {
    status_t status = 0;
    std::string reply;
    if (identify(status, reply) < 0) reply.clear();
    return parse_idn_reply(reply);
}

namespace {

status_t identity_field(api_t& api, status_t& status, std::size_t index, std::string& out) {
    std::string reply;
    if (api.identify(status, reply) < 0) return status;
    const auto fields = parse_idn_reply(reply);
    for (const auto& field : fields) {
        if (field.empty()) return status = zor_error_identity_incomplete;
    }
    out = fields[index];
    return status = 0;
}

}  // namespace

status_t api_t::firmware_revision(status_t& status, std::string& revision) {
    return identity_field(*this, status, 3, revision);
}

status_t api_t::serial_number(status_t& status, std::string& serial) { return identity_field(*this, status, 2, serial); }

}  // namespace qvdriver
