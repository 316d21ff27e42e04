// A two-function VISA for the engine tests: hands out resource-manager
// sessions and records which ones are closed.
#include <atomic>

#include "visa.h"

#if defined(_WIN32)
#define FAKE_VISA_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_VISA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
std::atomic<ViSession> next_rm{0x1000};
std::atomic<int> close_count{0};
std::atomic<ViObject> last_closed{0};
}  // namespace

FAKE_VISA_EXPORT ViStatus ZOR_VISA_CALL viOpenDefaultRM(ViSession* vi) {
    if (vi == nullptr) return VI_ERROR_INV_PARAMETER;
    *vi = next_rm++;
    return VI_SUCCESS;
}

FAKE_VISA_EXPORT ViStatus ZOR_VISA_CALL viClose(ViObject vi) {
    ++close_count;
    last_closed = vi;
    return VI_SUCCESS;
}

FAKE_VISA_EXPORT int fake_visa_close_count() { return close_count; }
FAKE_VISA_EXPORT ViObject fake_visa_last_closed() { return last_closed; }
