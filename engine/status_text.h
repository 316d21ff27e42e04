// Descriptions of the status values a session can meet: the driver's own,
// the common VISA ones and the engine's.
#pragma once

#include "zor_visatype.h"

namespace zor_engine {

// Null for a status this engine does not know.
const char* describe_status(ViStatus status);

}  // namespace zor_engine
