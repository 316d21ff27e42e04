// Keeps C++ exceptions from crossing the exported C interface.
#pragma once

#include <new>

#include "support/status.h"
#include "visa.h"

namespace qvdriver {

// Thrown where a call cannot go on and has no status path to its export (a
// lookup deep in building a command): the export returns `status` and
// nothing after the throw is sent.
struct call_failed_t {
    status_t status;
};

template <typename Body>
ViStatus guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const call_failed_t& failure) {
        return failure.status;
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

}  // namespace qvdriver
