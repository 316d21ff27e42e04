// Action export of the time-domain transform: make a channel's frequencies
// fit a low-pass transform, once per channel and trace record.
#include "functions/action.h"

using namespace qvdriver;
using namespace qvdriver::functions;

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_MeasurementTimeDomainTransformSetLowPassMode(ViSession vi,
                                                                         ViConstString repCapIdentifier) {
    // A null identifier is the empty one: the active channel and trace.
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            return send(scope, format_command(":CALCulate%d:TRACe%d:TRANsform:TIME:LPFRequency",
                                              resolve_indices(m, "CT")));
        });
    });
}

}  // extern "C"
