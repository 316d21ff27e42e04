// The generic attribute accessors: lock the session, make the attribute's
// model, run its typed slot once per selector record.
#include <cmath>
#include <memory>
#include <utility>

#include "ZOR.h"
#include "adapter/registry.h"
#include "adapter/scpi_model.h"
#include "frame/engine_binding.h"
#include "frame/export_guard.h"
#include "frame/outcome.h"
#include "frame/session.h"
#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver {

using zor_adapter::long_t;
using zor_adapter::model_base_t;
using zor_adapter::model_t;
using zor_adapter::ulong_t;

namespace {

// Attributes print as their offset from the specific-attribute base.
unsigned long printed_id(const model_t& model) {
    return static_cast<unsigned long>(static_cast<std::uint32_t>(model.attribute_id - 1150000u));
}

// The attribute as the caller names it: ZOR_ATTR_<constant>.
std::string attribute_name(std::uint32_t id) {
    const char* constant = zor_adapter::attribute_constant(id);
    return constant != nullptr ? std::string("ZOR_ATTR_") + constant : "attribute " + std::to_string(id);
}

// The accessor type of a value type name ("double" is read as ViReal64).
const char* accessor_type(const std::string& type) {
    if (type == zor_adapter::value_type_name<double>::text) return "ViReal64";
    if (type == zor_adapter::value_type_name<bool>::text) return "ViBoolean";
    if (type == zor_adapter::value_type_name<long_t>::text) return "ViInt32";
    if (type == zor_adapter::value_type_name<ulong_t>::text) return "ViSession";
    return "ViString";
}

// A model whose values are keyword-table entries: reached through ViInt32
// (a string model also takes its keyword through ViString).
bool keyed(const model_t& model) {
    if (const auto* keywords = dynamic_cast<const model_base_t<std::string>*>(&model))
        return keywords->keyword_map() != nullptr;
    if (const auto* states = dynamic_cast<const model_base_t<bool>*>(&model)) return states->keyword_map() != nullptr;
    return false;
}

status_t type_mismatch(const model_t& model, const char* direction, const char* type) {
    const std::uint32_t vi = model.session != nullptr ? model.session->vi : 0;
    const std::string fits = keyed(model) ? "ViInt32" : accessor_type(model.value_type_name);
    std::string text = attribute_name(model.attribute_id) + " is a " + fits + " attribute";
    if (keyed(model)) text += " of ZOR_VAL_* values";
    text += std::string(": ") + (direction[0] == 'G' ? "read" : "set") + " it with ZOR_" + direction + "Attribute" +
            fits + " or its typed accessor, not ZOR_" + direction + "Attribute" + accessor_type(type);
    return record_failure(vi, zor_error_not_supported, text);
}

status_t get_mismatch(const model_t& model, const char* type) {
    log_message(log_error,
                util::string_format("Get attribute ID(%lu) -> type(%s) {Not supported}\n", printed_id(model), type));
    return type_mismatch(model, "Get", type);
}

status_t set_mismatch(const model_t& model, int line, const char* type) {
    log_message(log_error, util::string_format("(L%d) Attribute ID(%lu) -> type(%s) {Not supported}\n", line,
                                               printed_id(model), type));
    return type_mismatch(model, "Set", type);
}

// A ViInt32 value that is none of the attribute's keyword values.
status_t value_not_in_table(const model_t& model, ViInt32 value) {
    log_message(log_error, util::string_format("(L%d) Attribute ID(%lu) -> type(%s) {Not supported}\n", 271,
                                               printed_id(model), "long"));
    const std::uint32_t vi = model.session != nullptr ? model.session->vi : 0;
    return record_failure(vi, zor_error_not_supported,
                          attribute_name(model.attribute_id) + " takes one of its ZOR_VAL_* values (in ZOR.h); " +
                              std::to_string(value) + " is none of them");
}

// Attributes answered without a word to the instrument.
bool answered_by_driver(std::uint32_t attribute_id) {
    return attribute_id == ZOR_ATTR_SPECIFIC_DRIVER_REVISION || attribute_id == ZOR_ATTR_SYSTEM_IO_TIMEOUT;
}

// Runs `dispatch` on the attribute's model once per record of the selector.
// A failure leaves its error record; a success that talked to the
// instrument is checked against its status when the session asks for it,
// `describe` telling what was sent.
template <typename Dispatch, typename Describe>
status_t for_each_record(ViSession vi, ViConstString selector, ViAttr attribute_id, Dispatch&& dispatch,
                         Describe&& describe) {
    session_scope_t scope(vi);
    status_t status = scope.lock();
    if (status != 0) return status;
    std::unique_ptr<model_t> model(zor_adapter::new_attr_model_inst(attribute_id));
    if (!model) {
        return record_failure(vi, zor_error_attribute_not_registered,
                              "Attribute ID " + std::to_string(attribute_id) +
                                  " is none of the driver's: use a ZOR_ATTR_* constant of ZOR.h");
    }
    model->session = &scope;
    rep_cap_identifier_t identifier;
    identifier.parse(selector);
    identifier.records();
    if (identifier.status != 0) return record_failure(vi, identifier.status, identifier.problem);
    status = 0;
    // The records are this call's own: each moves into the model.
    for (auto& record : identifier.expanded) {
        model->rep_cap = std::move(record);
        try {
            status = dispatch(*model);
        } catch (const call_failed_t& failure) {  // a selection query that failed (export_guard.h)
            status = failure.status;
        }
        if (status < 0) return leave_error_record(vi, status);
    }
    if (identifier.expanded.empty() || answered_by_driver(attribute_id)) return status;
    return check_after_call(scope, vi, status, [&] {
        std::string what = attribute_name(attribute_id);
        if (selector != nullptr && *selector != '\0') what += std::string(" of \"") + selector + "\"";
        return what + " " + describe();
    });
}

// What a set sent, for the instrument's verdict.
std::string setting(double value) { return util::string_format("set to %.12g", value); }
std::string setting(ViInt32 value) { return "set to " + std::to_string(value); }
std::string setting(bool value) { return std::string("set to ") + (value ? "VI_TRUE" : "VI_FALSE"); }
std::string setting(ulong_t value) { return "set to " + std::to_string(value); }
std::string setting(const std::string& value) { return "set to \"" + value + "\""; }

template <typename T>
const char* type_name() {
    return zor_adapter::value_type_name<T>::text;
}

template <typename T>
status_t plain_get(model_t& model, T& value) {
    if (model.value_type_name != type_name<T>()) return get_mismatch(model, type_name<T>());
    return model.getter(value);
}

// A text the command takes as it is, not as a quoted string (a keyword, a
// parameter name) must be one word: a ';' or a space would end the command
// and start another with the rest.
status_t unquoted_text(const model_t& model, const std::string& value) {
    if (dynamic_cast<const zor_adapter::quoted_text_model_t*>(&model) != nullptr || util::scpi_word(value)) return 0;
    const std::uint32_t vi = model.session != nullptr ? model.session->vi : 0;
    return record_failure(vi, engine::param_position_error(4),
                          attribute_name(model.attribute_id) + " takes a keyword of letters, digits and _ (such as " +
                              "S21 or MLOGarithmic); \"" + value.substr(0, 60) + "\" is none");
}

template <typename T>
status_t plain_set(model_t& model, const T& value) {
    if (model.value_type_name != type_name<T>()) return set_mismatch(model, 239, type_name<T>());
    if constexpr (std::is_same_v<T, std::string>) {
        if (const status_t refused = unquoted_text(model, value)) return refused;
    }
    return model.setter(value);
}

status_t int32_set(model_t& model, ViInt32 value) {
    if (auto* numbers = dynamic_cast<model_base_t<long_t>*>(&model)) {
        const auto* map = numbers->keyword_map();
        if (map != nullptr) {
            auto found = map->find(value);
            if (found != map->end()) return model.setter(long_t{found->second});
        }
        return model.setter(long_t{value});
    }
    if (auto* keywords = dynamic_cast<model_base_t<std::string>*>(&model)) {
        if (const std::string* keyword = keywords->keyword_for(value)) return model.setter(*keyword);
        if (keywords->keyword_map() != nullptr) return value_not_in_table(model, value);
    } else if (auto* states = dynamic_cast<model_base_t<bool>*>(&model)) {
        if (const auto* map = states->keyword_map()) {
            auto found = map->find(value);
            if (found != map->end()) return model.setter(bool{found->second});
            return value_not_in_table(model, value);
        }
    }
    return set_mismatch(model, 271, "long");
}

status_t int32_get(model_t& model, ViInt32& value) {
    if (auto* numbers = dynamic_cast<model_base_t<long_t>*>(&model)) {
        long_t read = 0;
        const status_t status = model.getter(read);
        if (status < 0) return status;
        value = read;
        if (const auto* map = numbers->keyword_map()) {
            for (const auto& entry : *map) {
                if (entry.second == read) {
                    value = entry.first;
                    break;
                }
            }
        }
        return 0;
    }
    if (auto* keywords = dynamic_cast<model_base_t<std::string>*>(&model)) {
        std::string reply;
        const status_t status = model.getter(reply);
        if (status < 0) return status;
        const std::int32_t* key = keywords->value_for(reply);
        if (key == nullptr) return zor_error_reply_not_in_map;
        value = *key;
        return 0;
    }
    if (auto* states = dynamic_cast<model_base_t<bool>*>(&model)) {
        bool read = false;
        const status_t status = model.getter(read);
        if (status < 0) return status;
        if (const auto* map = states->keyword_map()) {
            for (const auto& entry : *map) {
                if (entry.second == read) {
                    value = entry.first;
                    return 0;
                }
            }
        }
        return zor_error_reply_not_in_map;
    }
    return get_mismatch(model, "long");
}

status_t null_value(ViSession vi, ViInt32 position) {
    return engine::null_pointer_error(vi, position, "Null address for AttributeValue");
}

// A plain get: the model's slot of type T, the caller's value written as
// Out after each record that succeeds.
template <typename T, typename Out>
ViStatus get_plain(ViSession vi, ViConstString selector, ViAttr attribute_id, Out* out) {
    return guarded([&]() -> ViStatus {
        if (out == nullptr) return null_value(vi, 4);
        return for_each_record(
            vi, selector, attribute_id,
            [&](model_t& model) {
                T value{};
                const status_t status = plain_get(model, value);
                if (status >= 0) *out = static_cast<Out>(value);
                return status;
            },
            [] { return std::string("read"); });
    });
}

template <typename T>
ViStatus set_plain(ViSession vi, ViConstString selector, ViAttr attribute_id, const T& value) {
    return guarded([&]() -> ViStatus {
        return for_each_record(
            vi, selector, attribute_id, [&](model_t& model) { return plain_set(model, value); },
            [&] { return setting(value); });
    });
}

}  // namespace

}  // namespace qvdriver

using namespace qvdriver;

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                  ViInt32* attributeValue) {
    return guarded([&]() -> ViStatus {
        if (attributeValue == nullptr) return null_value(vi, 4);
        return for_each_record(
            vi, repCapIdentifier, attributeId, [&](model_t& model) { return int32_get(model, *attributeValue); },
            [] { return std::string("read"); });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViReal64* attributeValue) {
    return get_plain<double>(vi, repCapIdentifier, attributeId, attributeValue);
}

ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViBoolean* attributeValue) {
    return get_plain<bool>(vi, repCapIdentifier, attributeId, attributeValue);
}

ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViSession* attributeValue) {
    return get_plain<ulong_t>(vi, repCapIdentifier, attributeId, attributeValue);
}

ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViInt32 bufferSize, ViChar attributeValue[]) {
    return guarded([&]() -> ViStatus {
        if (attributeValue == nullptr) return null_value(vi, 5);
        // Nothing fits in a buffer of no bytes: refuse before any traffic.
        if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
        return for_each_record(
            vi, repCapIdentifier, attributeId,
            [&](model_t& model) {
                std::string value;
                const status_t status = plain_get(model, value);
                if (status < 0) return status;
                const status_t copied = util::copy_to_buffer(attributeValue, bufferSize, value);
                return copied < 0 ? copied : status;
            },
            [] { return std::string("read"); });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                  ViInt32 attributeValue) {
    return guarded([&]() -> ViStatus {
        return for_each_record(
            vi, repCapIdentifier, attributeId, [&](model_t& model) { return int32_set(model, attributeValue); },
            [&] { return setting(attributeValue); });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViReal64 attributeValue) {
    // No setting takes NaN or an infinity; the instrument would get "nan" or "inf".
    if (!std::isfinite(attributeValue)) {
        return guarded([&]() -> ViStatus {
            const ViStatus status = engine::param_position_error(4);
            engine::set_error_info(vi, false, status, 0, "The value is not a finite number");
            return status;
        });
    }
    return set_plain(vi, repCapIdentifier, attributeId, double{attributeValue});
}

ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViBoolean attributeValue) {
    // Only exactly 1 is true: 2 or 0xFFFF are not.
    return set_plain(vi, repCapIdentifier, attributeId, attributeValue == 1);
}

ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViSession attributeValue) {
    return set_plain(vi, repCapIdentifier, attributeId, ulong_t{attributeValue});
}

ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViConstString attributeValue) {
    if (attributeValue == nullptr) return guarded([&]() -> ViStatus { return null_value(vi, 4); });
    return guarded([&]() -> ViStatus {
        if (const status_t refused = refuse_control_characters(vi, 4, "The value", attributeValue)) return refused;
        return set_plain(vi, repCapIdentifier, attributeId, std::string(attributeValue));
    });
}

}  // extern "C"
