// Action exports of the analyzer as a whole: preset, waiting for operation
// complete, the active marker, the capability queries and the status
// registers.
#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

constexpr const char* null_val = "Null address for Val";

// One numeric query of the capabilities; the value is written only on success.
template <typename T>
ViStatus capability(ViSession vi, T* value, const char* command) {
    if (value == nullptr) return null_argument(vi, 2, null_val);
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        T result{};
        if (scope.api.number_query(status, command, result) >= 0) *value = result;
        return status;
    });
}

using register_read_t = status_t (api_t::*)(status_t&, std::int32_t&);

// One register read through the command object; the value is written only on
// success.
ViStatus read_register(ViSession vi, ViInt32* value, const char* null_message, register_read_t read) {
    if (value == nullptr) return null_argument(vi, 2, null_message);
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        std::int32_t result = 0;
        if ((scope.api.*read)(status, result) >= 0) *value = result;
        return status;
    });
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_SystemWaitForOperationComplete(ViSession vi, ViUInt32 maxTimeMilliseconds) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        return scope.api.wait_operation_complete(status, maxTimeMilliseconds);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_SystemPreset(ViSession vi) {
    return locked(vi, [&](session_scope_t& scope) { return send(scope, ":SYSTem:PRESet"); });
}

ZOR_API ViStatus ZOR_CALL ZOR_SetSystemActiveMarker(ViSession vi, ViInt32 marker) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        // No selector: both numbers come from the analyzer's active selection.
        local_model_t<> model(scope);
        const std::int32_t trace = model.trace_index();
        const std::int32_t channel = model.channel_index();
        return send(scope, format_command(":CALCulate%d:TRACe%d:MARKer%d:ACTivate", {channel, trace, marker}));
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_SystemCapabilitiesGetMaxFrequency(ViSession vi, ViReal64* value) {
    return capability(vi, value, ":SERVice:SWEep:FREQency:MAXimum?");
}

ZOR_API ViStatus ZOR_CALL ZOR_SystemCapabilitiesGetMinFrequency(ViSession vi, ViReal64* value) {
    return capability(vi, value, ":SERVice:SWEep:FREQency:MINimum?");
}

ZOR_API ViStatus ZOR_CALL ZOR_SystemCapabilitiesGetMaxNoOfPoints(ViSession vi, ViInt32* value) {
    return capability(vi, value, ":SERVice:SWEep:POINts?");
}

ZOR_API ViStatus ZOR_CALL ZOR_SystemCapabilitiesGetMaxNoOfChannels(ViSession vi, ViInt32* value) {
    return capability(vi, value, ":SERVice:CHANnel:COUNt?");
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusClear(ViSession vi) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        return scope.api.clear_status(status);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusPreset(ViSession vi) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        return scope.api.status_preset(status);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusReadStatusByteRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, "Null address for AttributeValue", &api_t::status_byte);
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusOperationReadConditionRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, null_val, &api_t::operation_condition);
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusOperationReadEventRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, null_val, &api_t::operation_event);
}

// The three reads below get the same refusal of a null pointer as the others,
// rather than a write through it.
ZOR_API ViStatus ZOR_CALL ZOR_StatusQuestionableReadConditionRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, null_val, &api_t::questionable_condition);
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusQuestionableReadEventRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, null_val, &api_t::questionable_event);
}

ZOR_API ViStatus ZOR_CALL ZOR_StatusStandardEventReadEventRegister(ViSession vi, ViInt32* value) {
    return read_register(vi, value, null_val, &api_t::event_status_register);
}

}  // extern "C"
