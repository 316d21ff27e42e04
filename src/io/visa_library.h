// Run-time binding of the VISA library: thirteen functions, bound once and
// kept for the life of the process.
#pragma once

#include <string>

#include "visa.h"

namespace qvdriver::visa {

struct binding_t {
#define ZOR_VISA_BINDING_SLOT(name, ret, params) name##_fn name = nullptr;
    ZOR_VISA_FUNCTIONS(ZOR_VISA_BINDING_SLOT)
#undef ZOR_VISA_BINDING_SLOT
    viPrintf_fn viPrintf = nullptr;
    viScanf_fn viScanf = nullptr;
    viQueryf_fn viQueryf = nullptr;
    // Optional: null when the library lacks it.
    viStatusDesc_fn viStatusDesc = nullptr;
};

// Binds VISA; true when all thirteen functions were found. An incomplete
// attempt is forgotten, so the next call tries again.
bool load_visa_library();
// The complete binding; only valid after load_visa_library() returned true.
// Its write, read and formatted query pass through the wire guard and the
// I/O trace (wire_guard.h), its open and close tell the guard.
const binding_t& api();
// The library's own write and read with the I/O trace, without the guard:
// for the guard's own messages.
ViStatus traced_write(ViSession vi, ViConstBuf buffer, ViUInt32 count, ViUInt32* written);
ViStatus traced_read(ViSession vi, ViBuf buffer, ViUInt32 count, ViUInt32* got);
// The files the last failed load tried, comma separated (for messages).
std::string last_attempts();

}  // namespace qvdriver::visa

namespace qvdriver {
using visa::load_visa_library;
}
