// Action exports of measurements: trace data to and from the analyzer, the
// active trace and window, the memory trace, trace statistics and the
// equation check.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "frame/driver_setup.h"
#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// Trace data commands by data type: 0 formatted, 1 corrected; any other
// type names no command (null).
const char* data_command(ViInt32 data_type) {
    switch (data_type) {
        case 0: return ":CALCulate%d:TRACe%d:DATA:FDATa";
        case 1: return ":CALCulate%d:TRACe%d:DATA:SDATa";
        default: return nullptr;
    }
}

// Writes a trace-data query and reads its reply whole into this thread's
// reply buffer (bounded, within the time-out: see visa_resource_t), then
// decodes it into pairs. A binary session takes a block; text (which an
// analyzer reset behind the driver's back sends) is read as text.
status_t query_data(session_scope_t& scope, data_format_t format, const std::string& command,
                    std::vector<util::complex_pair_t>& points) {
    status_t status = send(scope, command);
    if (status < 0) return status;
    std::string_view reply;
    if (format == data_format_t::real64) {
        scope.api.resource.read_raw_view(status, reply);
        if (status != 0) return status;
        if (!reply.empty() && reply[0] == '#') {
            if (const char* fault = util::parse_real64_block(reply, points)) {
                engine::set_error_info(scope.vi, false, VI_ERROR_INV_LENGTH, 0, fault);
                return VI_ERROR_INV_LENGTH;
            }
            return 0;
        }
        while (!reply.empty() && reply.back() != '\0' && std::strchr(util::white_space, reply.back()) != nullptr)
            reply.remove_suffix(1);
    } else {
        scope.api.resource.read_view(status, reply);
        if (status != 0) return status;
    }
    util::parse_complex_list(reply, points);
    return 0;
}

ViStatus set_statistics_range(ViSession vi, ViConstString measurementName, const char* command, ViReal64 value) {
    if (const status_t refused = check_finite(vi, 4, value)) return refused;
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            return send(scope, format_command(command, resolve_indices(m, "CT"), value));
        });
    });
}

ViStatus get_statistics_range(ViSession vi, ViConstString measurementName, const char* command, ViReal64* value) {
    if (value == nullptr) return null_argument(vi, 4, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            status_t status = 0;
            return scope.api.number_query(status, format_command(command, resolve_indices(m, "CT")), *value);
        });
    });
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementWriteData(ViSession vi, ViConstString measurementName, ViInt32 dataType,
                                                   ViInt32 dataBufferSize, ViReal64 data[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, "Null address for MeasurementName");
    if (data == nullptr) return null_argument(vi, 5, "Null address for Data");
    // The data are pairs: an odd count cannot be sent whole.
    if (dataBufferSize % 2 != 0) return null_argument(vi, 4, "DataBufferSize should be even");
    if (dataBufferSize < 4) return null_argument(vi, 4, "DataBufferSize should be greater than 4");
    // Only formatted (0) and corrected (1) data exist: another type does nothing, so it is refused.
    const char* header = data_command(dataType);
    if (header == nullptr) return leave_error_record(vi, zor_error_not_supported);
    return locked(vi, [&](session_scope_t& scope) {
        // The caller's array is the same for every record: one text serves all.
        std::string text;
        if (header != nullptr) {
            std::vector<util::complex_pair_t> points;
            points.reserve(static_cast<std::size_t>(dataBufferSize) / 2);
            for (ViInt32 k = 0; k < dataBufferSize; k += 2) points.emplace_back(data[k], data[k + 1]);
            text = util::format_complex_list(points);
        }
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) -> status_t {
            if (header == nullptr) return 0;
            // Appended rather than printed through "%s": the text may be
            // megabytes long.
            std::string command = format_command(header, resolve_indices(m, "CT"));
            command.reserve(command.size() + 1 + text.size());
            command += ' ';
            command += text;
            return send(scope, command);
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementQueryData(ViSession vi, ViConstString measurementName, ViInt32 dataType,
                                                   ViInt32 dataBufferSize, ViReal64 data[], ViInt32* valueCount) {
    if (measurementName == nullptr) return null_argument(vi, 2, "Null address for MeasurementName");
    if (data == nullptr) return null_argument(vi, 5, "Null address for Val");
    // A size of 0 is fine (only the count is wanted); a negative one is a
    // caller's mistake worth naming.
    if (dataBufferSize < 0) return null_argument(vi, 4, "DataBufferSize should not be negative");
    if (data_command(dataType) == nullptr) return leave_error_record(vi, zor_error_not_supported);
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        std::vector<util::complex_pair_t> points;
        const data_format_t format = data_format_of(scope.vi);
        return per_record(model, measurementName, [&](local_model_t<>& m) -> status_t {
            points.clear();
            if (const char* header = data_command(dataType)) {
                const status_t status =
                    query_data(scope, format, format_command(header, resolve_indices(m, "CT")) + "?", points);
                if (status != 0) return status;
            }
            // Whole points only, and never beyond the caller's buffer.
            const std::size_t room = static_cast<std::size_t>(dataBufferSize) / 2;
            const std::size_t copied = std::min(points.size(), room);
            for (std::size_t k = 0; k < copied; ++k) {
                data[2 * k] = points[k].first;
                data[2 * k + 1] = points[k].second;
            }
            // The reply is bounded, so twice its point count fits.
            if (valueCount != nullptr) *valueCount = static_cast<ViInt32>(2 * points.size());
            return 0;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementGetTraceNumber(ViSession vi, ViConstString measurementName,
                                                        ViInt32* traceNumber) {
    (void)measurementName;  // the active trace, whatever the name
    if (traceNumber == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        return scope.api.number_query(status, ":DISPlay:TRACe:SELect?", *traceNumber);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementGetWindowNumber(ViSession vi, ViConstString measurementName,
                                                         ViInt32* windowNumber) {
    (void)measurementName;  // the active window, whatever the name
    if (windowNumber == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        return scope.api.number_query(status, ":DISPlay:WINDow:SELect?", *windowNumber);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceMathStoreDataInMemory(ViSession vi, ViConstString measurementName) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            return send(scope, format_command(":CALCulate%d:TRACe%d:MATH:NORMalize", resolve_indices(m, "CT")));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsExecuteAnalysis(ViSession vi, ViConstString measurementName) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            return send(scope, format_command(":CALCulate%d:TRACe%d:MSTatistics:STATe 1", resolve_indices(m, "CT")));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsGetData(ViSession vi, ViConstString measurementName,
                                                                ViReal64* value) {
    if (value == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            status_t status = 0;
            return scope.api.number_query(
                status, format_command(":CALCulate%d:TRACe%d:MSTatistics:DATA?", resolve_indices(m, "CT")), *value);
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsSetType(ViSession vi, ViConstString measurementName,
                                                                ViInt32 type) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<std::string> model(scope, &zor_adapter::statistics_type_keywords);
        return per_record(model, measurementName, [&](local_model_t<std::string>& m) -> status_t {
            const std::string* keyword = m.keyword_for(type);
            if (keyword == nullptr) return zor_error_keyword;
            return send(scope, format_command(":CALCulate%d:MEASure%d:FUNCtion:TYPE %s", resolve_indices(m, "CT"),
                                              *keyword));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsQueryType(ViSession vi, ViConstString measurementName,
                                                                  ViInt32* type) {
    if (type == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<std::string> model(scope, &zor_adapter::statistics_type_keywords);
        return per_record(model, measurementName, [&](local_model_t<std::string>& m) -> status_t {
            status_t status = 0;
            std::string reply;
            scope.api.text_query(
                status, format_command(":CALCulate%d:MEASure%d:FUNCtion:TYPE?", resolve_indices(m, "CT")), reply);
            if (status != 0) return status;
            // Short forms match as leading parts, so an empty reply names the
            // first type, as it does for every keyword reply of the driver.
            const std::int32_t* value = m.value_for(reply);
            if (value == nullptr) return zor_error_keyword;
            *type = *value;
            return 0;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsSetRangeStart(ViSession vi, ViConstString measurementName,
                                                                      ViInt32 userRange, ViReal64 start) {
    (void)userRange;
    return set_statistics_range(vi, measurementName, ":CALCulate%d:MEASure%d:FUNCtion:USER:RANGe:STARt %.12e", start);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsGetRangeStart(ViSession vi, ViConstString measurementName,
                                                                      ViInt32 userRange, ViReal64* start) {
    (void)userRange;
    return get_statistics_range(vi, measurementName, ":CALCulate%d:MEASure%d:FUNCtion:USER:RANGe:STARt?", start);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsSetRangeStop(ViSession vi, ViConstString measurementName,
                                                                     ViInt32 userRange, ViReal64 stop) {
    (void)userRange;
    return set_statistics_range(vi, measurementName, ":CALCulate%d:MEASure%d:FUNCtion:USER:RANGe:STOP %.12e", stop);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTraceStatisticsGetRangeStop(ViSession vi, ViConstString measurementName,
                                                                     ViInt32 userRange, ViReal64* stop) {
    (void)userRange;
    return get_statistics_range(vi, measurementName, ":CALCulate%d:MEASure%d:FUNCtion:USER:RANGe:STOP?", stop);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementEquationIsValid(ViSession vi, ViConstString measurementName,
                                                         ViBoolean* valid) {
    if (valid == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            status_t status = 0;
            std::int16_t reply = 0;
            scope.api.number_query(
                status, format_command(":CALCulate%d:TRACe%d:EQUation:VALID?", resolve_indices(m, "CT")), reply);
            if (status == 0) *valid = reply == 1 ? VI_TRUE : VI_FALSE;
            return status;
        });
    });
}

// The same function under its second name.
ZOR_API ViStatus ZOR_CALL ZOR_MeasurementEquationEditorIsValid(ViSession vi, ViConstString measurementName,
                                                               ViBoolean* valid) {
    return ZOR_MeasurementEquationIsValid(vi, measurementName, valid);
}

}  // extern "C"
