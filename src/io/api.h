// The command object: the only way the library speaks SCPI. api_t holds the
// instrument-independent operations (common commands, error queue, status
// registers) as virtual slots in a fixed order; zor_api_t adds the
// analyzer's own command methods area by area.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "io/visa_resource.h"
#include "support/status.h"

namespace qvdriver {

class api_t {
public:
    visa_resource_t resource;

    api_t() = default;
    api_t(const api_t&) = default;
    api_t& operator=(const api_t&) = default;

    // Slot order is fixed: callers reach these operations by slot.
    virtual ~api_t();                                                                            // 0
    virtual status_t open(status_t& status, const std::string& resource_name, std::uint32_t access_mode,
                          std::uint32_t open_timeout);                                           // 1
    virtual status_t close(status_t& status);                                                    // 2
    virtual status_t check_status(status_t& status);                                             // 3
    virtual status_t write(status_t& status, const std::string& command, std::uint32_t* written);  // 4
    virtual status_t read(status_t& status, std::string& reply);                                 // 5
    virtual status_t clear_status(status_t& status);                                             // 6
    virtual status_t set_event_status_enable(status_t& status, std::int32_t value);              // 7
    virtual status_t event_status_enable(status_t& status, std::int32_t& value);                 // 8
    virtual status_t event_status_register(status_t& status, std::int32_t& value);               // 9
    virtual status_t operation_complete(status_t& status, std::int32_t& value);                  // 10
    virtual status_t reset(status_t& status);                                                    // 11
    virtual status_t set_service_request_enable(status_t& status, std::int32_t value);           // 12
    virtual status_t service_request_enable(status_t& status, std::int32_t& value);              // 13
    virtual status_t status_byte(status_t& status, std::int32_t& value);                         // 14
    virtual status_t self_test(status_t& status, std::int32_t& value);                           // 15
    virtual status_t wait(status_t& status);                                                     // 16
    virtual status_t system_error(status_t& status, std::int32_t& code, std::string& message);   // 17
    virtual status_t operation_condition(status_t& status, std::int32_t& value);                 // 18
    virtual status_t operation_event(status_t& status, std::int32_t& value);                     // 19
    virtual status_t questionable_condition(status_t& status, std::int32_t& value);              // 20
    virtual status_t questionable_event(status_t& status, std::int32_t& value);                  // 21
    virtual status_t status_preset(status_t& status);                                            // 22
    virtual status_t wait_operation_complete(status_t& status, std::uint32_t timeout_ms);        // 23
    virtual status_t identify(status_t& status, std::string& reply);                             // 24

    // Built on identify: exactly four fields (manufacturer, model, serial,
    // firmware); a failed query gives four empty fields.
    std::array<std::string, 4> idn_fields();
    status_t firmware_revision(status_t& status, std::string& revision);
    status_t serial_number(status_t& status, std::string& serial);

    // The three exchange patterns every command method uses.
    status_t set(status_t& status, const std::string& command);
    status_t text_query(status_t& status, const std::string& command, std::string& reply);
    status_t number_query(status_t& status, const std::string& command, std::int32_t& value);
    status_t number_query(status_t& status, const std::string& command, std::int16_t& value);
    status_t number_query(status_t& status, const std::string& command, double& value);
};

// Splits an identity reply into its four fields.
std::array<std::string, 4> parse_idn_reply(const std::string& reply);

}  // namespace qvdriver
