#include "visa_binding.h"

#include "support/platform.h"
#include "visa.h"

namespace zor_engine {
namespace {

struct visa_binding_t {
    viOpenDefaultRM_fn open_default_rm = nullptr;
    viClose_fn close = nullptr;
};

// The module stays loaded for the life of the process, as the driver's
// binding does: RM sessions handed out must stay usable.
const visa_binding_t& visa() {
    static const visa_binding_t binding = [] {
        visa_binding_t b;
        qvdriver::platform::module_t module = qvdriver::platform::open_visa_library();
        if (module == nullptr) return b;
        b.open_default_rm =
            reinterpret_cast<viOpenDefaultRM_fn>(qvdriver::platform::find_symbol(module, "viOpenDefaultRM"));
        b.close = reinterpret_cast<viClose_fn>(qvdriver::platform::find_symbol(module, "viClose"));
        if (b.open_default_rm == nullptr || b.close == nullptr) {
            qvdriver::platform::free_library(module);
            return visa_binding_t{};
        }
        return b;
    }();
    return binding;
}

}  // namespace

ViSession open_resource_manager() {
    const visa_binding_t& b = visa();
    if (b.open_default_rm == nullptr) return 0;
    ViSession rm = 0;
    if (b.open_default_rm(&rm) < 0) return 0;
    return rm;
}

void close_resource_manager(ViSession rm) {
    if (rm == 0) return;
    const visa_binding_t& b = visa();
    if (b.close != nullptr) b.close(rm);
}

}  // namespace zor_engine
