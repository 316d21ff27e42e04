// Action exports of the limit, ripple-limit and bandwidth-limit tests: the
// segment tables written and read, the pass/fail flags and the reports.
// Every export addresses ":CALCulate<channel>:TRACe<trace>" of each record,
// the channel that holds the named trace, found as the attributes find it:
// the table, the on-switch and the verdict then all reach the same trace
// whichever window is active.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// The same bound as the segment-count attribute: a larger table would only
// exhaust memory, the analyzer holds far fewer.
constexpr ViInt32 max_segments = 100000;
// What the instrument sends for "nothing to report".
constexpr double scpi_not_a_number = 9.91e37;

constexpr const char* limit_data_set = ":CALCulate%d:TRACe%d:LIMit:DATA %s";
constexpr const char* limit_data_get = ":CALCulate%d:TRACe%d:LIMit:DATA?";
constexpr const char* ripple_data_set = ":CALCulate%d:TRACe%d:RLIMit:DATA %s";
constexpr const char* ripple_data_get = ":CALCulate%d:TRACe%d:RLIMit:DATA?";

struct argument_t {
    const void* address;
    ViInt32 position;
    const char* message;
};

// The error record of the first null argument, else 0.
ViStatus first_null(ViSession vi, std::initializer_list<argument_t> arguments) {
    for (const auto& a : arguments)
        if (a.address == nullptr) return null_argument(vi, a.position, a.message);
    return 0;
}

// Arrays are only needed when something is to be read from or written to them.
const void* array_needed(const void* address, ViInt32 elements) {
    static const char present = 0;
    return elements > 0 ? address : &present;
}

std::size_t usable(ViInt32 capacity) { return capacity > 0 ? static_cast<std::size_t>(capacity) : 0; }

// An integer field of a reply: truncated toward zero, kept within 32 bits
// (a cast of an out-of-range double would be undefined).
ViInt32 integer_field(double value) {
    if (std::isnan(value)) return 0;
    const double t = std::trunc(value);
    if (t >= 2147483647.0) return 2147483647;
    if (t <= -2147483648.0) return -2147483647 - 1;
    return static_cast<ViInt32>(t);
}

// A count announced by the instrument; false when it is no count at all.
bool count_field(double value, ViInt32& count) {
    const double t = std::trunc(value);
    if (!(t >= 0.0 && t <= 2147483647.0)) return false;
    count = static_cast<ViInt32>(t);
    return true;
}

ViInt32 clamped_count(std::size_t n) { return n > 2147483647u ? 2147483647 : static_cast<ViInt32>(n); }

// "<count>,<int>,<real>...,<int>,<real>..." with the reals in "%.12e", as
// every real goes out: six decimals ("%f") sent a 50 ns limit as 0.000000.
std::string segment_table(ViInt32 count, const ViInt32* integers, std::initializer_list<const ViReal64*> reals) {
    std::string text = std::to_string(count);
    char number[40];
    for (ViInt32 i = 0; i < count; ++i) {
        text += ',';
        text += std::to_string(integers[i]);
        for (const ViReal64* column : reals) {
            text += ',';
            text.append(number, util::format_e12(number, column[i]));
        }
    }
    return text;
}

// A table is checked whole before anything is sent: a count beyond the
// bound, or a value that is no number, would be refused half-way.
status_t check_table(ViSession vi, ViInt32 count, std::initializer_list<std::pair<const ViReal64*, ViInt32>> reals) {
    if (count > max_segments) {
        return record_failure(vi, zor_error_not_supported,
                              "A table holds at most " + std::to_string(max_segments) + " segments, not " +
                                  std::to_string(count));
    }
    for (const auto& [column, position] : reals)
        for (ViInt32 i = 0; i < count; ++i)
            if (const status_t status = check_finite(vi, position, column[i])) return status;
    return 0;
}

ViStatus write_per_record(ViSession vi, ViConstString name, const char* format, const std::string& text) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, name, [&](local_model_t<>& m) {
            return send(scope, format_command(format, resolve_indices(m, "CT"), text));
        });
    });
}

// Queries `format` for each record; `reply` holds the last record's answer.
status_t query_per_record(session_scope_t& scope, ViConstString name, const char* format, std::string& reply) {
    local_model_t<> model(scope);
    return per_record(model, name, [&](local_model_t<>& m) {
        status_t status = 0;
        reply.clear();
        return scope.api.text_query(status, format_command(format, resolve_indices(m, "CT")), reply);
    });
}

// Queries for each record and decodes the last reply once; a failed query
// or an empty reply leaves the outputs alone.
template <typename Decode>
ViStatus query_and_decode(ViSession vi, ViConstString name, const char* format, Decode&& decode) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        std::string reply;
        const status_t status = query_per_record(scope, name, format, reply);
        if (status != 0 || reply.empty()) return status;
        return decode(util::parse_real_list(reply));
    });
}

// A segment table reply: the count, then `fields` numbers per segment, the
// first an integer. A reply shorter than its announced count is refused
// whole, so a cut table never passes for a complete one.
status_t decode_table(const std::vector<double>& values, std::size_t fields, ViInt32 capacity, ViInt32* integers,
                      ViInt32* count, std::initializer_list<ViReal64*> reals) {
    ViInt32 n = 0;
    if (values.empty() || !count_field(values[0], n)) return zor_error_value_count;
    const std::size_t announced = static_cast<std::size_t>(n);
    if ((values.size() - 1) / fields < announced) return zor_error_value_count;
    *count = n;
    const std::size_t fill = std::min(announced, usable(capacity));
    for (std::size_t i = 0; i < fill; ++i) {
        const std::size_t base = 1 + fields * i;
        integers[i] = integer_field(values[base]);
        std::size_t field = base + 1;
        for (ViReal64* column : reals) column[i] = values[field++];
    }
    return 0;
}

// Runs a "%hd" number query per record; true when the last answer is 1.
ViStatus flag_query(ViSession vi, ViConstString name, const char* format, ViBoolean* result) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        local_model_t<> model(scope);
        std::int16_t reply = 0;
        const status_t status = per_record(model, name, [&](local_model_t<>& m) {
            status_t s = 0;
            return scope.api.number_query(s, format_command(format, resolve_indices(m, "CT")), reply);
        });
        if (status >= 0) *result = reply == 1 ? VI_TRUE : VI_FALSE;
        return status;
    });
}

const char* const null_name = "Null address for MeasurementName";

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitDeleteData(ViSession vi, ViConstString measurementName) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, measurementName, [&](local_model_t<>& m) {
            return send(scope, format_command(":CALCulate%d:TRACe%d:LIMit:DATA %d", resolve_indices(m, "CT"),
                                              std::int32_t{0}));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitSetData(ViSession vi, ViConstString measurementName, ViInt32 count,
                                                      ViInt32 types[], ViReal64 startStimulus[],
                                                      ViReal64 stopStimulus[], ViReal64 startResponse[],
                                                      ViReal64 stopResponse[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(types, count), 4, "Null address for Types"},
                                           {array_needed(startStimulus, count), 5, "Null address for StartStimulus"},
                                           {array_needed(stopStimulus, count), 6, "Null address for StopStimulus"},
                                           {array_needed(startResponse, count), 7, "Null address for StartResponse"},
                                           {array_needed(stopResponse, count), 8, "Null address for StopResponse"}}))
        return s;
    if (const status_t s = check_table(vi, count, {{startStimulus, 5}, {stopStimulus, 6}, {startResponse, 7},
                                                   {stopResponse, 8}}))
        return s;
    const std::string table = segment_table(count, types, {startStimulus, stopStimulus, startResponse, stopResponse});
    return write_per_record(vi, measurementName, limit_data_set, table);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitQueryData(ViSession vi, ViConstString measurementName,
                                                        ViInt32 capacity, ViInt32 types[], ViInt32* count,
                                                        ViReal64 startStimulus[], ViReal64 stopStimulus[],
                                                        ViReal64 startResponse[], ViReal64 stopResponse[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(types, capacity), 4, "Null address for Types"},
                                           {count, 5, "Null address for Count"},
                                           {array_needed(startStimulus, capacity), 6, "Null address for StartStimulus"},
                                           {array_needed(stopStimulus, capacity), 7, "Null address for StopStimulus"},
                                           {array_needed(startResponse, capacity), 8, "Null address for StartResponse"},
                                           {array_needed(stopResponse, capacity), 9, "Null address for StopResponse"}}))
        return s;
    return query_and_decode(vi, measurementName, limit_data_get, [&](const std::vector<double>& values) {
        return decode_table(values, 5, capacity, types, count, {startStimulus, stopStimulus, startResponse, stopResponse});
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitQueryXValuesOfFailedPoints(ViSession vi, ViConstString measurementName,
                                                                         ViInt32 capacity, ViReal64 xValues[],
                                                                         ViInt32* count) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(xValues, capacity), 4, "Null address for XValues"},
                                           {count, 5, "Null address for Count"}}))
        return s;
    return query_and_decode(vi, measurementName, ":CALCulate%d:TRACe%d:LIMit:REPort:DATA?",
                            [&](const std::vector<double>& values) -> status_t {
                                if (values.empty()) return zor_error_value_count;
                                // The instrument's "nothing failed".
                                if (std::fabs(values.back() - scpi_not_a_number) <= 1.0) return 0;
                                *count = clamped_count(values.size());
                                const std::size_t fill = std::min(values.size(), usable(capacity));
                                std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(fill), xValues);
                                return 0;
                            });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitQueryTestResult(ViSession vi, ViConstString measurementName,
                                                              ViInt32 capacity, ViReal64 stimulus[], ViInt32* count,
                                                              ViInt32 results[], ViReal64 upperLimits[],
                                                              ViReal64 lowerLimits[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(stimulus, capacity), 4, "Null address for Stimulus"},
                                           {count, 5, "Null address for Count"},
                                           {array_needed(results, capacity), 6, "Null address for Results"},
                                           {array_needed(upperLimits, capacity), 7, "Null address for UpperLimits"},
                                           {array_needed(lowerLimits, capacity), 8, "Null address for LowerLimits"}}))
        return s;
    return query_and_decode(vi, measurementName, ":CALCulate%d:TRACe%d:LIMit:REPort:ALL?",
                            [&](const std::vector<double>& values) -> status_t {
                                // Groups of four; an incomplete last group is dropped.
                                const std::size_t groups = values.size() / 4;
                                *count = clamped_count(groups);
                                const std::size_t fill = std::min(groups, usable(capacity));
                                for (std::size_t i = 0; i < fill; ++i) {
                                    stimulus[i] = values[4 * i];
                                    results[i] = integer_field(values[4 * i + 1]);
                                    upperLimits[i] = values[4 * i + 2];
                                    lowerLimits[i] = values[4 * i + 3];
                                }
                                return 0;
                            });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitIsPassing(ViSession vi, ViConstString measurementName,
                                                        ViBoolean* result) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (result == nullptr) return null_argument(vi, 3, "Null address for Result");
    return flag_query(vi, measurementName, ":CALCulate%d:TRACe%d:LIMit:FAIL?", result);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementLimitGetNoOfFailedPoints(ViSession vi, ViConstString measurementName,
                                                                  ViInt32* count) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (count == nullptr) return null_argument(vi, 3, "Null address for Count");
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        local_model_t<> model(scope);
        std::int32_t reply = 0;
        const status_t status = per_record(model, measurementName, [&](local_model_t<>& m) {
            status_t s = 0;
            return scope.api.number_query(
                s, format_command(":CALCulate%d:TRACe%d:LIMit:REPort:POINts?", resolve_indices(m, "CT")), reply);
        });
        if (status >= 0) *count = reply;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementRippleLimitSetData(ViSession vi, ViConstString measurementName,
                                                            ViInt32 /*reserved*/, ViInt32 count, ViInt32 types[],
                                                            ViReal64 startStimulus[], ViReal64 stopStimulus[],
                                                            ViReal64 maximumRipple[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(types, count), 5, "Null address for Types"},
                                           {array_needed(startStimulus, count), 6, "Null address for StartStimulus"},
                                           {array_needed(stopStimulus, count), 7, "Null address for StopStimulus"},
                                           {array_needed(maximumRipple, count), 8, "Null address for MaximumRipple"}}))
        return s;
    if (const status_t s = check_table(vi, count, {{startStimulus, 6}, {stopStimulus, 7}, {maximumRipple, 8}}))
        return s;
    const std::string table = segment_table(count, types, {startStimulus, stopStimulus, maximumRipple});
    return write_per_record(vi, measurementName, ripple_data_set, table);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementRippleLimitQueryData(ViSession vi, ViConstString measurementName,
                                                              ViInt32 /*reserved*/, ViInt32 capacity, ViInt32 types[],
                                                              ViInt32* count, ViReal64 startStimulus[],
                                                              ViReal64 stopStimulus[], ViReal64 maximumRipple[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(types, capacity), 5, "Null address for Types"},
                                           {count, 6, "Null address for Count"},
                                           {array_needed(startStimulus, capacity), 7, "Null address for StartStimulus"},
                                           {array_needed(stopStimulus, capacity), 8, "Null address for StopStimulus"},
                                           {array_needed(maximumRipple, capacity), 9, "Null address for MaximumRipple"}}))
        return s;
    return query_and_decode(vi, measurementName, ripple_data_get, [&](const std::vector<double>& values) {
        return decode_table(values, 4, capacity, types, count, {startStimulus, stopStimulus, maximumRipple});
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementRippleLimitQueryTestResult(ViSession vi, ViConstString measurementName,
                                                                    ViInt32 /*reserved*/, ViInt32 capacity,
                                                                    ViReal64 ripple[], ViInt32* count,
                                                                    ViReal64 maximumRipple[], ViInt32 results[]) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (const ViStatus s = first_null(vi, {{array_needed(ripple, capacity), 5, "Null address for Ripple"},
                                           {count, 6, "Null address for Count"},
                                           {array_needed(maximumRipple, capacity), 7, "Null address for MaximumRipple"},
                                           {array_needed(results, capacity), 8, "Null address for Results"}}))
        return s;
    return query_and_decode(vi, measurementName, ":CALCulate%d:TRACe%d:RLIMit:REPort:DATA?",
                            [&](const std::vector<double>& values) -> status_t {
                                if (values.empty()) return zor_error_value_count;
                                // The first number is the instrument's own count: the groups are taken as sent.
                                const std::size_t groups = (values.size() - 1) / 3;
                                *count = clamped_count(groups);
                                const std::size_t fill = std::min(groups, usable(capacity));
                                for (std::size_t i = 0; i < fill; ++i) {
                                    ripple[i] = values[1 + 3 * i];
                                    maximumRipple[i] = values[2 + 3 * i];
                                    results[i] = integer_field(values[3 + 3 * i]);
                                }
                                return 0;
                            });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementRippleLimitIsPassing(ViSession vi, ViConstString measurementName,
                                                              ViBoolean* result) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (result == nullptr) return null_argument(vi, 3, "Null address for Result");
    return flag_query(vi, measurementName, ":CALCulate%d:TRACe%d:RLIMit:FAIL?", result);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementBWLimitIsPassing(ViSession vi, ViConstString measurementName,
                                                          ViBoolean* result) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (result == nullptr) return null_argument(vi, 3, "Null address for Result");
    return flag_query(vi, measurementName, ":CALCulate%d:TRACe%d:BLIMit:FAIL?", result);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementBWLimitGetTestResult(ViSession vi, ViConstString measurementName,
                                                              ViReal64* value) {
    if (measurementName == nullptr) return null_argument(vi, 2, null_name);
    if (value == nullptr) return null_argument(vi, 3, "Null address for Value");
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        local_model_t<> model(scope);
        double reply = 0;
        const status_t status = per_record(model, measurementName, [&](local_model_t<>& m) {
            status_t s = 0;
            return scope.api.number_query(
                s, format_command(":CALCulate%d:TRACe%d:BLIMit:REPort:DATA?", resolve_indices(m, "CT")), reply);
        });
        if (status >= 0) *value = reply;
        return status;
    });
}

}  // extern "C"
