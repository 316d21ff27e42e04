/* The VISA interface as this project uses it: status values, attributes and
 * the thirteen functions the driver binds at run time, and the instrument
 * operations the bundled VISA adds. A vendor VISA provides them all. */
#ifndef ZOR_INTERFACES_VISA_H
#define ZOR_INTERFACES_VISA_H

#include "zor_visatype.h"

/* Completion and warning codes */
#define VI_SUCCESS_EVENT_EN ((ViStatus)0x3FFF0002L)
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004L)
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006L)
#define VI_WARN_QUEUE_OVERFLOW ((ViStatus)0x3FFF000CL)
#define VI_SUCCESS_QUEUE_NEMPTY ((ViStatus)0x3FFF0080L)
#define VI_WARN_CONFIG_NLOADED ((ViStatus)0x3FFF0077L)
#define VI_WARN_NULL_OBJECT ((ViStatus)0x3FFF0082L)
#define VI_WARN_NSUP_ATTR_STATE ((ViStatus)0x3FFF0084L)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085L)
#define VI_WARN_NSUP_BUF ((ViStatus)0x3FFF0088L)
#define VI_SUCCESS_NESTED_SHARED ((ViStatus)0x3FFF0099L)
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009AL)

/* Error codes */
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000L)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000EL)
#define VI_ERROR_INV_SESSION ((ViStatus)0xBFFF000EL)
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000FL)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010L)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011L)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012L)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013L)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015L)
#define VI_ERROR_CLOSING_FAILED ((ViStatus)0xBFFF0016L)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001DL)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001EL)
#define VI_ERROR_ATTR_READONLY ((ViStatus)0xBFFF001FL)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020L)
#define VI_ERROR_INV_ACCESS_KEY ((ViStatus)0xBFFF0021L)
#define VI_ERROR_INV_EVENT ((ViStatus)0xBFFF0026L)
#define VI_ERROR_INV_MECH ((ViStatus)0xBFFF0027L)
#define VI_ERROR_HNDLR_NINSTALLED ((ViStatus)0xBFFF0028L)
#define VI_ERROR_INV_CONTEXT ((ViStatus)0xBFFF002AL)
#define VI_ERROR_NENABLED ((ViStatus)0xBFFF002FL)
#define VI_ERROR_ABORT ((ViStatus)0xBFFF0030L)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003CL)
#define VI_ERROR_IO ((ViStatus)0xBFFF003EL)
#define VI_ERROR_INV_FMT ((ViStatus)0xBFFF003FL)
#define VI_ERROR_NSUP_FMT ((ViStatus)0xBFFF0041L)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067L)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071L)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078L)
#define VI_ERROR_INV_SIZE ((ViStatus)0xBFFF007BL)
#define VI_ERROR_INV_LENGTH ((ViStatus)0xBFFF0083L)
#define VI_ERROR_SESN_NLOCKED ((ViStatus)0xBFFF009CL)
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)0xBFFF009EL)
#define VI_ERROR_CONN_LOST ((ViStatus)0xBFFF00A6L)

/* Every status above by name, for messages and the I/O trace. Where two
 * names share a value the first is shown. X(name) */
#define ZOR_VISA_STATUSES(X)                                                                                  \
    X(VI_SUCCESS) X(VI_SUCCESS_EVENT_EN) X(VI_SUCCESS_EVENT_DIS) X(VI_SUCCESS_QUEUE_EMPTY)                    \
    X(VI_SUCCESS_TERM_CHAR) X(VI_SUCCESS_MAX_CNT) X(VI_WARN_QUEUE_OVERFLOW) X(VI_SUCCESS_QUEUE_NEMPTY)        \
    X(VI_WARN_CONFIG_NLOADED) X(VI_WARN_NULL_OBJECT) X(VI_WARN_NSUP_ATTR_STATE) X(VI_WARN_UNKNOWN_STATUS)     \
    X(VI_WARN_NSUP_BUF) X(VI_SUCCESS_NESTED_SHARED) X(VI_SUCCESS_NESTED_EXCLUSIVE) X(VI_ERROR_SYSTEM_ERROR)   \
    X(VI_ERROR_INV_OBJECT) X(VI_ERROR_RSRC_LOCKED) X(VI_ERROR_INV_EXPR) X(VI_ERROR_RSRC_NFOUND)              \
    X(VI_ERROR_INV_RSRC_NAME) X(VI_ERROR_INV_ACC_MODE) X(VI_ERROR_TMO) X(VI_ERROR_CLOSING_FAILED)            \
    X(VI_ERROR_NSUP_ATTR) X(VI_ERROR_NSUP_ATTR_STATE) X(VI_ERROR_ATTR_READONLY) X(VI_ERROR_INV_LOCK_TYPE)    \
    X(VI_ERROR_INV_ACCESS_KEY) X(VI_ERROR_INV_EVENT) X(VI_ERROR_INV_MECH) X(VI_ERROR_HNDLR_NINSTALLED)       \
    X(VI_ERROR_INV_CONTEXT) X(VI_ERROR_NENABLED) X(VI_ERROR_ABORT) X(VI_ERROR_ALLOC) X(VI_ERROR_IO)          \
    X(VI_ERROR_INV_FMT) X(VI_ERROR_NSUP_FMT) X(VI_ERROR_NSUP_OPER) X(VI_ERROR_USER_BUF)                     \
    X(VI_ERROR_INV_PARAMETER) X(VI_ERROR_INV_SIZE) X(VI_ERROR_INV_LENGTH) X(VI_ERROR_SESN_NLOCKED)          \
    X(VI_ERROR_LIBRARY_NFOUND) X(VI_ERROR_CONN_LOST)

/* Attributes */
#define VI_ATTR_RSRC_NAME ((ViAttr)0xBFFF0002UL)
#define VI_ATTR_SEND_END_EN ((ViAttr)0x3FFF0016UL)
#define VI_ATTR_TERMCHAR ((ViAttr)0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE ((ViAttr)0x3FFF001AUL)
#define VI_ATTR_TERMCHAR_EN ((ViAttr)0x3FFF0038UL)
#define VI_ATTR_RM_SESSION ((ViAttr)0x3FFF00C4UL)
#define VI_ATTR_INTF_TYPE ((ViAttr)0x3FFF0171UL)
#define VI_ATTR_TCPIP_NODELAY ((ViAttr)0x3FFF019AUL)
#define VI_ATTR_MAX_QUEUE_LENGTH ((ViAttr)0x3FFF0005UL)
#define VI_ATTR_EVENT_TYPE ((ViAttr)0xBFFF4010UL)

/* Events: a service request, waited for on the session's queue. */
typedef ViUInt32 ViEventType;
typedef ViObject ViEvent;
typedef ViUInt32 ViEventFilter;
#define VI_EVENT_SERVICE_REQ ((ViEventType)0x3FFF200BUL)
#define VI_ALL_ENABLED_EVENTS ((ViEventType)0x3FFF7FFFUL)
#define VI_QUEUE 1
#define VI_HNDLR 2
#define VI_SUSPEND_HNDLR 4
#define VI_ALL_MECH 0xFFFF

/* What a "%Le" formatted read stores through its pointer: VISA's long
 * double. On Windows the VISA ABI is that of a compiler whose long double is
 * a plain double; elsewhere it is the compiler's wider long double. */
#if defined(_WIN32)
typedef double ViLongDouble;
#else
typedef long double ViLongDouble;
#endif

#define VI_TMO_IMMEDIATE 0UL
#define VI_TMO_INFINITE 0xFFFFFFFFUL
#define VI_NO_LOCK ((ViAccessMode)0)
#define VI_EXCLUSIVE_LOCK ((ViAccessMode)1)
#define VI_SHARED_LOCK ((ViAccessMode)2)
#define VI_TRIG_PROT_DEFAULT 0

#if defined(_WIN32)
#define ZOR_VISA_CALL __stdcall
#else
#define ZOR_VISA_CALL
#endif

/* One list, used for the function-pointer types of the binding and for the
 * stand-in's own declarations. X(name, return, parameters) */
#define ZOR_VISA_FUNCTIONS(X)                                                                                     \
    X(viOpenDefaultRM, ViStatus, (ViSession * vi))                                                                \
    X(viFindRsrc, ViStatus, (ViSession sesn, ViConstString expr, ViFindList* vi, ViUInt32* retCnt, ViChar desc[])) \
    X(viFindNext, ViStatus, (ViFindList vi, ViChar desc[]))                                                        \
    X(viSetAttribute, ViStatus, (ViObject vi, ViAttr attrName, ViAttrState attrValue))                            \
    X(viGetAttribute, ViStatus, (ViObject vi, ViAttr attrName, void* attrValue))                                  \
    X(viSetBuf, ViStatus, (ViSession vi, ViUInt16 mask, ViUInt32 size))                                           \
    X(viOpen, ViStatus, (ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViSession * vi))  \
    X(viWrite, ViStatus, (ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViUInt32 * retCnt))                         \
    X(viRead, ViStatus, (ViSession vi, ViBuf buf, ViUInt32 cnt, ViUInt32 * retCnt))                               \
    X(viClose, ViStatus, (ViObject vi))

/* Operations of instrument protocols (device clear, status byte, trigger,
 * locks, service-request events). The bundled VISA provides them; the driver does not bind them, so
 * a VISA without them still serves it. */
#define ZOR_VISA_INSTRUMENT_FUNCTIONS(X)                                                                     \
    X(viClear, ViStatus, (ViSession vi))                                                                     \
    X(viReadSTB, ViStatus, (ViSession vi, ViUInt16 * status))                                                \
    X(viAssertTrigger, ViStatus, (ViSession vi, ViUInt16 protocol))                                          \
    X(viLock, ViStatus,                                                                                      \
      (ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstString requestedKey, ViChar accessKey[])) \
    X(viUnlock, ViStatus, (ViSession vi))                                                                    \
    X(viEnableEvent, ViStatus, (ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context)) \
    X(viDisableEvent, ViStatus, (ViSession vi, ViEventType eventType, ViUInt16 mechanism))                   \
    X(viDiscardEvents, ViStatus, (ViSession vi, ViEventType eventType, ViUInt16 mechanism))                  \
    X(viWaitOnEvent, ViStatus,                                                                               \
      (ViSession vi, ViEventType inEventType, ViUInt32 timeout, ViEventType * outEventType, ViEvent * outContext))

/* Bound when present: a VISA without them still serves the driver. The
 * bundled VISA describes why the calling thread's last viOpen on `vi` (the
 * resource manager) failed, as specifically as it knows. */
#define ZOR_VISA_OPTIONAL_FUNCTIONS(X) X(viStatusDesc, ViStatus, (ViObject vi, ViStatus status, ViChar desc[]))

/* The three formatted-I/O functions are variadic and declared by hand. */
#define ZOR_VISA_VARIADIC_FUNCTIONS(X)                                                    \
    X(viPrintf, ViStatus, (ViSession vi, ViConstString writeFmt, ...))                    \
    X(viScanf, ViStatus, (ViSession vi, ViConstString readFmt, ...))                      \
    X(viQueryf, ViStatus, (ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...))

#define ZOR_VISA_POINTER_TYPE(name, ret, params) typedef ret(ZOR_VISA_CALL* name##_fn) params;
ZOR_VISA_FUNCTIONS(ZOR_VISA_POINTER_TYPE)
ZOR_VISA_INSTRUMENT_FUNCTIONS(ZOR_VISA_POINTER_TYPE)
ZOR_VISA_OPTIONAL_FUNCTIONS(ZOR_VISA_POINTER_TYPE)
#undef ZOR_VISA_POINTER_TYPE

/* Variadic functions use the C calling convention on every platform. */
typedef ViStatus (*viPrintf_fn)(ViSession vi, ViConstString writeFmt, ...);
typedef ViStatus (*viScanf_fn)(ViSession vi, ViConstString readFmt, ...);
typedef ViStatus (*viQueryf_fn)(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...);

#endif /* ZOR_INTERFACES_VISA_H */
