// Attribute models of the display: windows, the traces in them and their
// scales and titles.
#pragma once

#include "adapter/models_common.h"
#include "adapter/models_system.h"

namespace zor_adapter {

// Titles go out as SCPI strings (a title with a space is one parameter)
// and come back between double quotes; callers get the bare text.
class quoted_title_model_t : public quoted_text_model_t {
public:
    using quoted_text_model_t::getter;
    using quoted_text_model_t::setter;
    status_t getter(std::string& value) override;
};

}  // namespace zor_adapter

ZOR_SCPI_MODEL(display_window_enabled_t, bool, ":DISPlay:WINDow%d:STATe %d", ":DISPlay:WINDow%d:STATe?", "W", nullptr)
ZOR_SCPI_MODEL(display_window_title_enabled_t, bool, ":DISPlay:WINDow%d:TITLe:STATe %d", ":DISPlay:WINDow%d:TITLe:STATe?",
               "W", nullptr)
ZOR_SCPI_MODEL_ON(quoted_title_model_t, display_window_title_string_t, std::string, ":DISPlay:WINDow%d:TITLe:DATA %s",
                  ":DISPlay:WINDow%d:TITLe:DATA?", "W", nullptr)
ZOR_SCPI_MODEL(display_window_number_of_y_divisions_t, long_t, ":DISPlay:WINDow%d:Y:DIVisions %d",
               ":DISPlay:WINDow%d:Y:DIVisions?", "W", nullptr)
// The value is the window number itself.
ZOR_SAME_MODEL(display_window_active_window_t, system_active_window_t)

// The window's trace settings (ZOR_ATTR_DISPLAY_WINDOW_TRACE_*) and the
// trace's own (ZOR_ATTR_MEASUREMENT_TRACE_*) are one set of commands.
ZOR_SCPI_MODEL_ON(quoted_title_model_t, measurement_trace_title_string_t, std::string, ":DISPlay:TRACe%d:TITLe:DATA %s",
                  ":DISPlay:TRACe%d:TITLe:DATA?", "T", nullptr)
ZOR_SAME_MODEL(trace_title_t, measurement_trace_title_string_t)
ZOR_SCPI_MODEL(measurement_trace_display_title_enabled_t, bool, ":DISPlay:TRACe%d:TITLe:STATe %d",
               ":DISPlay:TRACe%d:TITLe:STATe?", "T", nullptr)
ZOR_SAME_MODEL(trace_title_enabled_t, measurement_trace_display_title_enabled_t)
ZOR_SCPI_MODEL(measurement_trace_y_per_division_value_t, double, ":DISPlay:WINDow%d:TRACe%d:Y:PDIVision %.12e",
               ":DISPlay:WINDow%d:TRACe%d:Y:PDIVision?", "WT", nullptr)
ZOR_SAME_MODEL(trace_y_per_division_value_t, measurement_trace_y_per_division_value_t)
ZOR_SCPI_MODEL(measurement_trace_y_reference_level_t, double, ":DISPlay:WINDow%d:TRACe%d:Y:RLEVel %.12e",
               ":DISPlay:WINDow%d:TRACe%d:Y:RLEVel?", "WT", nullptr)
ZOR_SAME_MODEL(trace_y_reference_level_t, measurement_trace_y_reference_level_t)
ZOR_SCPI_MODEL(measurement_trace_y_reference_position_t, double, ":DISPlay:WINDow%d:TRACe%d:Y:RPOSition %.12e",
               ":DISPlay:WINDow%d:TRACe%d:Y:RPOSition?", "WT", nullptr)
ZOR_SAME_MODEL(trace_y_reference_position_t, measurement_trace_y_reference_position_t)
// Data trace display: the WINDow%d field takes the channel number.
ZOR_SCPI_MODEL(measurement_trace_display_enabled_t, bool, ":DISPlay:WINDow%d:TRACe%d:STATe %d",
               ":DISPlay:WINDow%d:TRACe%d:STATe?", "CT", nullptr)
ZOR_SAME_MODEL(math_data_trace_enabled_t, measurement_trace_display_enabled_t)

namespace zor_adapter {

// Maximized or not, reached through ViInt32 by window_size_states. Both
// directions activate the window first, since the maximize command acts on
// the active one.
class display_window_size_t final : public model_base_t<bool> {
public:
    using model_t::getter;
    using model_t::setter;
    const state_map_t* keyword_map() const override { return &window_size_states; }
    status_t setter(const bool& value) override;
    status_t getter(bool& value) override;
};

class display_window_count_t final : public list_count_model_t {
protected:
    const char* list_query() const override { return ":DISPlay:WINDow:LIST?"; }
};

class trace_count_t final : public list_count_model_t {
protected:
    const char* list_query() const override { return ":DISPlay:TRACe:LIST?"; }
};

// Trace scales coupled to their window: WINDow or OFF; only the reply "WIND"
// reads as true. The selector is accepted and not used.
class trace_window_coupling_enabled_t final : public model_base_t<bool> {
public:
    using model_t::getter;
    using model_t::setter;
    status_t setter(const bool& value) override;
    status_t getter(bool& value) override;
};

}  // namespace zor_adapter
