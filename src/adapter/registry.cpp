#include "adapter/registry.h"

#include <utility>

#include "adapter/models.h"
#include "support/logger.h"

namespace zor_adapter {

namespace {

using entry_t = std::pair<const std::uint32_t, model_factory_t>;

template <typename Model>
model_t* make_model() {
    return new Model();
}

}  // namespace

// Built in list order with insert semantics: an ID listed twice keeps its
// first model.
const std::map<std::uint32_t, model_factory_t> attr_model_factory_map = [] {
    std::map<std::uint32_t, model_factory_t> map;
#define ZOR_ATTRIBUTE(constant, id, cls) map.insert(entry_t{id, &make_model<cls>});
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    return map;
}();

const char* attribute_constant(std::uint32_t attribute_id) {
    struct named_t {
        std::uint32_t id;
        const char* constant;
    };
    static constexpr named_t names[] = {
#define ZOR_ATTRIBUTE(constant, id, cls) {id, #constant},
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    };
    for (const named_t& n : names)
        if (n.id == attribute_id) return n.constant;
    return nullptr;
}

model_t* new_attr_model_inst(std::uint32_t attribute_id) {
    auto found = attr_model_factory_map.find(attribute_id);
    if (found == attr_model_factory_map.end()) {
        qvdriver::console_printf("[Error] %s attributeID(%lu) is not supported!\n", "new_attr_model_inst",
                                 static_cast<unsigned long>(static_cast<std::uint32_t>(attribute_id - 1150000u)));
        return nullptr;
    }
    model_t* model = found->second();
    model->attribute_id = attribute_id;
    return model;
}

}  // namespace zor_adapter
