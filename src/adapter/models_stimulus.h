// Attribute models of the channel stimulus: frequency range, sweep, source
// power, averaging and triggering. The SOURce%d field is the channel, not a
// port.
#pragma once

#include "adapter/models_common.h"

ZOR_SCPI_MODEL(frequency_start_t, double, ":SENSe%d:FREQuency:STARt %.12e", ":SENSe%d:FREQuency:STARt?", "C", nullptr)
ZOR_SCPI_MODEL(frequency_stop_t, double, ":SENSe%d:FREQuency:STOP %.12e", ":SENSe%d:FREQuency:STOP?", "C", nullptr)
ZOR_SCPI_MODEL(frequency_center_t, double, ":SENSe%d:FREQuency:CENTer %.12e", ":SENSe%d:FREQuency:CENTer?", "C", nullptr)
ZOR_SCPI_MODEL(frequency_span_t, double, ":SENSe%d:FREQuency:SPAN %.12e", ":SENSe%d:FREQuency:SPAN?", "C", nullptr)
ZOR_SCPI_MODEL(frequency_step_t, double, ":SENSe%d:FREQuency:STEP %.12e", ":SENSe%d:FREQuency:STEP?", "C", nullptr)
ZOR_SCPI_MODEL(sweep_cw_freq_t, double, ":SENSe%d:FREQuency:CW %.12e", ":SENSe%d:FREQuency:CW?", "C", nullptr)
ZOR_SCPI_MODEL(sweep_number_of_points_t, long_t, ":SENSe%d:SWEep:POINts %d", ":SENSe%d:SWEep:POINts?", "C", nullptr)
ZOR_SCPI_MODEL(sweep_type_t, std::string, ":SENSe%d:SWEep:TYPE %s", ":SENSe%d:SWEep:TYPE?", "C", &sweep_type_keywords)
ZOR_SCPI_MODEL(sweep_time_t, double, ":SENSe%d:SWEep:TIME %.12e", ":SENSe%d:SWEep:TIME?", "C", nullptr)
ZOR_SCPI_MODEL(sweep_time_auto_t, bool, ":SENSe%d:SWEep:TIME:AUTO %d", ":SENSe%d:SWEep:TIME:AUTO?", "C", nullptr)
// The channel's trigger delay is its sweep delay: one pair of commands.
ZOR_SCPI_MODEL(sweep_delay_t, double, ":SENSe%d:SWEep:DELay %.12e", ":SENSe%d:SWEep:DELay?", "C", nullptr)
ZOR_SAME_MODEL(trigger_delay_t, sweep_delay_t)
ZOR_SCPI_MODEL(sweep_trigger_mode_t, std::string, ":SENSe%d:SWEep:MODE %s", ":SENSe%d:SWEep:MODE?", "C",
               &sweep_trigger_mode_keywords)

ZOR_SCPI_MODEL(source_port_power_level_t, double, ":SOURce%d:POWer %.12e", ":SOURce%d:POWer?", "C", nullptr)
ZOR_SCPI_MODEL(source_port_power_start_t, double, ":SOURce%d:POWer:STARt %.12e", ":SOURce%d:POWer:STARt?", "C", nullptr)
ZOR_SCPI_MODEL(source_port_power_stop_t, double, ":SOURce%d:POWer:STOP %.12e", ":SOURce%d:POWer:STOP?", "C", nullptr)
ZOR_SCPI_MODEL(source_port_power_slope_t, double, ":SOURce%d:POWer:SLOPe %.12e", ":SOURce%d:POWer:SLOPe?", "C", nullptr)
ZOR_SCPI_MODEL(source_port_power_slope_enabled_t, bool, ":SOURce%d:POWer:SLOPe:STATe %d", ":SOURce%d:POWer:SLOPe:STATe?",
               "C", nullptr)
ZOR_SCPI_MODEL(source_port_power_couple_enabled_t, bool, ":SOURce%d:POWer:PORT:COUPle %d", ":SOURce%d:POWer:PORT:COUPle?",
               "C", nullptr)
// The RF output is one switch for the whole analyzer: the selector is accepted
// and not used.
ZOR_SCPI_MODEL(source_port_power_enabled_t, bool, ":OUTPut %d", ":OUTPut?", "", nullptr)
ZOR_SAME_MODEL(system_power_enabled_t, source_port_power_enabled_t)

ZOR_SCPI_MODEL(averaging_enable_t, bool, ":SENSe%d:AVERage %d", ":SENSe%d:AVERage?", "C", nullptr)
ZOR_SCPI_MODEL(averaging_factor_t, long_t, ":SENSe%d:AVERage:COUNt %d", ":SENSe%d:AVERage:COUNt?", "C", nullptr)
ZOR_SCPI_MODEL(averaging_IF_bandwidth_t, double, ":SENSe%d:BANDwidth %.12e", ":SENSe%d:BANDwidth?", "C", nullptr)

ZOR_SCPI_MODEL(trigger_source_t, std::string, ":TRIGger:SEQuence:SOURce %s", ":TRIGger:SEQuence:SOURce?", "",
               &trigger_source_keywords)
ZOR_SCPI_MODEL(trigger_scope_t, std::string, ":TRIGger:SEQuence:SCOPe %s", ":TRIGger:SEQuence:SCOPe?", "",
               &trigger_scope_keywords)
ZOR_SCPI_MODEL(trigger_slope_t, std::string, ":TRIGger:SEQuence:EXTernal:SLOPe %s", ":TRIGger:SEQuence:EXTernal:SLOPe?", "",
               &trigger_slope_keywords)
ZOR_SCPI_MODEL(trigger_external_delay_t, double, ":TRIGger:EXTernal:DELay %.12e", ":TRIGger:EXTernal:DELay?", "", nullptr)

namespace zor_adapter {

// Continuous sweep of the active channel: CONTinuous or HOLD on set; on get
// only the exact reply "CONT" is true (a single sweep reads as false).
class trigger_initiate_continuous_enabled_t final : public model_base_t<bool> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const bool& value) override;
    status_t getter(bool& value) override;
};

class channel_count_t final : public list_count_model_t {
protected:
    const char* list_query() const override { return ":DISPlay:CHANnel:LIST?"; }
};

}  // namespace zor_adapter
