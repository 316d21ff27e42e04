// Attribute models of markers and marker search. Fields are filled in the
// order channel, trace, marker (or window alone), then the value; TRACe%d and
// MEASure%d both take the trace number.
#pragma once

#include "adapter/models_common.h"
#include "adapter/models_system.h"

ZOR_SAME_MODEL(marker_active_marker_t, system_active_marker_t)
ZOR_SCPI_MODEL(marker_coupling_method_t, std::string, ":CALCulate:MARKer:COUPle %s", ":CALCulate:MARKer:COUPle?", "",
               &marker_coupling_keywords)
ZOR_SCPI_MODEL(marker_delta_enabled_t, bool, ":CALCulate%d:MEASure%d:MARKer%d:DELTa %d",
               ":CALCulate%d:MEASure%d:MARKer%d:DELTa?", "CTM", nullptr)
ZOR_SCPI_MODEL(marker_display_discrete_data_enabled_t, bool, ":CALCulate%d:TRACe%d:MARKer%d:DISCrete %d",
               ":CALCulate%d:TRACe%d:MARKer%d:DISCrete?", "CTM", nullptr)
ZOR_SCPI_MODEL(marker_reference_mode_enabled_t, bool, ":CALCulate%d:TRACe%d:MARKer:REFerence:STATe %d",
               ":CALCulate%d:TRACe%d:MARKer:REFerence:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(marker_readout_position_x_t, double, ":DISPlay:WINDow%d:ANNotation:MARKer:POSition:X %.12e",
               ":DISPlay:WINDow%d:ANNotation:MARKer:POSition:X?", "W", nullptr)
ZOR_SCPI_MODEL(marker_readout_position_y_t, double, ":DISPlay:WINDow%d:ANNotation:MARKer:POSition:Y %.12e",
               ":DISPlay:WINDow%d:ANNotation:MARKer:POSition:Y?", "W", nullptr)
ZOR_SCPI_MODEL(marker_x_position_t, double, ":CALCulate%d:TRACe%d:MARKer%d:X %.12e", ":CALCulate%d:TRACe%d:MARKer%d:X?",
               "CTM", nullptr)

ZOR_SCPI_MODEL(marker_search_function_t, std::string, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TYPE %s",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TYPE?", "CTM", &marker_search_function_keywords)
ZOR_SCPI_MODEL(marker_search_tracking_enabled_t, bool, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TRACking %d",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TRACking?", "CTM", nullptr)
ZOR_SCPI_MODEL(marker_search_peak_excursion_t, double, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:PEXCursion %.12e",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:PEXCursion?", "CTM", nullptr)
ZOR_SCPI_MODEL(marker_search_peak_threshold_t, double, ":CALCulate%d:MEASure%d:MARKer%d:FUNCtion:PEAK:THReshold %.12e",
               ":CALCulate%d:MEASure%d:MARKer%d:FUNCtion:PEAK:THReshold?", "CTM", nullptr)
ZOR_SCPI_MODEL(marker_search_peak_polarity_t, std::string, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:PPOLarity %s",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:PPOLarity?", "CTM", &peak_polarity_keywords)
ZOR_SCPI_MODEL(marker_search_target_transition_t, std::string, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TTRansition %s",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TTRansition?", "CTM", &target_transition_keywords)
ZOR_SCPI_MODEL(marker_search_target_value_t, double, ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TARGet %.12e",
               ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TARGet?", "CTM", nullptr)

ZOR_SCPI_MODEL(marker_search_muti_search_function_t, std::string, ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TYPE %s",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TYPE?", "CT", &multi_search_function_keywords)
// Multi-search tracking is the single-marker tracking switch.
ZOR_SAME_MODEL(marker_search_muti_search_tracking_enabled_t, marker_search_tracking_enabled_t)
ZOR_SCPI_MODEL(marker_search_muti_search_peak_excursion_t, double,
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:PEXCursion %.12e",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:PEXCursion?", "CT", nullptr)
ZOR_SCPI_MODEL(marker_search_muti_search_peak_polarity_t, std::string,
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:PPOLarity %s",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:PPOLarity?", "CT", &peak_polarity_keywords)
ZOR_SCPI_MODEL(marker_search_muti_search_peak_threshold_t, double,
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:THReshold %.12e",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:THReshold?", "CT", nullptr)
ZOR_SCPI_MODEL(marker_search_muti_search_target_transition_t, std::string,
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TTRansition %s",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TTRansition?", "CT", &target_transition_keywords)
ZOR_SCPI_MODEL(marker_search_muti_search_target_value_t, double, ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TARGet %.12e",
               ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TARGet?", "CT", nullptr)

namespace zor_adapter {

// Marker coupling as a switch: CHANnel when on, OFF when off; any reply but
// "OFF" (CHAN, ALL) reads as coupled.
class marker_coupling_enabled_t final : public model_base_t<bool> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const bool& value) override;
    status_t getter(bool& value) override;
};

}  // namespace zor_adapter
