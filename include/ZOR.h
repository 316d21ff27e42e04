/* ZOR_x64: driver for the ZOR family of two-port vector network analyzers.
 *
 * Every function takes the session handle first (except the session openers)
 * and returns a status: negative is an error, 0 success, positive a warning. */
#ifndef ZOR_H
#define ZOR_H

#include "zor_visatype.h"

#if defined(_WIN32)
#if defined(ZOR_DRIVER_BUILD)
#define ZOR_API __declspec(dllexport)
#else
#define ZOR_API __declspec(dllimport)
#endif
#else
#define ZOR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of the driver's own (engine and VISA statuses pass through). */
#define ZOR_ERROR_ENGINE_NOT_LOADABLE ((ViStatus)0xBFFA0000L)     /* session engine not loadable */
#define ZOR_ERROR_INSTRUMENT_STATUS ((ViStatus)0xBFFA0001L)       /* event status register shows an error */
#define ZOR_ERROR_ENGINE_FUNCTION_MISSING ((ViStatus)0xBFFA0009L) /* engine function missing */
#define ZOR_ERROR_NULL_POINTER ((ViStatus)0xBFFA000FL)            /* null pointer argument */
#define ZOR_ERROR_IDENTITY_INCOMPLETE ((ViStatus)0xBFFA0010L)     /* identity reply incomplete */
#define ZOR_ERROR_NOT_SUPPORTED ((ViStatus)0xBFFA0011L)           /* value type or enumeration value not supported */
#define ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED ((ViStatus)0xBFFA0012L) /* attribute ID not registered */
#define ZOR_ERROR_REP_CAP_NOT_FOUND ((ViStatus)0xBFFA0019L)       /* selector does not name the capability */
#define ZOR_ERROR_BADLY_FORMED_SELECTOR ((ViStatus)0xBFFA0066L) /* selector malformed, or naming too many records */
#define ZOR_ERROR_BUFFER_SIZE ((ViStatus)0xBFFA4001L)             /* buffer size below 1 */
#define ZOR_ERROR_CALKIT_NOT_FOUND ((ViStatus)0xBFFC0001L)        /* calibration kit not in the catalog */
#define ZOR_ERROR_IDENTITY_CHECK ((ViStatus)0xBFFC0011L)          /* identity check failed */
#define ZOR_ERROR_INVALID_SESSION ((ViStatus)0xBFFF000EL)         /* session handle not valid */
#define ZOR_ERROR_VALUE_COUNT ((ViStatus)0xBFFF0010L)             /* reply with the wrong number of values */
#define ZOR_ERROR_KEYWORD ((ViStatus)0xBFFF001DL)                 /* value or reply keyword not in the table */
#define ZOR_ERROR_NO_RESOURCE_MANAGER ((ViStatus)0xBFFF003EL)     /* no VISA resource-manager session */
#define ZOR_ERROR_TEXT_CUT ((ViStatus)0xBFFF0071L)                /* text cut to fit the buffer */
#define ZOR_ERROR_REPLY_NOT_IN_MAP ((ViStatus)0xBFFF0078L)        /* reply not in the attribute's keywords */
#define ZOR_ERROR_VISA_NOT_AVAILABLE ((ViStatus)0xBFFF009EL)      /* VISA library or function not available */

/* Sessions */
ZOR_API ViStatus ZOR_CALL ZOR_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViSession* vi);
ZOR_API ViStatus ZOR_CALL ZOR_InitWithOptions(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice,
                                              ViConstString optionString, ViSession* newVi);
ZOR_API ViStatus ZOR_CALL ZOR_close(ViSession vi);

/* Attribute IDs (ZOR_ATTR_*) */
enum zor_attribute_id {
#define ZOR_ATTRIBUTE(constant, id, model) ZOR_ATTR_##constant = id,
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    ZOR_ATTR_LIST_END = 0
};

/* Values of the enumerated settings (ZOR_VAL_*) */
enum zor_keyword_value {
#define ZOR_KEYWORD(table, constant, value, keyword) ZOR_VAL_##constant = value,
#define ZOR_STATE(table, constant, value, state) ZOR_VAL_##constant = value,
#include "zor_keywords.def"
#undef ZOR_KEYWORD
#undef ZOR_STATE
    ZOR_VAL_LIST_END = 0
};

/* Generic attribute accessors: a selector names channels, traces, windows,
 * markers or ports ("Channel2", "Channel1:Trace1-Trace3", ...); null or ""
 * means the instrument's active ones. */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                  ViInt32* attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViReal64* attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViBoolean* attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViSession* attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViInt32 bufferSize, ViChar attributeValue[]);
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                  ViInt32 attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViReal64 attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViBoolean attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                    ViSession attributeValue);
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId,
                                                   ViConstString attributeValue);

/* Typed accessors: the parameters each row of zor_accessors.def gets. */
#define ZOR_SELECTOR_PARAM_sel , ViConstString repCapIdentifier
#define ZOR_SELECTOR_PARAM_none
#define ZOR_VALUE_PARAMS_Get_ViInt32 ViInt32* value
#define ZOR_VALUE_PARAMS_Get_ViReal64 ViReal64* value
#define ZOR_VALUE_PARAMS_Get_ViBoolean ViBoolean* value
#define ZOR_VALUE_PARAMS_Get_ViSession ViSession* value
#define ZOR_VALUE_PARAMS_Get_ViString ViInt32 bufferSize, ViChar value[]
#define ZOR_VALUE_PARAMS_Set_ViInt32 ViInt32 value
#define ZOR_VALUE_PARAMS_Set_ViReal64 ViReal64 value
#define ZOR_VALUE_PARAMS_Set_ViBoolean ViBoolean value
#define ZOR_VALUE_PARAMS_Set_ViSession ViSession value
#define ZOR_VALUE_PARAMS_Set_ViString ViConstString value
#define ZOR_ACCESSOR_PARAMS(direction, type, selector) \
    (ViSession vi ZOR_SELECTOR_PARAM_##selector, ZOR_VALUE_PARAMS_##direction##_##type)

#define ZOR_ACCESSOR(name, direction, type, attribute, selector) \
    ZOR_API ViStatus ZOR_CALL name ZOR_ACCESSOR_PARAMS(direction, type, selector);
#include "zor_accessors.def"
#undef ZOR_ACCESSOR

/* Utility and action exports, one list per area. */
#define ZOR_FUNCTION(name, parameters) ZOR_API ViStatus ZOR_CALL name parameters;
#include "zor_functions_utility.def"
#include "zor_functions_stimulus.def"
#include "zor_functions_display.def"
#include "zor_functions_measurement.def"
#include "zor_functions_marker.def"
#include "zor_functions_limit.def"
#include "zor_functions_time_domain.def"
#include "zor_functions_correction.def"
#include "zor_functions_memory.def"
#include "zor_functions_system.def"
#undef ZOR_FUNCTION

#ifdef __cplusplus
}
#endif

#endif /* ZOR_H */
