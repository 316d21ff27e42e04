// Run-time binding of the IVI session engine. Every engine call goes through
// a wrapper here that binds the engine first; when it cannot, the wrapper
// returns the binding's status (the yes/no queries answer false).
#pragma once

#include "ivi_engine.h"
#include "support/status.h"

namespace qvdriver::engine {

// Binds the engine once per process, serialised by the loader mutex.
status_t load_ivi_engine();

ViStatus get_info_from_resource_name(ViRsrc resource, ViString options, ViChar new_resource[],
                                     ViChar new_options[], ViBoolean* is_logical_name);
ViStatus specific_driver_new(ViConstString prefix, ViConstString options, ViSession* new_vi);
ViStatus validate_session(ViSession vi);
ViStatus dispose(ViSession vi);
ViStatus lock_session(ViSession vi, ViBoolean* caller_has_lock);
ViStatus unlock_session(ViSession vi, ViBoolean* caller_has_lock);
ViStatus get_attribute_flags(ViSession vi, ViAttr attribute, ViInt32* flags);
ViStatus set_attribute_flags(ViSession vi, ViAttr attribute, ViInt32 flags);
ViStatus set_attribute_vi_string(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                 ViConstString value);
ViStatus set_attribute_vi_session(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                  ViSession value);
ViStatus get_attribute_vi_session(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                  ViSession* value);
ViStatus get_attribute_vi_int32(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                ViInt32* value);
ViStatus get_attribute_vi_string(ViSession vi, ViConstString rep_cap, ViAttr attribute, ViInt32 flags,
                                 ViInt32 size, ViChar value[]);
bool simulating(ViSession vi);
bool query_instr_status(ViSession vi);
bool need_to_check_status(ViSession vi);
ViStatus set_need_to_check_status(ViSession vi, bool need);
ViStatus apply_default_setup(ViSession vi);
ViStatus invalidate_all_attributes(ViSession vi);
ViStatus get_next_coercion_string(ViSession vi, ViInt32 size, ViChar record[]);
ViStatus set_error_info(ViSession vi, bool overwrite, ViStatus primary, ViStatus secondary,
                        ViConstString elaboration);
ViStatus get_error_info(ViSession vi, ViStatus* primary, ViStatus* secondary, ViChar elaboration[]);
ViStatus clear_error_info(ViSession vi);
ViStatus param_position_error(ViInt32 position);
ViStatus get_specific_driver_status_desc(ViSession vi, ViStatus status, ViChar message[], IviStringValueTable table);

// Records the null-pointer error of an exported function's argument and
// returns the null-pointer status.
status_t null_pointer_error(ViSession vi, ViInt32 position, const char* message);

}  // namespace qvdriver::engine
