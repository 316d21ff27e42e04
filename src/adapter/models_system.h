// Attribute models of the analyzer and the driver as a whole:
// identification, I/O timeout, active selections and status registers.
#pragma once

#include "adapter/models_common.h"

// Active selections: the value itself fills the number field of the set.
ZOR_SCPI_MODEL(system_active_channel_t, long_t, ":DISPlay:CHANnel%d:SELect", ":DISPlay:CHANnel:SELect?", "", nullptr)
ZOR_SCPI_MODEL(system_active_trace_t, long_t, ":DISPlay:TRACe%d:SELect", ":DISPlay:TRACe:SELect?", "", nullptr)
ZOR_SCPI_MODEL(system_active_window_t, long_t, ":DISPlay:WINDow%d:SELect", ":DISPlay:WINDow:SELect?", "", nullptr)
// On set the value is the marker number to activate.
ZOR_SCPI_MODEL(system_active_marker_t, long_t, ":CALCulate%d:TRACe%d:MARKer%d:ACTivate",
               ":CALCulate%d:TRACe%d:MARKer:ACTivate?", "CT", nullptr)
ZOR_SCPI_MODEL(system_active_meas_class_t, std::string, ":CALCulate%d:INSTrument %s", ":CALCulate%d:INSTrument?", "C",
               nullptr)
ZOR_SCPI_MODEL(status_ready_for_trigger_polarity_t, std::string, ":TRIGger:OUTPut:POLarity %s", ":TRIGger:OUTPut:POLarity?",
               "", &ready_trigger_polarity_keywords)

namespace zor_adapter {

// Identity fields: one "*idn?" exchange each; an incomplete identity fails.
class system_serial_number_t final : public model_base_t<std::string> {
public:
    using model_t::getter;
    status_t getter(std::string& value) override;
};

class instrument_firmware_revision_t final : public model_base_t<std::string> {
public:
    using model_t::getter;
    status_t getter(std::string& value) override;
};

// The driver's own revision text: constants only, no instrument traffic.
class specific_driver_revision_t final : public model_base_t<std::string> {
public:
    using model_t::getter;
    static constexpr int major_version = 1;
    static constexpr int minor_version = 0;
    status_t getter(std::string& value) override;
};

// The VISA I/O timeout of the session, in ms. VISA's answer is not passed on:
// the attribute always reports success.
class system_io_timeout_t final : public model_base_t<long_t> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const long_t& value) override;
    status_t getter(long_t& value) override;
};

// The two enable registers, through the common commands of the command object.
class status_service_request_enable_register_t final : public model_base_t<long_t> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const long_t& value) override;
    status_t getter(long_t& value) override;
};

class status_standard_event_enable_register_t final : public model_base_t<long_t> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const long_t& value) override;
    status_t getter(long_t& value) override;
};

}  // namespace zor_adapter
