// Every attribute model class, one header per function area.
#pragma once

#include "adapter/models_correction.h"
#include "adapter/models_display.h"
#include "adapter/models_limit.h"
#include "adapter/models_marker.h"
#include "adapter/models_measurement.h"
#include "adapter/models_stimulus.h"
#include "adapter/models_system.h"
#include "adapter/models_time_domain.h"
