// Utility exports: pass-through I/O, revisions, errors, reset, self-test, locks.
#include "functions/action.h"
