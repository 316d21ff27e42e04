#include "io/visa_library.h"

#include <atomic>
#include <mutex>

#include "support/logger.h"
#include "support/platform.h"

namespace qvdriver::visa {

namespace {

binding_t bound;
std::atomic<bool> complete{false};
std::mutex binding_lock;

template <typename F>
bool bind(platform::module_t module, const char* name, F& slot) {
    slot = reinterpret_cast<F>(platform::find_symbol(module, name));
    return slot != nullptr;
}

}  // namespace

bool load_visa_library() {
    if (complete.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> guard(binding_lock);
    if (complete.load(std::memory_order_relaxed)) return true;

    platform::module_t module = platform::open_visa_library();
    if (module == nullptr) {
        log_message(log_error, "Cannot load visa dll library.");
        return false;
    }
    binding_t candidate;
    bool found = true;
    // Looked up in the binding's order; the first missing name ends the attempt.
#define ZOR_VISA_BIND(name, ret, params) found = found && bind(module, #name, candidate.name);
    ZOR_VISA_FUNCTIONS(ZOR_VISA_BIND)
#undef ZOR_VISA_BIND
    found = found && bind(module, "viPrintf", candidate.viPrintf) && bind(module, "viScanf", candidate.viScanf) &&
            bind(module, "viQueryf", candidate.viQueryf);
    if (!found) {
        platform::free_library(module);
        return false;
    }
    bound = candidate;
    complete.store(true, std::memory_order_release);
    return true;
}

const binding_t& api() { return bound; }

}  // namespace qvdriver::visa
