// Tests of this area's exports.
#include "function_fixture.h"
