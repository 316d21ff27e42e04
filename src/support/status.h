// Status codes the library makes itself; engine and VISA statuses pass
// through unchanged.
#pragma once

#include <cstdint>

namespace qvdriver {

// The 32-bit status of every internal operation (negative: error).
using status_t = std::int32_t;

constexpr status_t zor_success = 0;
constexpr status_t zor_error_engine_not_loadable = static_cast<status_t>(0xBFFA0000u);
constexpr status_t zor_error_instrument_status = static_cast<status_t>(0xBFFA0001u);
constexpr status_t zor_error_engine_function_missing = static_cast<status_t>(0xBFFA0009u);
constexpr status_t zor_error_null_pointer = static_cast<status_t>(0xBFFA000Fu);
constexpr status_t zor_error_identity_incomplete = static_cast<status_t>(0xBFFA0010u);
constexpr status_t zor_error_not_supported = static_cast<status_t>(0xBFFA0011u);
constexpr status_t zor_error_attribute_not_registered = static_cast<status_t>(0xBFFA0012u);
constexpr status_t zor_error_rep_cap_not_found = static_cast<status_t>(0xBFFA0019u);
constexpr status_t zor_error_badly_formed_selector = static_cast<status_t>(0xBFFA0066u);
constexpr status_t zor_error_buffer_size = static_cast<status_t>(0xBFFA4001u);
constexpr status_t zor_error_calkit_not_found = static_cast<status_t>(0xBFFC0001u);
constexpr status_t zor_error_identity_check = static_cast<status_t>(0xBFFC0011u);
constexpr status_t zor_error_invalid_session = static_cast<status_t>(0xBFFF000Eu);
constexpr status_t zor_error_value_count = static_cast<status_t>(0xBFFF0010u);
constexpr status_t zor_error_keyword = static_cast<status_t>(0xBFFF001Du);
constexpr status_t zor_error_no_resource_manager = static_cast<status_t>(0xBFFF003Eu);
constexpr status_t zor_error_text_cut = static_cast<status_t>(0xBFFF0071u);
constexpr status_t zor_error_reply_not_in_map = static_cast<status_t>(0xBFFF0078u);
constexpr status_t zor_error_visa_not_available = static_cast<status_t>(0xBFFF009Eu);

}  // namespace qvdriver
