// Attribute models of the limit, ripple-limit and bandwidth-limit tests,
// addressed by channel and trace.
#pragma once

#include "adapter/models_common.h"

ZOR_SCPI_MODEL(limit_enabled_t, bool, ":CALCulate%d:TRACe%d:LIMit:STATe %d", ":CALCulate%d:TRACe%d:LIMit:STATe?", "CT",
               nullptr)
ZOR_SCPI_MODEL(limit_display_enabled_t, bool, ":CALCulate%d:TRACe%d:LIMit:DISPlay:STATe %d",
               ":CALCulate%d:TRACe%d:LIMit:DISPlay:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(limit_testing_fail_sound_enabled_t, bool, ":CALCulate%d:MEASure%d:LIMit:SOUNd:STATe %d",
               ":CALCulate%d:MEASure%d:LIMit:SOUNd:STATe?", "CT", nullptr)
ZOR_SCPI_MODEL(ripple_limit_enabled_t, bool, ":CALCulate%d:TRACe%d:RLIMit:STATe %d", ":CALCulate%d:TRACe%d:RLIMit:STATe?",
               "CT", nullptr)
ZOR_SCPI_MODEL(ripple_limit_line_display_enabled_t, bool, ":CALCulate%d:TRACe%d:RLIMit:DISPlay:LINE %d",
               ":CALCulate%d:TRACe%d:RLIMit:DISPlay:LINE?", "CT", nullptr)
ZOR_SCPI_MODEL(ripple_limit_testing_fail_sound_enabled_t, bool, ":CALCulate%d:MEASure%d:RLIMit:SOUNd %d",
               ":CALCulate%d:MEASure%d:RLIMit:SOUNd?", "CT", nullptr)
ZOR_SCPI_MODEL(bw_limit_enabled_t, bool, ":CALCulate%d:TRACe%d:BLIMit:STATe %d", ":CALCulate%d:TRACe%d:BLIMit:STATe?",
               "CT", nullptr)
ZOR_SCPI_MODEL(bw_limit_display_enabled_t, bool, ":CALCulate%d:TRACe%d:BLIMit:DISPlay:VALue %d",
               ":CALCulate%d:TRACe%d:BLIMit:DISPlay:VALue?", "CT", nullptr)
ZOR_SCPI_MODEL(bw_limit_display_marker_enabled_t, bool, ":CALCulate%d:TRACe%d:BLIMit:DISPlay:MARKer %d",
               ":CALCulate%d:TRACe%d:BLIMit:DISPlay:MARKer?", "CT", nullptr)
// The bandwidth-limit values go out with six digits ("%12e"), unlike the
// twelve of the other reals.
ZOR_SCPI_MODEL(bw_limit_threshold_t, double, ":CALCulate%d:TRACe%d:BLIMit:DB %12e", ":CALCulate%d:TRACe%d:BLIMit:DB?", "CT",
               nullptr)
ZOR_SCPI_MODEL(bw_limit_minimum_t, double, ":CALCulate%d:TRACe%d:BLIMit:MINimum %12e",
               ":CALCulate%d:TRACe%d:BLIMit:MINimum?", "CT", nullptr)
ZOR_SCPI_MODEL(bw_limit_maximum_t, double, ":CALCulate%d:TRACe%d:BLIMit:MAXimum %12e",
               ":CALCulate%d:TRACe%d:BLIMit:MAXimum?", "CT", nullptr)

namespace zor_adapter {

// Number of limit segments. Setting n writes a table of n all-zero segments;
// reading takes the count that leads the table.
class limit_segment_no_t final : public model_base_t<long_t> {
public:
    using model_t::getter;
    using model_t::setter;
    // A larger table would only exhaust memory; the analyzer holds far fewer.
    static constexpr long_t max_segments = 100000;
    status_t setter(const long_t& value) override;
    status_t getter(long_t& value) override;
};

}  // namespace zor_adapter
