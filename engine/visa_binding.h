// The two VISA functions the engine needs, bound once on first use through
// the same lookup as the driver's.
#pragma once

#include "zor_visatype.h"

namespace zor_engine {

// A new VISA resource-manager session; 0 when VISA is not loadable or
// refuses one.
ViSession open_resource_manager();
// Closes a session opened by open_resource_manager; 0 is ignored.
void close_resource_manager(ViSession rm);

}  // namespace zor_engine
