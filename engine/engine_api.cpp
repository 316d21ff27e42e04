// The exported Ivi_* functions. Each one catches every exception: nothing
// may unwind into a C caller.
#include <cstdio>
#include <new>
#include <string>
#include <type_traits>

#include "engine_status.h"
#include "ivi_engine.h"
#include "logical_names.h"
#include "option_string.h"
#include "sessions.h"
#include "status_text.h"
#include "support/platform.h"
#include "text_util.h"
#include "visa_binding.h"

#if defined(_WIN32)
#define ZOR_ENGINE_EXPORT __declspec(dllexport)
#else
#define ZOR_ENGINE_EXPORT __attribute__((visibility("default")))
#endif

// Declared from the interface list, so a definition below that strays from
// its signature fails to compile.
#define ZOR_ENGINE_DECLARE(name, ret, params, required) extern "C" ZOR_ENGINE_EXPORT ret ZOR_IVI_CALL name params;
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_ENGINE_DECLARE)
#undef ZOR_ENGINE_DECLARE

#define ZOR_ENGINE_CHECK_TYPE(name, ret, params, required) \
    static_assert(std::is_same_v<decltype(&name), name##_fn>, #name " does not match its pointer type");
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_ENGINE_CHECK_TYPE)
#undef ZOR_ENGINE_CHECK_TYPE

using namespace zor_engine;

namespace {

template <typename F>
ViStatus guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return status_internal_error;
    }
}

template <typename F>
ViBoolean guarded_bool(F&& body) noexcept {
    try {
        return body() ? VI_TRUE : VI_FALSE;
    } catch (...) {
        return VI_FALSE;
    }
}

// Session 0 errors are kept per thread, like a C library's errno.
thread_local error_record_t thread_error;

void record_error(error_record_t& record, bool overwrite, ViStatus primary, ViStatus secondary,
                  ViConstString elaboration) {
    if (!overwrite && record.primary != 0) return;
    record.primary = primary;
    record.secondary = secondary;
    copy_cut(from_c(elaboration), record.elaboration, sizeof record.elaboration);
}

void take_error(error_record_t& record, ViStatus* primary, ViStatus* secondary, ViChar* elaboration) {
    if (primary != nullptr) *primary = record.primary;
    if (secondary != nullptr) *secondary = record.secondary;
    if (elaboration != nullptr) copy_cut(record.elaboration, elaboration, IVI_MAX_MESSAGE_BUF_SIZE);
    record = error_record_t{};
}

// The usual string-out convention: size 0 asks for the needed size; a text
// that does not fit is cut and the needed size (length + 1) returned.
ViStatus copy_out(const std::string& text, ViInt32 size, ViChar* buffer) {
    const auto needed = static_cast<ViStatus>(text.size() + 1);
    if (size == 0) return needed;
    if (size < 0) return IVI_ERROR_INVALID_PARAMETER;
    if (buffer == nullptr) return status_null_pointer;
    return copy_cut(text, buffer, static_cast<std::size_t>(size)) ? VI_SUCCESS : needed;
}

bool option_attribute(const session_options_t& o, ViAttr id, bool& value) {
    switch (id) {
        case IVI_ATTR_RANGE_CHECK: value = o.range_check; return true;
        case IVI_ATTR_QUERY_INSTRUMENT_STATUS: value = o.query_instr_status; return true;
        case IVI_ATTR_CACHE: value = o.cache; return true;
        case IVI_ATTR_SIMULATE: value = o.simulate; return true;
        case IVI_ATTR_RECORD_COERCIONS: value = o.record_coercions; return true;
        case IVI_ATTR_INTERCHANGE_CHECK: value = o.interchange_check; return true;
        default: return false;
    }
}

bool known_attribute(ViAttr id) {
    bool ignored = false;
    session_options_t defaults;
    if (option_attribute(defaults, id, ignored)) return true;
    switch (id) {
        case IVI_ATTR_DRIVER_SETUP:
        case IVI_ATTR_PRIMARY_ERROR:
        case IVI_ATTR_SECONDARY_ERROR:
        case IVI_ATTR_ERROR_ELABORATION:
        case IVI_ATTR_IO_RESOURCE_DESCRIPTOR:
        case IVI_ATTR_VISA_RM_SESSION:
        case IVI_ATTR_IO_SESSION: return true;
        default: return false;
    }
}

// Runs body(session) with the session's data mutex held, after checking the
// handle; body returns the status.
template <typename F>
ViStatus with_session(ViSession vi, F&& body) {
    session_t* s = find_session(vi);
    if (s == nullptr) return VI_ERROR_INV_SESSION;
    std::lock_guard<std::mutex> lk(s->data);
    if (!s->holds(vi)) return VI_ERROR_INV_SESSION;
    return body(*s);
}

}  // namespace

extern "C" {

ViStatus ZOR_IVI_CALL Ivi_SpecificDriverNew(ViConstString, ViConstString optionString, ViSession* newVi) {
    return guarded([&]() -> ViStatus {
        if (newVi == nullptr) return status_null_pointer;
        *newVi = 0;
        session_options_t options;
        std::string bad;
        if (!parse_option_string(from_c(optionString), options, &bad)) {
            const std::string text = "option string item not understood: \"" + bad +
                                     "\" (expected Name=Value, a known name and 1/0 or true/false)";
            record_error(thread_error, true, IVI_ERROR_INVALID_OPTION_STRING, 0, text.c_str());
            return IVI_ERROR_INVALID_OPTION_STRING;
        }
        ViSession rm = open_resource_manager();
        try {
            *newVi = add_session(options, rm);
        } catch (...) {
            close_resource_manager(rm);
            throw;
        }
        return VI_SUCCESS;
    });
}

ViStatus ZOR_IVI_CALL Ivi_ValidateSession(ViSession vi) {
    return guarded([&] { return with_session(vi, [](session_t&) { return VI_SUCCESS; }); });
}

ViStatus ZOR_IVI_CALL Ivi_Dispose(ViSession vi) {
    return guarded([&]() -> ViStatus {
        session_t* s = find_session(vi);
        if (s == nullptr) return VI_ERROR_INV_SESSION;
        ViSession rm = 0;
        ViStatus status = mark_disposed(s, vi, rm);
        if (status != VI_SUCCESS) return status;
        remove_session(s, vi);
        close_resource_manager(rm);
        return VI_SUCCESS;
    });
}

ViStatus ZOR_IVI_CALL Ivi_LockSession(ViSession vi, ViBoolean* callerHasLock) {
    return guarded([&]() -> ViStatus {
        session_t* s = find_session(vi);
        if (s == nullptr) return VI_ERROR_INV_SESSION;
        if (callerHasLock != nullptr && *callerHasLock) return VI_SUCCESS;
        ViStatus status = acquire_lock(s, vi);
        if (status == VI_SUCCESS && callerHasLock != nullptr) *callerHasLock = VI_TRUE;
        return status;
    });
}

ViStatus ZOR_IVI_CALL Ivi_UnlockSession(ViSession vi, ViBoolean* callerHasLock) {
    return guarded([&]() -> ViStatus {
        session_t* s = find_session(vi);
        if (s == nullptr) return VI_ERROR_INV_SESSION;
        if (callerHasLock != nullptr && !*callerHasLock) return VI_SUCCESS;
        ViStatus status = release_lock(s, vi);
        if (status == VI_SUCCESS && callerHasLock != nullptr) *callerHasLock = VI_FALSE;
        return status;
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetAttributeFlags(ViSession vi, ViAttr attributeId, ViInt32* flags) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            if (!known_attribute(attributeId)) return IVI_ERROR_INVALID_ATTRIBUTE;
            if (flags == nullptr) return status_null_pointer;
            auto it = s.attribute_flags.find(attributeId);
            *flags = it == s.attribute_flags.end() ? 0 : it->second;
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_SetAttributeFlags(ViSession vi, ViAttr attributeId, ViInt32 flags) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            if (!known_attribute(attributeId)) return IVI_ERROR_INVALID_ATTRIBUTE;
            s.attribute_flags[attributeId] = flags;
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_SetAttributeViString(ViSession vi, ViConstString, ViAttr attributeId, ViInt32,
                                               ViConstString value) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            if (value == nullptr && known_attribute(attributeId)) return status_null_pointer;
            switch (attributeId) {
                case IVI_ATTR_IO_RESOURCE_DESCRIPTOR: s.resource_descriptor = value; return VI_SUCCESS;
                case IVI_ATTR_DRIVER_SETUP: s.options.driver_setup = value; return VI_SUCCESS;
                default: return IVI_ERROR_INVALID_ATTRIBUTE;
            }
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_SetAttributeViSession(ViSession vi, ViConstString, ViAttr attributeId, ViInt32,
                                                ViSession value) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            // The RM session belongs to the engine (it closes it at
            // disposal), so only the I/O session is writable.
            if (attributeId != IVI_ATTR_IO_SESSION) return IVI_ERROR_INVALID_ATTRIBUTE;
            s.io_session = value;
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetAttributeViSession(ViSession vi, ViConstString, ViAttr attributeId, ViInt32,
                                                ViSession* value) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            if (attributeId != IVI_ATTR_IO_SESSION && attributeId != IVI_ATTR_VISA_RM_SESSION)
                return IVI_ERROR_INVALID_ATTRIBUTE;
            if (value == nullptr) return status_null_pointer;
            *value = attributeId == IVI_ATTR_IO_SESSION ? s.io_session : s.rm_session;
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetAttributeViInt32(ViSession vi, ViConstString, ViAttr attributeId, ViInt32,
                                              ViInt32* value) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            ViInt32 result = 0;
            bool flag = false;
            if (option_attribute(s.options, attributeId, flag))
                result = flag ? 1 : 0;
            else if (attributeId == IVI_ATTR_PRIMARY_ERROR)
                result = s.error.primary;
            else if (attributeId == IVI_ATTR_SECONDARY_ERROR)
                result = s.error.secondary;
            else
                return IVI_ERROR_INVALID_ATTRIBUTE;
            if (value == nullptr) return status_null_pointer;
            *value = result;
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetAttributeViString(ViSession vi, ViConstString, ViAttr attributeId, ViInt32,
                                               ViInt32 bufSize, ViChar value[]) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) -> ViStatus {
            switch (attributeId) {
                case IVI_ATTR_IO_RESOURCE_DESCRIPTOR: return copy_out(s.resource_descriptor, bufSize, value);
                case IVI_ATTR_DRIVER_SETUP: return copy_out(s.options.driver_setup, bufSize, value);
                case IVI_ATTR_ERROR_ELABORATION: return copy_out(s.error.elaboration, bufSize, value);
                default: return IVI_ERROR_INVALID_ATTRIBUTE;
            }
        });
    });
}

ViBoolean ZOR_IVI_CALL Ivi_Simulating(ViSession vi) {
    return guarded_bool([&] {
        bool result = false;
        with_session(vi, [&](session_t& s) { result = s.options.simulate; return VI_SUCCESS; });
        return result;
    });
}

ViBoolean ZOR_IVI_CALL Ivi_QueryInstrStatus(ViSession vi) {
    return guarded_bool([&] {
        bool result = false;
        with_session(vi, [&](session_t& s) { result = s.options.query_instr_status; return VI_SUCCESS; });
        return result;
    });
}

ViBoolean ZOR_IVI_CALL Ivi_NeedToCheckStatus(ViSession vi) {
    return guarded_bool([&] {
        bool result = false;
        with_session(vi, [&](session_t& s) { result = s.need_to_check_status; return VI_SUCCESS; });
        return result;
    });
}

ViStatus ZOR_IVI_CALL Ivi_SetNeedToCheckStatus(ViSession vi, ViBoolean needToCheckStatus) {
    return guarded([&] {
        return with_session(vi, [&](session_t& s) {
            s.need_to_check_status = needToCheckStatus != VI_FALSE;
            return VI_SUCCESS;
        });
    });
}

// No attribute cache and no default setup are kept, so both only check vi.
ViStatus ZOR_IVI_CALL Ivi_ApplyDefaultSetup(ViSession vi) { return Ivi_ValidateSession(vi); }
ViStatus ZOR_IVI_CALL Ivi_InvalidateAllAttributes(ViSession vi) { return Ivi_ValidateSession(vi); }

ViStatus ZOR_IVI_CALL Ivi_GetNextCoercionString(ViSession vi, ViInt32 bufferSize, ViChar coercionRecord[]) {
    // Coercions are never recorded: the queue is always empty.
    return guarded([&] {
        return with_session(vi, [&](session_t&) { return copy_out(std::string(), bufferSize, coercionRecord); });
    });
}

ViStatus ZOR_IVI_CALL Ivi_SetErrorInfo(ViSession vi, ViBoolean overWrite, ViStatus primaryError,
                                       ViStatus secondaryError, ViConstString errorElaboration) {
    return guarded([&]() -> ViStatus {
        if (vi == 0) {
            record_error(thread_error, overWrite != VI_FALSE, primaryError, secondaryError, errorElaboration);
            return VI_SUCCESS;
        }
        return with_session(vi, [&](session_t& s) {
            record_error(s.error, overWrite != VI_FALSE, primaryError, secondaryError, errorElaboration);
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetErrorInfo(ViSession vi, ViStatus* primaryError, ViStatus* secondaryError,
                                       ViChar errorElaboration[]) {
    return guarded([&]() -> ViStatus {
        if (vi == 0) {
            take_error(thread_error, primaryError, secondaryError, errorElaboration);
            return VI_SUCCESS;
        }
        return with_session(vi, [&](session_t& s) {
            take_error(s.error, primaryError, secondaryError, errorElaboration);
            return VI_SUCCESS;
        });
    });
}

ViStatus ZOR_IVI_CALL Ivi_ClearErrorInfo(ViSession vi) {
    return Ivi_GetErrorInfo(vi, nullptr, nullptr, nullptr);
}

ViStatus ZOR_IVI_CALL Ivi_ParamPositionError(ViInt32 parameterPosition) {
    if (parameterPosition >= 1 && parameterPosition <= 8)
        return static_cast<ViStatus>(0xBFFC0000u + static_cast<ViUInt32>(parameterPosition));
    return IVI_ERROR_INVALID_PARAMETER;
}

ViStatus ZOR_IVI_CALL Ivi_GetInfoFromResourceName(ViRsrc resourceName, ViString optionString,
                                                  ViChar newResourceName[], ViChar newOptionString[],
                                                  ViBoolean* isLogicalName) {
    return guarded([&]() -> ViStatus {
        if (newResourceName == nullptr || newOptionString == nullptr) return status_null_pointer;
        newResourceName[0] = '\0';
        newOptionString[0] = '\0';
        if (isLogicalName != nullptr) *isLogicalName = VI_FALSE;

        std::string resource(from_c(resourceName));
        std::string options(from_c(optionString));
        bool logical = false;
        if (auto path = qvdriver::platform::get_env("ZOR_IVI_CONFIG")) {
            if (auto entry = find_logical_name(*path, resource)) {
                resource = entry->resource;
                options = merge_option_strings(entry->options, options);
                logical = true;
            }
        }
        bool fit = copy_cut(resource, newResourceName, IVI_MAX_MESSAGE_BUF_SIZE);
        fit = copy_cut(options, newOptionString, IVI_MAX_MESSAGE_BUF_SIZE) && fit;
        if (isLogicalName != nullptr) *isLogicalName = logical ? VI_TRUE : VI_FALSE;
        return fit ? VI_SUCCESS : status_text_cut;
    });
}

ViStatus ZOR_IVI_CALL Ivi_GetSpecificDriverStatusDesc(ViSession, ViStatus statusCode, ViChar messageBuf[],
                                                      IviStringValueTable additionalTableToSearch) {
    return guarded([&]() -> ViStatus {
        if (messageBuf == nullptr) return status_null_pointer;
        if (additionalTableToSearch != nullptr) {
            for (const IviStringValueTableEntry* e = additionalTableToSearch; e->string != nullptr; ++e) {
                if (e->value == statusCode) {
                    copy_cut(e->string, messageBuf, IVI_MAX_MESSAGE_BUF_SIZE);
                    return VI_SUCCESS;
                }
            }
        }
        if (const char* text = describe_status(statusCode)) {
            copy_cut(text, messageBuf, IVI_MAX_MESSAGE_BUF_SIZE);
            return VI_SUCCESS;
        }
        std::snprintf(messageBuf, IVI_MAX_MESSAGE_BUF_SIZE, "Unknown status code 0x%08X",
                      static_cast<unsigned>(statusCode));
        return status_unknown_status;
    });
}

}  // extern "C"
