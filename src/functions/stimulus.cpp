// Action exports of the channel stimulus: abort, averaging restart, the
// active channel and channel list, full-range span.
#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// Null arguments are refused before the session is touched; the record is
// still written under the guard so no exception leaves the export.
ViStatus refuse(ViSession vi, ViInt32 position, const char* message) {
    return guarded([&]() -> ViStatus { return null_argument(vi, position, message); });
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_ChannelAbort(ViSession vi) {
    return locked(vi, [&](session_scope_t& scope) { return send(scope, ":ABORt"); });
}

// The same function under its second name.
ZOR_API ViStatus ZOR_CALL ZOR_ChannelTriggerInitiate(ViSession vi) { return ZOR_ChannelAbort(vi); }

ZOR_API ViStatus ZOR_CALL ZOR_ChannelAveragingRestart(ViSession vi, ViConstString channelName) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, channelName, [&](local_model_t<>& m) {
            return send(scope, format_command(":SENSe%d:AVERage:CLEar", resolve_indices(m, "C")));
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelGetActiveChannel(ViSession vi, ViInt32* channel) {
    if (channel == nullptr) return refuse(vi, 2, "Null address for Channel");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        std::int32_t number = 0;
        // The caller's value changes only when the query succeeded.
        if (scope.api.number_query(status, ":DISPlay:CHANnel:SELect?", number) >= 0) *channel = number;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelGetCatalog(ViSession vi, ViInt32 bufferSize, ViChar catalog[]) {
    if (catalog == nullptr) return refuse(vi, 3, "Null address for Catalog");
    // Nothing fits in a buffer of no bytes: refuse before any traffic.
    if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        std::string reply;
        if (scope.api.text_query(status, ":DISPlay:CHANnel:LIST?", reply) < 0) return status;
        return util::copy_to_buffer(catalog, bufferSize, reply);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_StandardStimulusSweepFrequencySetSpanForFullRange(ViSession vi,
                                                                              ViConstString channelName) {
    if (channelName == nullptr) return refuse(vi, 2, "Null address for ChannelName");
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        // The limits are the analyzer's, not the channel's: asked once for all records.
        status_t status = 0;
        double minimum = 0;
        double maximum = 0;
        if (scope.api.number_query(status, ":SERVice:SWEep:FREQency:MINimum?", minimum) < 0) return status;
        if (scope.api.number_query(status, ":SERVice:SWEep:FREQency:MAXimum?", maximum) < 0) return status;
        local_model_t<> model(scope);
        return per_record(
            model, channelName,
            [&](local_model_t<>& m) {
                const status_t start =
                    send(scope, format_command(":SENSe%d:FREQuency:STARt %.12e", resolve_indices(m, "C"), minimum));
                if (start < 0) return start;
                return send(scope, format_command(":SENSe%d:FREQuency:STOP %.12e", resolve_indices(m, "C"), maximum));
            },
            stop_on::negative);
    });
}

}  // extern "C"
