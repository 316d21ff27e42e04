// Action exports of the display: windows (presence, list, showing and
// closing, autoscale) and the traces in them (create, delete, move, select,
// autoscale, list, the active trace).
#include <algorithm>

#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

using model_type = local_model_t<>;

// Null arguments are refused before the session is touched; the record is
// still written under the guard so no exception leaves the export.
ViStatus refuse(ViSession vi, ViInt32 position, const char* message) {
    return guarded([&]() -> ViStatus { return null_argument(vi, position, message); });
}

// Sends `format` once per record of `name`, its %d fields filled from the
// record as `indices` says; stops at the first status that is not 0.
ViStatus per_name(ViSession vi, ViConstString name, const char* format, const char* indices) {
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        return per_record(model, name, [&](model_type& m) {
            return send(scope, format_command(format, resolve_indices(m, indices)));
        });
    });
}

// As per_name, with the caller's number after the record's ones.
ViStatus per_name(ViSession vi, ViConstString name, const char* format, const char* indices, std::int32_t value) {
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        return per_record(model, name, [&](model_type& m) {
            return send(scope, format_command(format, resolve_indices(m, indices), value));
        });
    });
}

// Autoscale addresses window 1 whatever window shows the trace.
ViStatus autoscale_trace(ViSession vi, ViConstString name) {
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        return per_record(model, name, [&](model_type& m) {
            return send(scope, format_command(":DISPlay:WINDow%d:TRACe%d:Y:SCALe:AUTO", {1, m.trace_index()}));
        });
    });
}

// A list query handed to the caller's buffer unparsed; a failed query
// leaves the buffer as it was.
status_t copy_list(session_scope_t& scope, const std::string& command, ViInt32 size, ViChar* out) {
    status_t status = 0;
    std::string reply;
    if (scope.api.text_query(status, command, reply) < 0) return status;
    return util::copy_to_buffer(out, size, reply);
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowIsPresent(ViSession vi, ViConstString windowName, ViBoolean* present) {
    if (windowName == nullptr) return refuse(vi, 2, "Null address for WindowName");
    if (present == nullptr) return refuse(vi, 3, "Null address for Present");
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        status_t status = 0;
        std::string reply;
        scope.api.text_query(status, ":DISPlay:WINDow:LIST?", reply);
        if (status != 0) return status;
        const std::vector<std::int32_t> windows = util::parse_int_list(reply);
        model_type model(scope);
        // With several names the last one's answer remains.
        bool answered = false;
        const status_t selector_status = per_record(model, windowName, [&](model_type& m) -> status_t {
            const bool shown = std::find(windows.begin(), windows.end(), m.window_index()) != windows.end();
            *present = shown ? VI_TRUE : VI_FALSE;
            answered = true;
            return 0;
        });
        if (selector_status != 0) return selector_status;  // a refused selector
        // A name that yields no window ("[]") must not pass off the caller's
        // unwritten flag as an answer.
        return answered ? 0 : zor_error_rep_cap_not_found;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowAutoscaleAll(ViSession vi, ViConstString windowName) {
    if (windowName == nullptr) return refuse(vi, 2, "Null address for WindowName");
    return per_name(vi, windowName, ":DISPlay:WINDow%d:Y:AUTO", "W");
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowGetCatalog(ViSession vi, ViInt32 bufferSize, ViChar catalog[]) {
    if (catalog == nullptr) return refuse(vi, 3, "Null address for Catalog");
    // Nothing fits in a buffer of no bytes: refuse before any traffic.
    if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
    return locked(vi, [&](session_scope_t& scope) {
        return copy_list(scope, ":DISPlay:WINDow:LIST?", bufferSize, catalog);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowCreateOrDelete(ViSession vi, ViBoolean create, ViInt32 windowNumber) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        const status_t status = send(scope, format_command(":DISPlay:WINDow%d:STATe %d", {windowNumber},
                                                           std::int32_t{create != 0 ? 1 : 0}));
        return status < 0 ? status : 0;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceMove(ViSession vi, ViConstString traceName, ViInt32 windowNumber) {
    if (traceName == nullptr) return refuse(vi, 2, "Null address for TraceName");
    return per_name(vi, traceName, "DISPlay:MEASure%d:MOVE %d", "T", windowNumber);
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceSelect(ViSession vi, ViConstString traceName) {
    if (traceName == nullptr) return refuse(vi, 2, "Null address for TraceName");
    return per_name(vi, traceName, ":DISPlay:TRACe%d:ACTivate", "T");
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceAutoScaleY(ViSession vi, ViConstString traceName) {
    if (traceName == nullptr) return refuse(vi, 2, "Null address for TraceName");
    return autoscale_trace(vi, traceName);
}

// The analyzer has one active trace, not one per window: windowName is not used.
ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceGetActiveTrace(ViSession vi, ViConstString /*windowName*/,
                                                               ViInt32* trace) {
    if (trace == nullptr) return refuse(vi, 3, "Null address for Trace");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        std::int32_t number = 0;
        if (scope.api.number_query(status, ":DISPlay:TRACe:SELect?", number) >= 0) *trace = number;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceDelete(ViSession vi, ViConstString windowName, ViInt32 traceNumber) {
    if (windowName == nullptr) return refuse(vi, 2, "Null address for WindowName");
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        return per_record(model, windowName, [&](model_type& m) {
            return send(scope, format_command(":DISPlay:WINDow%d:TRACe%d %d", {m.window_index(), traceNumber},
                                              std::int32_t{0}));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_DisplayWindowTraceGetCatalog(ViSession vi, ViConstString windowName, ViInt32 bufferSize,
                                                           ViChar catalog[]) {
    if (catalog == nullptr) return refuse(vi, 4, "Null address for Catalog");
    if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        // Each window's list overwrites the last; a cut list ends the call.
        bool listed = false;
        const status_t status = per_record(
            model, windowName,
            [&](model_type& m) {
                listed = true;
                return copy_list(scope, format_command(":DISPlay:WINDow%d:TRACe:LIST?", resolve_indices(m, "W")),
                                 bufferSize, catalog);
            },
            stop_on::negative);
        // A name that yields no window leaves the buffer unwritten: say so.
        return status == 0 && !listed ? zor_error_rep_cap_not_found : status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceCreate(ViSession vi, ViConstString measurementName,
                                                     ViInt32 windowNumber) {
    if (measurementName == nullptr) return refuse(vi, 2, "Null address for MeasurementName");
    return locked(vi, [&](session_scope_t& scope) {
        model_type model(scope);
        return per_record(model, measurementName, [&](model_type& m) {
            return send(scope, format_command(":DISPlay:WINDow%d:TRACe%d %d", {windowNumber, m.trace_index()},
                                              std::int32_t{1}));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceDelete(ViSession vi, ViConstString measurementName) {
    if (measurementName == nullptr) return refuse(vi, 2, "Null address for MeasurementName");
    return per_name(vi, measurementName, ":DISPlay:WINDow%d:TRACe%d %d", "WT", 0);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceMove(ViSession vi, ViConstString measurementName, ViInt32 windowNumber) {
    if (measurementName == nullptr) return refuse(vi, 2, "Null address for MeasurementName");
    return per_name(vi, measurementName, "DISPlay:MEASure%d:MOVE %d", "T", windowNumber);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceSelect(ViSession vi, ViConstString measurementName) {
    if (measurementName == nullptr) return refuse(vi, 2, "Null address for MeasurementName");
    return per_name(vi, measurementName, ":DISPlay:TRACe%d:ACTivate", "T");
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceAutoScaleY(ViSession vi, ViConstString measurementName) {
    if (measurementName == nullptr) return refuse(vi, 2, "Null address for MeasurementName");
    return autoscale_trace(vi, measurementName);
}

}  // extern "C"
