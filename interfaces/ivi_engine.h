/* The IVI session engine as this project uses it: the engine functions the
 * driver binds at run time, the inherent attributes it reads and writes, and
 * the engine's own status values. The bundled engine stand-in implements
 * exactly these. */
#ifndef ZOR_INTERFACES_IVI_ENGINE_H
#define ZOR_INTERFACES_IVI_ENGINE_H

#include "zor_visatype.h"

/* Inherent attributes */
#define IVI_ATTR_RANGE_CHECK ((ViAttr)1050002UL)
#define IVI_ATTR_QUERY_INSTRUMENT_STATUS ((ViAttr)1050003UL)
#define IVI_ATTR_CACHE ((ViAttr)1050004UL)
#define IVI_ATTR_SIMULATE ((ViAttr)1050005UL)
#define IVI_ATTR_RECORD_COERCIONS ((ViAttr)1050006UL)
#define IVI_ATTR_DRIVER_SETUP ((ViAttr)1050007UL)
#define IVI_ATTR_INTERCHANGE_CHECK ((ViAttr)1050021UL)
#define IVI_ATTR_PRIMARY_ERROR ((ViAttr)1050101UL)
#define IVI_ATTR_SECONDARY_ERROR ((ViAttr)1050102UL)
#define IVI_ATTR_ERROR_ELABORATION ((ViAttr)1050103UL)
#define IVI_ATTR_IO_RESOURCE_DESCRIPTOR ((ViAttr)1050304UL)
#define IVI_ATTR_VISA_RM_SESSION ((ViAttr)1050321UL)
#define IVI_ATTR_IO_SESSION ((ViAttr)1050322UL)

/* Engine status values */
#define IVI_ERROR_BASE ((ViStatus)0xBFFA0000L)
#define IVI_ERROR_INVALID_OPTION_STRING ((ViStatus)0xBFFA0045L)
#define IVI_ERROR_INVALID_PARAMETER ((ViStatus)0xBFFA0078L)
#define IVI_ERROR_NOT_LOCKED_BY_CALLER ((ViStatus)0xBFFA0079L)
#define IVI_ERROR_INVALID_ATTRIBUTE ((ViStatus)0xBFFA0012L)
#define IVI_ERROR_INVALID_LOGICAL_NAME ((ViStatus)0xBFFA0046L)
#define IVI_MAX_MESSAGE_BUF_SIZE 256

/* One entry of a status-description table; a table ends with a null text. */
typedef struct {
    ViInt32 value;
    ViString string;
} IviStringValueTableEntry;
typedef IviStringValueTableEntry* IviStringValueTable;

#if defined(_WIN32)
#define ZOR_IVI_CALL __stdcall
#else
#define ZOR_IVI_CALL
#endif

/* X(name, return, parameters, required) */
#define ZOR_IVI_ENGINE_FUNCTIONS(X)                                                                                        \
    X(Ivi_GetInfoFromResourceName, ViStatus,                                                                               \
      (ViRsrc resourceName, ViString optionString, ViChar newResourceName[], ViChar newOptionString[],                     \
       ViBoolean * isLogicalName),                                                                                         \
      0)                                                                                                                   \
    X(Ivi_SpecificDriverNew, ViStatus, (ViConstString specificPrefix, ViConstString optionString, ViSession * newVi), 1)  \
    X(Ivi_ValidateSession, ViStatus, (ViSession vi), 1)                                                                   \
    X(Ivi_Dispose, ViStatus, (ViSession vi), 1)                                                                           \
    X(Ivi_LockSession, ViStatus, (ViSession vi, ViBoolean * callerHasLock), 1)                                            \
    X(Ivi_UnlockSession, ViStatus, (ViSession vi, ViBoolean * callerHasLock), 1)                                          \
    X(Ivi_GetAttributeFlags, ViStatus, (ViSession vi, ViAttr attributeId, ViInt32 * flags), 1)                            \
    X(Ivi_SetAttributeFlags, ViStatus, (ViSession vi, ViAttr attributeId, ViInt32 flags), 1)                              \
    X(Ivi_SetAttributeViString, ViStatus,                                                                                  \
      (ViSession vi, ViConstString repCapName, ViAttr attributeId, ViInt32 optionFlags, ViConstString value), 1)          \
    X(Ivi_SetAttributeViSession, ViStatus,                                                                                 \
      (ViSession vi, ViConstString repCapName, ViAttr attributeId, ViInt32 optionFlags, ViSession value), 1)              \
    X(Ivi_GetAttributeViSession, ViStatus,                                                                                 \
      (ViSession vi, ViConstString repCapName, ViAttr attributeId, ViInt32 optionFlags, ViSession * value), 1)            \
    X(Ivi_GetAttributeViInt32, ViStatus,                                                                                   \
      (ViSession vi, ViConstString repCapName, ViAttr attributeId, ViInt32 optionFlags, ViInt32 * value), 1)              \
    X(Ivi_GetAttributeViString, ViStatus,                                                                                  \
      (ViSession vi, ViConstString repCapName, ViAttr attributeId, ViInt32 optionFlags, ViInt32 bufSize,                  \
       ViChar value[]),                                                                                                    \
      1)                                                                                                                   \
    X(Ivi_Simulating, ViBoolean, (ViSession vi), 1)                                                                       \
    X(Ivi_QueryInstrStatus, ViBoolean, (ViSession vi), 1)                                                                 \
    X(Ivi_NeedToCheckStatus, ViBoolean, (ViSession vi), 1)                                                                \
    X(Ivi_SetNeedToCheckStatus, ViStatus, (ViSession vi, ViBoolean needToCheckStatus), 1)                                 \
    X(Ivi_ApplyDefaultSetup, ViStatus, (ViSession vi), 1)                                                                 \
    X(Ivi_InvalidateAllAttributes, ViStatus, (ViSession vi), 1)                                                           \
    X(Ivi_GetNextCoercionString, ViStatus, (ViSession vi, ViInt32 bufferSize, ViChar coercionRecord[]), 0)                \
    X(Ivi_SetErrorInfo, ViStatus,                                                                                          \
      (ViSession vi, ViBoolean overWrite, ViStatus primaryError, ViStatus secondaryError,                                  \
       ViConstString errorElaboration),                                                                                    \
      1)                                                                                                                   \
    X(Ivi_GetErrorInfo, ViStatus,                                                                                          \
      (ViSession vi, ViStatus * primaryError, ViStatus * secondaryError, ViChar errorElaboration[]), 1)                   \
    X(Ivi_ClearErrorInfo, ViStatus, (ViSession vi), 1)                                                                    \
    X(Ivi_ParamPositionError, ViStatus, (ViInt32 parameterPosition), 1)                                                   \
    X(Ivi_GetSpecificDriverStatusDesc, ViStatus,                                                                           \
      (ViSession vi, ViStatus statusCode, ViChar messageBuf[], IviStringValueTable additionalTableToSearch), 1)

#define ZOR_IVI_POINTER_TYPE(name, ret, params, required) typedef ret(ZOR_IVI_CALL* name##_fn) params;
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_IVI_POINTER_TYPE)
#undef ZOR_IVI_POINTER_TYPE

#endif /* ZOR_INTERFACES_IVI_ENGINE_H */
