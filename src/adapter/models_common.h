// Building blocks shared by the hand-written attribute models: a variant of
// ZOR_SCPI_MODEL whose class derives from a body that changes one slot, and
// the bodies several areas reuse.
#pragma once

#include "adapter/scpi_model.h"

// Declares a model class from its row like ZOR_SCPI_MODEL, on top of `body`
// (a class derived from scpi_model_t<T> that overrides the getter or setter).
#define ZOR_SCPI_MODEL_ON(body, cls, T, set_command, get_command, indices, keywords)               \
    namespace zor_adapter {                                                                        \
    class cls final : public body {                                                                \
    protected:                                                                                     \
        const scpi_row_t<T>& row() const override {                                            \
            static const scpi_row_t<T> s{set_command, get_command, indices, keywords};          \
            return s;                                                                              \
        }                                                                                          \
    };                                                                                             \
    }

namespace zor_adapter {

// A read-only count: the number of entries of a list query (":...:LIST?").
// A failed query leaves the value alone and returns its status.
class list_count_model_t : public model_base_t<long_t> {
public:
    using model_t::getter;
    status_t getter(long_t& value) override;

protected:
    virtual const char* list_query() const = 0;
};

}  // namespace zor_adapter
