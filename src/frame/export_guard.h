// Keeps C++ exceptions from crossing the exported C interface.
#pragma once

#include <new>

#include "visa.h"

namespace qvdriver {

template <typename Body>
ViStatus guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

}  // namespace qvdriver
