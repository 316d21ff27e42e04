// The analyzer's command object: the common operations of api_t plus the
// analyzer's own SCPI command methods, added per function area.
#pragma once

#include "io/api.h"

class zor_api_t : public qvdriver::api_t {
public:
    using qvdriver::api_t::api_t;
};
