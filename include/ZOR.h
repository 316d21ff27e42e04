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

#ifdef __cplusplus
}
#endif

#endif /* ZOR_H */
