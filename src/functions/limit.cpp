// Action exports of this function area.
#include "functions/action.h"
