// Building blocks shared by the hand-written attribute models: the bodies
// several areas reuse.
#pragma once

#include "adapter/scpi_model.h"

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
