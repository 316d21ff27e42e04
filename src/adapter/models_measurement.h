// Attribute models of what is computed on a trace: parameter, format,
// conversion, math and memory, offsets, electrical delay, smoothing,
// statistics and the equation editor. TRACe%d, MEASure%d and PARameter%d
// all take the trace number.
#pragma once

#include "adapter/models_common.h"

ZOR_SCPI_MODEL(measurement_parameter_t, std::string, ":CALCulate%d:PARameter%d:DEFine %s",
               ":CALCulate%d:PARameter%d:DEFine?", "CT", nullptr)
ZOR_SCPI_MODEL(measurement_display_format_t, std::string, ":CALCulate%d:TRACe%d:FORMat %s", ":CALCulate%d:TRACe%d:FORMat?",
               "CT", &display_format_keywords)
ZOR_SCPI_MODEL(math_operation_t, std::string, ":CALCulate%d:TRACe%d:MATH:FUNCtion %s",
               ":CALCulate%d:TRACe%d:MATH:FUNCtion?", "CT", &math_operation_keywords)
ZOR_SCPI_MODEL(measurement_trace_magnitude_offset_t, double, ":CALCulate%d:MEASure%d:OFFSet:MAGNitude %.12e",
               ":CALCulate%d:MEASure%d:OFFSet:MAGNitude?", "CT", nullptr)
ZOR_SCPI_MODEL(measurement_trace_phase_offset_t, double, ":CALCulate%d:TRACe%d:CORRection:OFFSet:PHASe %.12e",
               ":CALCulate%d:TRACe%d:CORRection:OFFSet:PHASe?", "CT", nullptr)
ZOR_SCPI_MODEL(measurement_trace_slope_offset_t, double, ":CALCulate%d:MEASure%d:OFFSet:MAGNitude:SLOPe %.12e",
               ":CALCulate%d:MEASure%d:OFFSet:MAGNitude:SLOPe?", "CT", nullptr)
ZOR_SCPI_MODEL(electrical_delay_time_t, double, ":CALCulate%d:TRACe%d:CORRection:EDELay:TIME %.12e",
               ":CALCulate%d:TRACe%d:CORRection:EDELay:TIME?", "CT", nullptr)
ZOR_SCPI_MODEL(electrical_delay_distance_t, double, ":CALCulate%d:MEASure%d:CORRection:EDELay:DISTance %.12e",
               ":CALCulate%d:MEASure%d:CORRection:EDELay:DISTance?", "CT", nullptr)
ZOR_SCPI_MODEL(electrical_delay_uint_t, std::string, ":CALCulate%d:MEASure%d:CORRection:EDELay:UNIT %s",
               ":CALCulate%d:MEASure%d:CORRection:EDELay:UNIT?", "CT", &distance_unit_keywords)
ZOR_SCPI_MODEL(smoothing_enable_t, bool, ":CALCulate%d:TRACe%d:SMOothing %d", ":CALCulate%d:TRACe%d:SMOothing?", "CT",
               nullptr)
ZOR_SCPI_MODEL(smoothing_apeture_t, double, ":CALCulate%d:TRACe%d:SMOothing:APERture %.12e",
               ":CALCulate%d:TRACe%d:SMOothing:APERture?", "CT", nullptr)
ZOR_SCPI_MODEL(smoothing_no_of_data_point_t, long_t, ":CALCulate%d:MEASure%d:SMOothing:POINts %d",
               ":CALCulate%d:MEASure%d:SMOothing:POINts?", "CT", nullptr)
ZOR_SCPI_MODEL(statistics_display_enable_t, bool, ":CALCulate%d:TRACe%d:MSTatistics:STATe %d",
               ":CALCulate%d:TRACe%d:MSTatistics:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(equation_enable_t, bool, ":CALCulate%d:TRACe%d:EQUation:STATE %d", ":CALCulate%d:TRACe%d:EQUation:STATE?",
               "CT", nullptr)
// The equation goes out as a SCPI string; the reply is returned as read.
ZOR_SCPI_MODEL_ON(quoted_text_model_t, equation_text_t, std::string, ":CALCulate%d:TRACe%d:EQUation:TEXT %s",
                  ":CALCulate%d:TRACe%d:EQUation:TEXT?", "CT", nullptr)

namespace zor_adapter {

// Conversion function: the conversion is switched on before the function is
// chosen, "OFF" included, so the instrument takes the function whatever its
// previous state.
class measurement_convertion_function_t final : public model_base_t<std::string> {
public:
    using model_t::getter;
    using model_t::setter;
    const keyword_map_t* keyword_map() const override { return &conversion_function_keywords; }
    status_t setter(const std::string& value) override;
    status_t getter(std::string& value) override;
};

// Memory trace display. Switching it on first stores the current data in the
// memory trace, so the memory shown is never stale. The WINDow%d field takes
// the channel number.
class measurement_trace_memory_trace_enabled_t final : public model_base_t<bool> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const bool& value) override;
    status_t getter(bool& value) override;
};

}  // namespace zor_adapter

ZOR_SAME_MODEL(math_trace_memory_enabled_t, measurement_trace_memory_trace_enabled_t)
