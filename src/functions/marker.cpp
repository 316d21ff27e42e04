// Action exports of the markers: switching them on and off, their type and
// response value, marker-to-setting, the single and multi-marker search and
// the bandwidth/notch search.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

using keyword_model_t = local_model_t<std::string>;

// Exactly `count` reals from a comma-separated reply into `out`. A piece that
// is not a number counts as a wrong reply, not as 0: a garbled answer must
// not pass for a measured value. Nothing is written unless all are good.
status_t reply_reals(const std::string& reply, std::size_t count, double* out) {
    double values[4] = {};
    if (count > sizeof values / sizeof values[0]) return zor_error_value_count;
    const auto pieces = util::split_reply(reply);
    if (pieces.size() != count) return zor_error_value_count;
    for (std::size_t i = 0; i < count; ++i) {
        std::string piece = pieces[i];
        util::trim(piece, util::white_space);
        if (piece.empty()) return zor_error_value_count;
        double value = 0.0;
        const char* end = util::parse_double(piece.data(), piece.data() + piece.size(), value);
        if (end != piece.data() + piece.size() || !std::isfinite(value)) return zor_error_value_count;
        values[i] = value;
    }
    for (std::size_t i = 0; i < count; ++i) out[i] = values[i];
    return 0;
}

// The table value of a reply keyword: the first keyword the reply begins,
// so short forms match (and an empty reply names the first entry, as for
// every keyword reply of the driver).
status_t reply_value(const keyword_model_t& model, const std::string& reply, ViInt32& value) {
    const std::int32_t* found = model.value_for(reply);
    if (found == nullptr) return zor_error_keyword;
    value = *found;
    return 0;
}

// The numbers of the record that fill "CALCulate%d:TRACe%d:MARKer%d".
struct ctm_t {
    std::int32_t channel, trace, marker;
};
template <typename Model>
ctm_t ctm(Model& m) {
    const auto numbers = resolve_indices(m, "CTM");
    return {numbers[0], numbers[1], numbers[2]};
}

// Shape of the single and multi-marker search: OFF only ends tracking
// through the attribute; any other function selects the search type and
// runs it on each record.
ViStatus search_execute(ViSession vi, ViConstString selector, ViInt32 function, ViAttr tracking,
                        const zor_adapter::keyword_map_t& table, const char* type_command, const char* type_indices) {
    if (function == 0) return ZOR_SetAttributeViBoolean(vi, selector, tracking, VI_FALSE);
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        keyword_model_t model(scope, &table);
        const std::string* keyword = model.keyword_for(function);
        if (keyword == nullptr) return zor_error_keyword;
        return per_record(model, selector, [&](keyword_model_t& m) -> status_t {
            status_t status = send(scope, format_command(type_command, resolve_indices(m, type_indices), *keyword));
            if (status != 0) return status;
            return send(scope, format_command(":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:EXECute", resolve_indices(m, "CTM")));
        });
    });
}

// The bandwidth/notch exports translate their kind once, after the lock and
// before any record; body(scope, model, kind keyword) then does the records.
template <typename Body>
ViStatus per_kind(ViSession vi, ViInt32 kind, Body&& body) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        keyword_model_t kinds(scope, &zor_adapter::bandwidth_notch_keywords);
        const std::string* keyword = kinds.keyword_for(kind);
        if (keyword == nullptr) return zor_error_keyword;
        return body(scope, kinds, *keyword);
    });
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSetEnabled(ViSession vi, ViConstString repCapIdentifier,
                                                          ViBoolean enabled, ViInt32 marker) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            // The marker is the caller's number, whatever the record names.
            const auto n = resolve_indices(m, "CT");
            return send(scope, util::string_format(":CALCulate%d:MEASure%d:MARKer%d %d", n[0], n[1],
                                                   static_cast<int>(marker), enabled ? 1 : 0));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerGetEnabled(ViSession vi, ViConstString repCapIdentifier,
                                                          ViInt32 marker, ViBoolean* enabled) {
    if (enabled == nullptr) return null_argument(vi, 4, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            status_t status = 0;
            std::int16_t reply = 0;
            const auto n = resolve_indices(m, "CT");
            scope.api.number_query(
                status, util::string_format(":CALCulate%d:MEASure%d:MARKer%d?", n[0], n[1], static_cast<int>(marker)),
                reply);
            if (status >= 0) *enabled = reply == 1 ? VI_TRUE : VI_FALSE;
            return status;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerDisableAll(ViSession vi, ViConstString repCapIdentifier) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            return send(scope, format_command(":CALCulate%d:MEASure%d:MARKer:AOFF", resolve_indices(m, "CT")));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSetType(ViSession vi, ViConstString repCapIdentifier, ViInt32 type) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        keyword_model_t model(scope, &zor_adapter::marker_type_keywords);
        const std::string* keyword = model.keyword_for(type);
        if (keyword == nullptr) return zor_error_keyword;
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            return send(scope,
                        format_command(":CALCulate%d:MEASure%d:MARKer%d:TYPE %s", resolve_indices(m, "CTM"), *keyword));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerQueryType(ViSession vi, ViConstString repCapIdentifier, ViInt32* type) {
    if (type == nullptr) return null_argument(vi, 3, "Null address for Val");
    return locked(vi, [&](session_scope_t& scope) {
        keyword_model_t model(scope, &zor_adapter::marker_type_keywords);
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            status_t status = 0;
            std::string reply;
            scope.api.text_query(
                status, format_command(":CALCulate%d:MEASure%d:MARKer%d:TYPE?", resolve_indices(m, "CTM")), reply);
            if (status != 0) return status;
            return reply_value(m, reply, *type);
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerGetYPosition(ViSession vi, ViConstString repCapIdentifier,
                                                            ViReal64* real, ViReal64* imaginary) {
    if (real == nullptr) return null_argument(vi, 3, "Null address for Real");
    if (imaginary == nullptr) return null_argument(vi, 4, "Null address for Imaginary");
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            status_t status = 0;
            std::string reply;
            scope.api.text_query(status, format_command(":CALCulate%d:TRACe%d:MARKer%d:Y?", resolve_indices(m, "CTM")),
                                 reply);
            if (status != 0) return status;
            double values[2] = {};
            status = reply_reals(reply, 2, values);
            if (status != 0) return status;
            *real = values[0];
            *imaginary = values[1];
            return status_t{0};
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerGetYPositionReal(ViSession vi, ViConstString repCapIdentifier,
                                                                ViReal64* real) {
    ViReal64 imaginary = 0.0;
    return ZOR_MeasurementMarkerGetYPosition(vi, repCapIdentifier, real, &imaginary);
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerModifyInstrumentSetting(ViSession vi, ViConstString repCapIdentifier,
                                                                       ViInt32 setting) {
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        keyword_model_t model(scope, &zor_adapter::marker_setting_keywords);
        const std::string* keyword = model.keyword_for(setting);
        if (keyword == nullptr) return zor_error_keyword;
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            return send(scope,
                        format_command(":CALCulate%d:TRACe%d:MARKer%d:SET %s", resolve_indices(m, "CTM"), *keyword));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchExecute(ViSession vi, ViConstString repCapIdentifier,
                                                             ViInt32 function) {
    return search_execute(vi, repCapIdentifier, function, ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_TRACKING_ENABLED,
                          zor_adapter::marker_search_function_keywords,
                          ":CALCulate%d:TRACe%d:MARKer%d:FUNCtion:TYPE %s", "CTM");
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchMultiSearchExecute(ViSession vi, ViConstString repCapIdentifier,
                                                                        ViInt32 function) {
    return search_execute(vi, repCapIdentifier, function,
                          ZOR_ATTR_MEASUREMENT_MARKER_SEARCH_MULTI_SEARCH_TRACKING_ENABLED,
                          zor_adapter::multi_search_function_keywords,
                          ":CALCulate%d:TRACe%d:MARKer:FUNCtion:MULTi:TYPE %s", "CT");
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchQueryResult(ViSession vi,
                                                                           ViConstString repCapIdentifier,
                                                                           ViReal64* first, ViReal64* second,
                                                                           ViReal64* third, ViReal64* fourth,
                                                                           ViInt32 kind) {
    if (first == nullptr) return null_argument(vi, 3, "Null address for Val");
    if (second == nullptr) return null_argument(vi, 4, "Null address for Val");
    if (third == nullptr) return null_argument(vi, 5, "Null address for Val");
    if (fourth == nullptr) return null_argument(vi, 6, "Null address for Val");
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            status_t status = 0;
            std::string reply;
            scope.api.text_query(status,
                                 util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s:DATA?", n.channel, n.trace,
                                                     n.marker, keyword.c_str()),
                                 reply);
            if (status != 0) return status;
            double values[4] = {};
            status = reply_reals(reply, 4, values);
            if (status != 0) return status;
            *first = values[0];
            *second = values[1];
            *third = values[2];
            *fourth = values[3];
            return status_t{0};
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchSetDisplayEnabled(ViSession vi,
                                                                                 ViConstString repCapIdentifier,
                                                                                 ViBoolean enabled, ViInt32 kind) {
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            return send(scope, util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s %d", n.channel, n.trace, n.marker,
                                                   keyword.c_str(), enabled ? 1 : 0));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchGetDisplayResultEnabled(ViSession vi,
                                                                                       ViConstString repCapIdentifier,
                                                                                       ViInt32 kind,
                                                                                       ViBoolean* enabled) {
    if (enabled == nullptr) return null_argument(vi, 4, "Null address for Val");
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            status_t status = 0;
            std::int16_t reply = 0;
            scope.api.number_query(status,
                                   util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s?", n.channel, n.trace,
                                                       n.marker, keyword.c_str()),
                                   reply);
            if (status >= 0) *enabled = reply == 1 ? VI_TRUE : VI_FALSE;
            return status;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchSetThreshold(ViSession vi,
                                                                            ViConstString repCapIdentifier,
                                                                            ViReal64 threshold, ViInt32 kind) {
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            return send(scope, util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s:THReshold %.12e", n.channel,
                                                   n.trace, n.marker, keyword.c_str(), threshold));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchGetThreshold(ViSession vi,
                                                                            ViConstString repCapIdentifier,
                                                                            ViInt32 kind, ViReal64* threshold) {
    if (threshold == nullptr) return null_argument(vi, 4, "Null address for Val");
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            status_t status = 0;
            double reply = 0.0;
            scope.api.number_query(status,
                                   util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s:THReshold?", n.channel,
                                                       n.trace, n.marker, keyword.c_str()),
                                   reply);
            if (status >= 0) *threshold = reply;
            return status;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchSetReference(ViSession vi,
                                                                            ViConstString repCapIdentifier,
                                                                            ViInt32 reference, ViInt32 kind) {
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) -> status_t {
        keyword_model_t references(scope, &zor_adapter::bandwidth_reference_keywords);
        const std::string* reference_keyword = references.keyword_for(reference);
        if (reference_keyword == nullptr) return zor_error_keyword;
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            return send(scope, util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s:REF %s", n.channel, n.trace,
                                                   n.marker, keyword.c_str(), reference_keyword->c_str()));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementMarkerSearchBWandNotchGetReference(ViSession vi,
                                                                            ViConstString repCapIdentifier,
                                                                            ViInt32 kind, ViInt32* reference) {
    if (reference == nullptr) return null_argument(vi, 4, "Null address for Val");
    return per_kind(vi, kind, [&](session_scope_t& scope, keyword_model_t& model,
                                                    const std::string& keyword) {
        keyword_model_t references(scope, &zor_adapter::bandwidth_reference_keywords);
        return per_record(model, repCapIdentifier, [&](keyword_model_t& m) {
            const ctm_t n = ctm(m);
            status_t status = 0;
            std::string reply;
            scope.api.text_query(status,
                                 util::string_format(":CALCulate%d:TRACe%d:MARKer%d:%s:REF?", n.channel, n.trace,
                                                     n.marker, keyword.c_str()),
                                 reply);
            if (status != 0) return status;
            return reply_value(references, reply, *reference);
        });
    });
}

}  // extern "C"
