// Status codes the library makes itself (include/zor_status.def); engine and
// VISA statuses pass through unchanged.
#pragma once

#include <cstdint>

namespace qvdriver {

// The 32-bit status of every internal operation (negative: error).
using status_t = std::int32_t;

constexpr status_t zor_success = 0;
#define ZOR_STATUS(NAME, name, value, text) constexpr status_t zor_error_##name = static_cast<status_t>(value##u);
#include "zor_status.def"
#undef ZOR_STATUS

}  // namespace qvdriver
