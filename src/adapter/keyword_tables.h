// The enumerated keyword tables: enumeration value to SCPI keyword (one
// table maps to a Boolean state). Built once at load, read-only afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zor_adapter {

using keyword_map_t = std::map<std::int32_t, std::string>;
using state_map_t = std::map<std::int32_t, bool>;
using number_map_t = std::map<std::int32_t, std::int32_t>;

// The 26 keyword tables, named once.
#define ZOR_KEYWORD_TABLES(X) \
    X(marker_coupling_keywords) \
    X(marker_type_keywords) \
    X(marker_setting_keywords) \
    X(marker_search_function_keywords) \
    X(peak_polarity_keywords) \
    X(target_transition_keywords) \
    X(multi_search_function_keywords) \
    X(bandwidth_notch_keywords) \
    X(bandwidth_reference_keywords) \
    X(trigger_scope_keywords) \
    X(trigger_slope_keywords) \
    X(trigger_source_keywords) \
    X(conversion_function_keywords) \
    X(display_format_keywords) \
    X(sweep_type_keywords) \
    X(sweep_trigger_mode_keywords) \
    X(ready_trigger_polarity_keywords) \
    X(distance_unit_keywords) \
    X(statistics_type_keywords) \
    X(math_operation_keywords) \
    X(trl_impedance_keywords) \
    X(trl_plane_keywords) \
    X(file_type_keywords) \
    X(gate_shape_keywords) \
    X(gate_type_keywords) \
    X(transform_mode_keywords)

#define ZOR_KEYWORD_TABLE_DECL(table) extern const keyword_map_t table;
ZOR_KEYWORD_TABLES(ZOR_KEYWORD_TABLE_DECL)
#undef ZOR_KEYWORD_TABLE_DECL

extern const state_map_t window_size_states;

}  // namespace zor_adapter
