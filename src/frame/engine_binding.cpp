#include "frame/engine_binding.h"

#include <atomic>

#include "support/logger.h"
#include "support/platform.h"
#include "support/qvutil.h"

namespace qvdriver::engine {

namespace {

struct binding_t {
#define ZOR_ENGINE_SLOT(name, ret, params, required) name##_fn name = nullptr;
    ZOR_IVI_ENGINE_FUNCTIONS(ZOR_ENGINE_SLOT)
#undef ZOR_ENGINE_SLOT
};

binding_t bound;
std::atomic<bool> loaded{false};

template <typename F>
bool bind(platform::module_t module, const char* name, F& slot, bool required) {
    slot = reinterpret_cast<F>(platform::find_symbol(module, name));
    return slot != nullptr || !required;
}

// Calls an engine function: binds the engine first, and answers `absent`
// when the (optional) function is not there.
template <typename Slot, typename Result, typename... Args>
Result call(Slot binding_t::*slot, Result absent, Args... args) {
    const status_t status = load_ivi_engine();
    if (status != 0) return static_cast<Result>(status);
    Slot function = bound.*slot;
    if (function == nullptr) return absent;
    return function(args...);
}

template <typename Slot, typename... Args>
bool ask(Slot binding_t::*slot, Args... args) {
    if (load_ivi_engine() != 0) return false;
    Slot function = bound.*slot;
    return function != nullptr && function(args...) != VI_FALSE;
}

}  // namespace

status_t load_ivi_engine() {
    if (loaded.load(std::memory_order_acquire)) return 0;
    platform::named_mutex_t mutex(
        util::string_format("IVI Engine Library Loader %lu", static_cast<unsigned long>(platform::process_id())));
    if (!mutex.created()) return zor_error_engine_not_loadable;
    mutex.lock();
    struct release_t {
        platform::named_mutex_t& m;
        ~release_t() { m.unlock(); }
    } release{mutex};
    if (loaded.load(std::memory_order_acquire)) return 0;

    std::string tried;
    platform::module_t module = platform::open_ivi_engine(&tried);
    if (module == nullptr) {
        // No engine, no error record: the console is the only place to say it.
        console_printf("[ERROR] IVI session engine not loadable; tried: %s\n", tried.c_str());
        return zor_error_engine_not_loadable;
    }
    binding_t candidate;
    bool complete = true;
#define ZOR_ENGINE_BIND(name, ret, params, required) \
    complete = complete && bind(module, #name, candidate.name, required != 0);
    ZOR_IVI_ENGINE_FUNCTIONS(ZOR_ENGINE_BIND)
#undef ZOR_ENGINE_BIND
    if (!complete) {
        platform::free_library(module);
        return zor_error_engine_function_missing;
    }
    bound = candidate;
    loaded.store(true, std::memory_order_release);
    return 0;
}

constexpr ViStatus absent = zor_error_engine_function_missing;

ViStatus get_info_from_resource_name(ViRsrc resource, ViString options, ViChar new_resource[],
                                     ViChar new_options[], ViBoolean* is_logical_name) {
    return call(&binding_t::Ivi_GetInfoFromResourceName, absent, resource, options, new_resource, new_options,
                is_logical_name);
}
ViStatus specific_driver_new(ViConstString prefix, ViConstString options, ViSession* new_vi) {
    return call(&binding_t::Ivi_SpecificDriverNew, absent, prefix, options, new_vi);
}
ViStatus validate_session(ViSession vi) { return call(&binding_t::Ivi_ValidateSession, absent, vi); }
ViStatus dispose(ViSession vi) { return call(&binding_t::Ivi_Dispose, absent, vi); }
ViStatus lock_session(ViSession vi, ViBoolean* caller_has_lock) {
    return call(&binding_t::Ivi_LockSession, absent, vi, caller_has_lock);
}
ViStatus unlock_session(ViSession vi, ViBoolean* caller_has_lock) {
    return call(&binding_t::Ivi_UnlockSession, absent, vi, caller_has_lock);
}
ViStatus get_attribute_flags(ViSession vi, ViAttr attribute, ViInt32* flags) {
    return call(&binding_t::Ivi_GetAttributeFlags, absent, vi, attribute, flags);
}
ViStatus set_attribute_flags(ViSession vi, ViAttr attribute, ViInt32 flags) {
    return call(&binding_t::Ivi_SetAttributeFlags, absent, vi, attribute, flags);
}
ViStatus set_attribute_vi_string(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                 ViConstString value) {
    return call(&binding_t::Ivi_SetAttributeViString, absent, vi, rep_cap, attribute, flags, value);
}
ViStatus set_attribute_vi_session(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                  ViSession value) {
    return call(&binding_t::Ivi_SetAttributeViSession, absent, vi, rep_cap, attribute, flags, value);
}
ViStatus get_attribute_vi_session(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                  ViSession* value) {
    return call(&binding_t::Ivi_GetAttributeViSession, absent, vi, rep_cap, attribute, flags, value);
}
ViStatus get_attribute_vi_int32(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                ViInt32* value) {
    return call(&binding_t::Ivi_GetAttributeViInt32, absent, vi, rep_cap, attribute, flags, value);
}
ViStatus get_attribute_vi_string(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                 ViInt32 size, ViChar value[]) {
    return call(&binding_t::Ivi_GetAttributeViString, absent, vi, rep_cap, attribute, flags, size, value);
}
bool simulating(ViSession vi) { return ask(&binding_t::Ivi_Simulating, vi); }
bool query_instr_status(ViSession vi) { return ask(&binding_t::Ivi_QueryInstrStatus, vi); }
bool need_to_check_status(ViSession vi) { return ask(&binding_t::Ivi_NeedToCheckStatus, vi); }
ViStatus set_need_to_check_status(ViSession vi, bool need) {
    return call(&binding_t::Ivi_SetNeedToCheckStatus, absent, vi, need ? VI_TRUE : VI_FALSE);
}
ViStatus apply_default_setup(ViSession vi) { return call(&binding_t::Ivi_ApplyDefaultSetup, absent, vi); }
ViStatus invalidate_all_attributes(ViSession vi) { return call(&binding_t::Ivi_InvalidateAllAttributes, absent, vi); }
ViStatus get_next_coercion_string(ViSession vi, ViInt32 size, ViChar record[]) {
    return call(&binding_t::Ivi_GetNextCoercionString, absent, vi, size, record);
}
ViStatus set_error_info(ViSession vi, bool overwrite, ViStatus primary, ViStatus secondary,
                        ViConstString elaboration) {
    return call(&binding_t::Ivi_SetErrorInfo, absent, vi, overwrite ? VI_TRUE : VI_FALSE, primary, secondary,
                elaboration);
}
ViStatus get_error_info(ViSession vi, ViStatus* primary, ViStatus* secondary, ViChar elaboration[]) {
    return call(&binding_t::Ivi_GetErrorInfo, absent, vi, primary, secondary, elaboration);
}
ViStatus clear_error_info(ViSession vi) { return call(&binding_t::Ivi_ClearErrorInfo, absent, vi); }
ViStatus param_position_error(ViInt32 position) { return call(&binding_t::Ivi_ParamPositionError, absent, position); }
ViStatus get_specific_driver_status_desc(ViSession vi, ViStatus status, ViChar message[], IviStringValueTable table) {
    return call(&binding_t::Ivi_GetSpecificDriverStatusDesc, absent, vi, status, message, table);
}

status_t null_pointer_error(ViSession vi, ViInt32 position, const char* message) {
    set_error_info(vi, false, zor_error_null_pointer, param_position_error(position), message);
    return zor_error_null_pointer;
}

}  // namespace qvdriver::engine
