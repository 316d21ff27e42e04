// Status values the engine returns beyond those named in ivi_engine.h.
#pragma once

#include "ivi_engine.h"
#include "support/status.h"
#include "visa.h"

namespace zor_engine {

// A required pointer argument was null.
constexpr ViStatus status_null_pointer = qvdriver::zor_error_null_pointer;
// Session lock not obtained within the lock time-out.
constexpr ViStatus status_lock_timeout = VI_ERROR_TMO;
// Something failed inside the engine (out of memory, unexpected exception).
constexpr ViStatus status_internal_error = VI_ERROR_SYSTEM_ERROR;
// A resolved resource name or option string did not fit in 256 bytes.
constexpr ViStatus status_text_cut = VI_ERROR_USER_BUF;
// Ivi_GetSpecificDriverStatusDesc on an unknown status.
constexpr ViStatus status_unknown_status = VI_WARN_UNKNOWN_STATUS;

}  // namespace zor_engine
