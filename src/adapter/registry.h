// Attribute ID to a new model object. The map is built once at load from
// the public attribute list and only read afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "adapter/model_base.h"

namespace zor_adapter {

using model_factory_t = std::function<model_t*()>;

extern const std::map<std::uint32_t, model_factory_t> attr_model_factory_map;

// A new model for the ID (owned by the caller), or null with a console line
// when the ID is not registered.
model_t* new_attr_model_inst(std::uint32_t attribute_id);

// The attribute's public name without its ZOR_ATTR_ prefix
// ("FREQUENCY_START"), for messages; null for an ID not registered.
const char* attribute_constant(std::uint32_t attribute_id);

}  // namespace zor_adapter
