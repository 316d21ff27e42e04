// The shape every action export shares: null checks first, then the session
// locked for the call, a local model to resolve selector numbers and
// keywords, and the work done once per selector record.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ZOR.h"
#include "adapter/model_base.h"
#include "adapter/scpi_model.h"
#include "frame/engine_binding.h"
#include "frame/export_guard.h"
#include "frame/outcome.h"
#include "frame/session.h"
#include "support/qvutil.h"

namespace qvdriver::functions {

using zor_adapter::format_command;
using zor_adapter::resolve_indices;

// The null-pointer error record of argument `position` (vi counts as 1).
inline status_t null_argument(ViSession vi, ViInt32 position, const char* message) {
    return engine::null_pointer_error(vi, position, message);
}

// A real argument no instrument can take (NaN, an infinity): the
// "Parameter <position> invalid" status, recorded; 0 for a finite value.
inline status_t check_finite(ViSession vi, ViInt32 position, double value) {
    if (std::isfinite(value)) return 0;
    const status_t status = engine::param_position_error(position);
    engine::set_error_info(vi, false, status, 0, "The value is not a finite number");
    return status;
}

// A text parameter: null is the null-pointer record, a control character
// is refused (refuse_control_characters); 0 when it may go out.
inline status_t check_text(ViSession vi, ViInt32 position, ViConstString text, const char* what) {
    if (text == nullptr) return null_argument(vi, position, (std::string("Null address for ") + what).c_str());
    return refuse_control_characters(vi, position, what, text);
}

enum class after_call { check_instrument, nothing };

// Runs body(scope) with the session locked; a failed lock is returned
// unchanged and the body does not run. The lock is released on every path.
// A failure leaves its error record; a success is checked against the
// instrument's status when the session asks for it, unless `then` says
// the call must not add traffic of its own (raw I/O, the error queue).
template <typename Body>
ViStatus locked(ViSession vi, Body&& body, after_call then = after_call::check_instrument) {
    return guarded([&]() -> ViStatus {
        session_scope_t scope(vi);
        const status_t status = scope.lock();
        if (status != 0) return status;
        status_t result = 0;
        try {
            result = body(scope);
        } catch (const call_failed_t& failure) {
            result = failure.status;
        }
        if (result < 0) return leave_error_record(vi, result);
        if (then == after_call::nothing) return result;
        return check_after_call(scope, vi, result, [] { return std::string(); });
    });
}

// A model that serves an action only to resolve numbers and keywords.
template <typename T = unsigned char>
class local_model_t : public zor_adapter::model_base_t<T> {
public:
    explicit local_model_t(session_scope_t& scope,
                           const typename zor_adapter::model_base_t<T>::map_type* table = nullptr)
        : zor_adapter::model_base_t<T>(&scope) {
        this->keywords = table;
    }
};

enum class stop_on { not_zero, negative };

// Runs body(model) once per record of `selector`, in order. Stops at the
// first status that is not 0 (warnings included), or with stop_on::negative
// at the first error; returns that status, else 0. A refused selector runs
// nothing and gives its status.
template <typename Model, typename Body>
status_t per_record(Model& model, ViConstString selector, Body&& body, stop_on rule = stop_on::not_zero) {
    rep_cap_identifier_t identifier;
    identifier.parse(selector);
    identifier.records();
    if (identifier.status != 0) {
        return record_failure(model.session != nullptr ? model.session->vi : 0, identifier.status, identifier.problem);
    }
    // The records are this call's own: each moves into the model.
    for (auto& record : identifier.expanded) {
        model.rep_cap = std::move(record);
        const status_t status = body(model);
        if (rule == stop_on::not_zero ? status != 0 : status < 0) return status;
    }
    return 0;
}

// Writes `command`; the write's status.
inline status_t send(session_scope_t& scope, const std::string& command) {
    status_t status = 0;
    return scope.api.set(status, command);
}

// Pieces between commas; every comma splits, so "1,2," has three pieces and
// "" one empty piece.
inline std::vector<std::string> split_at_commas(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ',') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

}  // namespace qvdriver::functions
