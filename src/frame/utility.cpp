// Utility exports: pass-through I/O, revisions, errors, reset, self-test, locks.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "adapter/models_system.h"
#include "frame/driver_setup.h"
#include "functions/action.h"
#include "io/visa_library.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// The revision, message and error texts handed back without a size argument.
constexpr ViInt32 message_size = 256;
constexpr const char* no_error_text = "No error.";

// The session check, then the locked sequence: an unknown session is refused
// before any lock is attempted.
template <typename Body>
ViStatus checked_and_locked(ViSession vi, Body&& body) {
    return guarded([&]() -> ViStatus {
        session_scope_t scope(vi);
        if (!scope.valid()) return zor_error_invalid_session;
        const status_t status = scope.lock();
        if (status != 0) return status;
        return leave_error_record(vi, body(scope));
    });
}

// Asks the instrument's event status register when the session wants status
// checking and is not simulated; clears the need once it was checked.
status_t check_instrument_status(session_scope_t& scope) {
    if (!engine::query_instr_status(scope.vi) || !engine::need_to_check_status(scope.vi) ||
        engine::simulating(scope.vi))
        return 0;
    const status_t status = check_instrument(scope, 0, std::string());
    if (status < 0) return status;
    return engine::set_need_to_check_status(scope.vi, false);
}

// One whole reply, read in 256-byte pieces until the end of the message, of
// which at most `keep` bytes are kept: the caller's buffer bounds what is
// held, not the instrument. `length` is the reply's full length without its
// trailing white space.
status_t read_reply(session_scope_t& scope, std::size_t keep, std::string& kept, std::uint64_t& length) {
    const auto& visa = visa::api();
    std::uint64_t total = 0;
    length = 0;
    for (;;) {
        ViByte piece[256];
        ViUInt32 count = 0;
        const status_t status = visa.viRead(scope.api.resource.io, piece, sizeof piece, &count);
        if (status != 0 && status != VI_SUCCESS_TERM_CHAR && status != VI_SUCCESS_MAX_CNT) return status;
        if (count > sizeof piece) count = sizeof piece;
        for (ViUInt32 i = 0; i < count; ++i) {
            ++total;
            if (std::strchr(util::white_space, piece[i]) == nullptr || piece[i] == '\0') length = total;
        }
        if (kept.size() < keep) {
            const std::size_t take = std::min<std::size_t>(count, keep - kept.size());
            kept.append(reinterpret_cast<const char*>(piece), take);
        }
        if (status == 0) break;
    }
    if (kept.size() > length) kept.resize(static_cast<std::size_t>(length));
    return 0;
}

// Description of `code` through ZOR_error_message, appended as one line.
status_t append_error_line(ViSession vi, const char* format, ViStatus code, std::string& text) {
    char description[message_size] = {};
    const ViStatus status = ZOR_error_message(vi, code, description);
    if (status < 0) return status;
    description[message_size - 1] = '\0';
    text += util::string_format(format, static_cast<unsigned>(code), description);
    return 0;
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_viRead(ViSession vi, ViUInt64 count, ViByte buffer[], ViUInt64* returnCount) {
    if (buffer == nullptr) return null_argument(vi, 3, "Null address for Buffer");
    // No room even for the terminating NUL: nothing is read, so the reply
    // stays for a later call.
    if (count == 0) return leave_error_record(vi, zor_error_buffer_size);
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        // The bounded copy takes a 32-bit size; a larger buffer is used up to
        // that size.
        const ViInt32 size = static_cast<ViInt32>(std::min<ViUInt64>(count, INT32_MAX));
        std::string reply;
        std::uint64_t length = 0;
        const status_t status = read_reply(scope, static_cast<std::size_t>(size - 1), reply, length);
        if (status < 0) return status;
        if (returnCount != nullptr) *returnCount = length;
        const status_t copied = util::copy_to_buffer(reinterpret_cast<char*>(buffer), size, reply);
        // Only part of the reply was kept: it was cut whatever fits.
        return length >= static_cast<std::uint64_t>(size) ? zor_error_text_cut : copied;
    }, after_call::nothing);
}

ZOR_API ViStatus ZOR_CALL ZOR_viWrite(ViSession vi, ViUInt64 count, ViConstBuf buffer, ViUInt64* returnCount) {
    if (buffer == nullptr) return null_argument(vi, 3, "Null address for Buffer");
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        // The NUL is looked for only within count bytes: the buffer need not
        // hold one.
        const void* nul = std::memchr(buffer, 0, static_cast<std::size_t>(std::min<ViUInt64>(count, SIZE_MAX)));
        const ViUInt64 n = nul != nullptr ? static_cast<ViUInt64>(static_cast<const ViByte*>(nul) - buffer) : count;
        // One VISA write carries a 32-bit count; a longer text would be cut
        // without notice.
        if (n > UINT32_MAX) return VI_ERROR_INV_LENGTH;
        status_t status = 0;
        std::uint32_t written = 0;
        scope.api.write(status, std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n)),
                        &written);
        if (status >= 0 && returnCount != nullptr) *returnCount = written;
        return status;
    }, after_call::nothing);
}

ZOR_API ViStatus ZOR_CALL ZOR_revision_query(ViSession vi, ViChar driverRevision[], ViChar instrumentRevision[]) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        if (driverRevision == nullptr) return null_argument(vi, 2, "Null address for Driver Revision");
        if (instrumentRevision == nullptr) return null_argument(vi, 3, "Null address for Instrument Revision");
        std::string text;
        zor_adapter::specific_driver_revision_t driver;
        driver.getter(text);
        util::copy_to_buffer(driverRevision, message_size, text);
        status_t status = 0;
        if (scope.api.firmware_revision(status, text) < 0) return status;
        status = util::copy_to_buffer(instrumentRevision, message_size, text);
        if (status != 0) return status;
        return check_instrument_status(scope);
    }, after_call::nothing);
}

ZOR_API ViStatus ZOR_CALL ZOR_error_message(ViSession vi, ViStatus statusCode, ViChar message[]) {
    return guarded([&]() -> ViStatus {
        if (vi != 0) engine::lock_session(vi, nullptr);
        ViStatus status = 0;
        if (message == nullptr) {
            status = null_argument(vi, 3, "Null address for Error Message");
        } else {
            // The driver adds no descriptions of its own: the table is only
            // its terminator, so the engine describes every status.
            IviStringValueTableEntry table[] = {{0, nullptr}};
            status = engine::get_specific_driver_status_desc(vi, statusCode, message, table);
            if (status > 0) status = 0;
        }
        if (vi != 0) engine::unlock_session(vi, nullptr);
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_GetError(ViSession vi, ViStatus* errorCode, ViInt32 bufferSize, ViChar description[]) {
    auto body = [&](bool from_thread) -> ViStatus {
        ViStatus primary = 0;
        ViStatus secondary = 0;
        char elaboration[message_size] = {};
        if (bufferSize != 0) {
            if (errorCode == nullptr) return null_argument(vi, 2, "Null address for Error");
            if (description == nullptr) return null_argument(vi, 4, "Null address for Description");
            // Refused before the record is read: reading clears it, and the
            // text could then not be handed back.
            if (bufferSize < 0) return zor_error_buffer_size;
        }
        if (bufferSize != 0 || from_thread) {
            const status_t status = engine::get_error_info(vi, &primary, &secondary, elaboration);
            if (status < 0) return status;
        } else {
            status_t status = engine::get_attribute_vi_string(vi, nullptr, IVI_ATTR_ERROR_ELABORATION, 0,
                                                              message_size, elaboration);
            if (status < 0) return status;
            status = engine::get_attribute_vi_int32(vi, nullptr, IVI_ATTR_SECONDARY_ERROR, 0, &secondary);
            if (status < 0) return status;
            status = engine::get_attribute_vi_int32(vi, nullptr, IVI_ATTR_PRIMARY_ERROR, 0, &primary);
            if (status < 0) return status;
        }
        elaboration[message_size - 1] = '\0';

        std::string text;
        if (primary != 0) {
            const status_t status = append_error_line(vi, "Primary-Error: (0x%08X) %s\n", primary, text);
            if (status < 0) return status;
        }
        if (secondary != 0) {
            const status_t status = append_error_line(vi, "Secondary-Error: (0x%08X) %s\n", secondary, text);
            if (status < 0) return status;
        }
        if (elaboration[0] != '\0') text += util::string_format("Elaboration: %s", elaboration);

        if (errorCode != nullptr) *errorCode = primary;
        // A size of 0 asks how large the buffer must be.
        if (bufferSize == 0) return static_cast<ViStatus>(text.size() + 1);
        return util::copy_to_buffer(description, bufferSize, text);
    };
    // VI_NULL reads this thread's record: what a failed open left there.
    if (vi == VI_NULL) return guarded([&]() -> ViStatus { return body(true); });
    return checked_and_locked(vi, [&](session_scope_t&) -> ViStatus { return body(false); });
}

ZOR_API ViStatus ZOR_CALL ZOR_ClearError(ViSession vi) {
    return guarded([&]() -> ViStatus { return engine::clear_error_info(vi); });
}

ZOR_API ViStatus ZOR_CALL ZOR_GetNextCoercionRecord(ViSession vi, ViInt32 bufferSize, ViChar record[]) {
    return guarded([&]() -> ViStatus { return engine::get_next_coercion_string(vi, bufferSize, record); });
}

ZOR_API ViStatus ZOR_CALL ZOR_InvalidateAllAttributes(ViSession vi) {
    return guarded([&]() -> ViStatus { return engine::invalidate_all_attributes(vi); });
}

ZOR_API ViStatus ZOR_CALL ZOR_Disable(ViSession vi) {
    // Nothing on this analyzer needs quieting: the call only takes and
    // releases the lock.
    return locked(vi, [](session_scope_t&) -> ViStatus { return 0; }, after_call::nothing);
}

ZOR_API ViStatus ZOR_CALL ZOR_error_query(ViSession vi, ViInt32* errorCode, ViChar errorMessage[]) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        if (errorCode == nullptr) return null_argument(vi, 2, "Null address for Error Code");
        if (errorMessage == nullptr) return null_argument(vi, 3, "Null address for Error Message");
        if (engine::simulating(vi)) {
            *errorCode = 0;
            return util::copy_to_buffer(errorMessage, message_size, no_error_text);
        }
        engine::set_need_to_check_status(vi, true);
        status_t status = 0;
        std::int32_t code = 0;
        std::string message;
        if (scope.api.system_error(status, code, message) != 0) return status;
        *errorCode = code;
        return util::copy_to_buffer(errorMessage, message_size, message);
    }, after_call::nothing);
}

ZOR_API ViStatus ZOR_CALL ZOR_LockSession(ViSession vi, ViBoolean* callerHasLock) {
    return guarded([&]() -> ViStatus { return engine::lock_session(vi, callerHasLock); });
}

ZOR_API ViStatus ZOR_CALL ZOR_UnlockSession(ViSession vi, ViBoolean* callerHasLock) {
    return guarded([&]() -> ViStatus { return engine::unlock_session(vi, callerHasLock); });
}

ZOR_API ViStatus ZOR_CALL ZOR_reset(ViSession vi) {
    return checked_and_locked(vi, [&](session_scope_t& scope) -> ViStatus {
        if (!engine::simulating(vi)) {
            engine::set_need_to_check_status(vi, true);
            // A failing "*RST" does not fail the reset: the status check
            // afterwards reports what went wrong on the instrument.
            status_t ignored = 0;
            scope.api.reset(ignored);
            // The reset went back to text: binary sessions switch again.
            apply_data_format(scope);
            engine::invalidate_all_attributes(vi);
            engine::set_need_to_check_status(vi, true);
        }
        return check_instrument_status(scope);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ResetWithDefaults(ViSession vi) {
    return guarded([&]() -> ViStatus {
        ViStatus status = engine::lock_session(vi, nullptr);
        if (status >= 0) status = ZOR_reset(vi);
        if (status >= 0) status = engine::apply_default_setup(vi);
        engine::unlock_session(vi, nullptr);
        return status < 0 ? status : 0;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_self_test(ViSession vi, ViInt16* testResult, ViChar testMessage[]) {
    if (testResult == nullptr) return null_argument(vi, 2, "Null address for Test Result");
    if (testMessage == nullptr) return null_argument(vi, 3, "Null address for Test Message");
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        if (engine::simulating(vi)) {
            *testResult = 0;
            return util::copy_to_buffer(testMessage, message_size, no_error_text);
        }
        status_t status = 0;
        std::int32_t result = 0;
        if (scope.api.self_test(status, result) != 0) return status;
        *testResult = static_cast<ViInt16>(result);
        std::memset(testMessage, 0, message_size);
        return 0;
    });
}

}  // extern "C"
