// Attribute models of the time-domain transform and gating, addressed by
// channel and trace.
#pragma once

#include "adapter/models_common.h"

ZOR_SCPI_MODEL(time_domain_transform_enabled_t, bool, ":CALCulate%d:TRACe%d:TRANsform:TIME:STATe %d",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_start_t, double, ":CALCulate%d:TRACe%d:TRANsform:TIME:STARt %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:STARt?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_stop_t, double, ":CALCulate%d:TRACe%d:TRANsform:TIME:STOP %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:STOP?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_center_t, double, ":CALCulate%d:TRACe%d:TRANsform:TIME:CENTer %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:CENTer?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_span_t, double, ":CALCulate%d:TRACe%d:TRANsform:TIME:SPAN %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:SPAN?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_window_impulse_width_t, double,
               ":CALCulate%d:TRACe%d:TRANsform:TIME:IMPulse:WIDTh %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:IMPulse:WIDTh?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_transform_kaiser_bessel_width_t, double, ":CALCulate%d:TRACe%d:TRANsform:TIME:KBESsel %.12e",
               ":CALCulate%d:TRACe%d:TRANsform:TIME:KBESsel?", "CT", nullptr)
// Transform coupling across traces: three attributes, one pair of commands.
ZOR_SCPI_MODEL(time_domain_coupling_enabled_t, bool, ":CALCulate%d:TRACe%d:TRANsform:COUPle:STATe %d",
               ":CALCulate%d:TRACe%d:TRANsform:COUPle:STATe?", "CT", nullptr)
ZOR_SAME_MODEL(measurement_time_domain_couple_enabled_t, time_domain_coupling_enabled_t)
ZOR_SAME_MODEL(channel_trace_coupling_enabled_t, time_domain_coupling_enabled_t)

ZOR_SCPI_MODEL(time_domain_gating_enabled_t, bool, ":CALCulate%d:TRACe%d:FILTer:TIME:STATe %d",
               ":CALCulate%d:TRACe%d:FILTer:TIME:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_gating_start_t, double, ":CALCulate%d:TRACe%d:FILTer:TIME:STARt %.12e",
               ":CALCulate%d:TRACe%d:FILTer:TIME:STARt?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_gating_stop_t, double, ":CALCulate%d:TRACe%d:FILTer:TIME:STOP %.12e",
               ":CALCulate%d:TRACe%d:FILTer:TIME:STOP?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_gating_center_t, double, ":CALCulate%d:TRACe%d:FILTer:TIME:CENTer %.12e",
               ":CALCulate%d:TRACe%d:FILTer:TIME:CENTer?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_gating_span_t, double, ":CALCulate%d:TRACe%d:FILTer:TIME:SPAN %.12e",
               ":CALCulate%d:TRACe%d:FILTer:TIME:SPAN?", "CT", nullptr)
ZOR_SCPI_MODEL(time_domain_gating_filter_shape_t, std::string, ":CALCulate%d:TRACe%d:FILTer:TIME:SHAPE %s",
               ":CALCulate%d:TRACe%d:FILTer:TIME:SHAPE?", "CT", &gate_shape_keywords)
ZOR_SCPI_MODEL(time_domain_gating_filter_type_t, std::string, ":CALCulate%d:TRACe%d:FILTer:TIME:TYPE %s",
               ":CALCulate%d:TRACe%d:FILTer:TIME:TYPE?", "CT", &gate_type_keywords)

namespace zor_adapter {

// Transform mode. Band-pass is a transform type of its own; impulse and step
// are stimuli of the low-pass transform, so setting them leaves the type
// alone, and reading a low-pass type asks for the stimulus.
class time_domain_transform_mode_t final : public model_base_t<std::string> {
public:
    using model_t::getter;
    using model_t::setter;
    const keyword_map_t* keyword_map() const override { return &transform_mode_keywords; }
    status_t setter(const std::string& value) override;
    status_t getter(std::string& value) override;
};

}  // namespace zor_adapter
