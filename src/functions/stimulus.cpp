// Action exports of the channel stimulus: abort, averaging restart, the
// active channel and channel list, full-range span.
#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

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

}  // extern "C"
