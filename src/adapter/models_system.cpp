#include "adapter/models_system.h"

#include "frame/session.h"
#include "io/visa_library.h"
#include "support/qvutil.h"

namespace zor_adapter {

status_t system_serial_number_t::getter(std::string& value) {
    status_t status = 0;
    return session->api.serial_number(status, value);
}

status_t instrument_firmware_revision_t::getter(std::string& value) {
    status_t status = 0;
    return session->api.firmware_revision(status, value);
}

status_t specific_driver_revision_t::getter(std::string& value) {
    value = qvdriver::util::string_format(
        "Driver: ZOR %d.%d, Compiler: %s %3.2f, Components: IVIEngine %.2f, VISA-Spec %.2f", major_version,
        minor_version, "MSVC", 14.0, 19.0, 5.8);
    return 0;
}

status_t system_io_timeout_t::setter(const long_t& value) {
    qvdriver::visa::api().viSetAttribute(session->api.resource.io, VI_ATTR_TMO_VALUE,
                                         static_cast<ViAttrState>(static_cast<ViUInt32>(value)));
    return 0;
}

status_t system_io_timeout_t::getter(long_t& value) {
    ViUInt32 timeout = 0;
    qvdriver::visa::api().viGetAttribute(session->api.resource.io, VI_ATTR_TMO_VALUE, &timeout);
    value = static_cast<long_t>(timeout);
    return 0;
}

status_t status_service_request_enable_register_t::setter(const long_t& value) {
    status_t status = 0;
    return session->api.set_service_request_enable(status, value);
}

status_t status_service_request_enable_register_t::getter(long_t& value) {
    status_t status = 0;
    return session->api.service_request_enable(status, value);
}

status_t status_standard_event_enable_register_t::setter(const long_t& value) {
    status_t status = 0;
    return session->api.set_event_status_enable(status, value);
}

status_t status_standard_event_enable_register_t::getter(long_t& value) {
    status_t status = 0;
    return session->api.event_status_enable(status, value);
}

}  // namespace zor_adapter
