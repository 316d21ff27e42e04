/** @file ZOR.h
 * ZOR_x64: driver for the ZOR family of two-port vector network analyzers.
 *
 * Every function takes the session handle first (except the session openers)
 * and returns a status: negative is an error, 0 success, positive a warning.
 * Texts are NUL-terminated; buffers and arrays are the caller's, and the
 * driver writes no further than the size passed with them. */
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

/* Status codes of the driver's own (engine and VISA statuses pass through):
 * one ZOR_ERROR_<NAME> per row of zor_status.def. */
#define ZOR_STATUS(NAME, name, value, text) enum { ZOR_ERROR_##NAME = (ViStatus)value##L };
#include "zor_status.def"
#undef ZOR_STATUS

/* Magic values of action arguments that no keyword table covers. */
#define ZOR_MESSAGE_BUFFER_SIZE 256 /* bytes of the fixed-size text buffers (error_message, revision_query, error_query, self_test) */
#define ZOR_DATA_TYPE_FORMATTED 0   /* trace data as displayed (format applied), two values a point */
#define ZOR_DATA_TYPE_CORRECTED 1   /* corrected complex data: real and imaginary a point */
#define ZOR_LIMIT_SEGMENT_OFF 0     /* limit segment not tested */
#define ZOR_LIMIT_SEGMENT_UPPER 1   /* limit segment is an upper limit */
#define ZOR_LIMIT_SEGMENT_LOWER 2   /* limit segment is a lower limit */
#define ZOR_RIPPLE_SEGMENT_OFF 0    /* ripple band not tested */
#define ZOR_RIPPLE_SEGMENT_ON 1     /* ripple band tested */
#define ZOR_TEST_RESULT_UNTESTED (-1) /* test report: no limit applies to the point */
#define ZOR_TEST_RESULT_PASS 0      /* test report: the point passes */
#define ZOR_TEST_RESULT_FAIL 1      /* test report: the point fails */
#define ZOR_BANDWIDTH_RESULT_WIDTH 0  /* bandwidth/notch result order: width, Hz */
#define ZOR_BANDWIDTH_RESULT_CENTER 1 /* bandwidth/notch result order: centre, Hz */
#define ZOR_BANDWIDTH_RESULT_Q 2      /* bandwidth/notch result order: quality factor */
#define ZOR_BANDWIDTH_RESULT_LOSS 3   /* bandwidth/notch result order: loss, dB */
/* Search types are the ZOR_VAL_MARKER_SEARCH_* and ZOR_VAL_MULTI_SEARCH_*
 * values, file types the ZOR_VAL_FILE_TYPE_* values below. */

/* ---- Sessions: open, identify and close. */
/**
 * Opens a session on an analyzer: same as ZOR_InitWithOptions() with an empty option string.
 * @param resourceName VISA resource name ("TCPIP::host::5025::SOCKET", "SIM::name::INSTR") or a logical name
 * @param idQuery VI_TRUE checks that the instrument answers "*IDN?" as a ZOR analyzer
 * @param reset VI_TRUE resets the instrument ("*RST") after opening
 * @param vi receives the session handle; VI_NULL when the open fails
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_IDENTITY_CHECK when the identity is not a ZOR analyzer; ZOR_ERROR_VISA_NOT_AVAILABLE or ZOR_ERROR_ENGINE_NOT_LOADABLE when a library cannot be loaded; a VISA status (e.g. VI_ERROR_RSRC_NFOUND, VI_ERROR_TMO) when the resource cannot be reached. ZOR_GetError(VI_NULL, ...) then tells why.
 */
ZOR_API ViStatus ZOR_CALL ZOR_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViSession* vi);
/**
 * Opens a session on an analyzer with options.
 * The option string holds Name=Value items separated by commas: Simulate, QueryInstrStatus, RangeCheck, Cache, RecordCoercions, InterchangeCheck (1/0, true/false) and DriverSetup=... (last). DriverSetup holds Name:Value items separated by commas or semicolons; the driver's own is DataFormat:ASCII (the default) or DataFormat:REAL64, with which the open switches the analyzer to ":FORMat:DATA REAL,64" and ":FORMat:BORDer SWAPped" and ZOR_MeasurementQueryData reads trace data as little-endian 64-bit definite-length blocks (any other item or value fails the open with IVI_ERROR_INVALID_OPTION_STRING). With Simulate=1 nothing is sent to resourceName: the session talks to an in-process simulated analyzer of its own (this needs the bundled VISA library).
 * @param resourceName VISA resource name ("TCPIP::host::5025::SOCKET", "SIM::name::INSTR") or a logical name
 * @param idQuery VI_TRUE checks that the instrument answers "*IDN?" as a ZOR analyzer
 * @param resetDevice VI_TRUE resets the instrument ("*RST") after opening
 * @param optionString options as above; null or "" for the defaults; at most 255 characters
 * @param newVi receives the session handle; VI_NULL when the open fails
 * @return VI_SUCCESS (0) on success; IVI_ERROR_INVALID_OPTION_STRING for an option item not understood (the error record names it); ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_IDENTITY_CHECK; ZOR_ERROR_INSTRUMENT_STATUS when QueryInstrStatus=1 and the instrument reports an error; ZOR_ERROR_VISA_NOT_AVAILABLE or ZOR_ERROR_ENGINE_NOT_LOADABLE when a library cannot be loaded; a VISA status when the resource cannot be reached. ZOR_GetError(VI_NULL, ...) then tells why.
 */
ZOR_API ViStatus ZOR_CALL ZOR_InitWithOptions(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice, ViConstString optionString, ViSession* newVi);
/**
 * Closes a session and its I/O session; the handle is invalid afterwards.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle.
 */
ZOR_API ViStatus ZOR_CALL ZOR_close(ViSession vi);

/** Attribute IDs (ZOR_ATTR_*), for the generic accessors. */
enum zor_attribute_id {
#define ZOR_ATTRIBUTE(constant, id, model) ZOR_ATTR_##constant = id,
#include "zor_attributes.def"
#undef ZOR_ATTRIBUTE
    ZOR_ATTR_LIST_END = 0 /**< end of the list, no attribute */
};

/** Values of the enumerated settings and arguments (ZOR_VAL_*). */
enum zor_keyword_value {
#define ZOR_KEYWORD(table, constant, value, keyword) ZOR_VAL_##constant = value,
#define ZOR_STATE(table, constant, value, state) ZOR_VAL_##constant = value,
#include "zor_keywords.def"
#undef ZOR_KEYWORD
#undef ZOR_STATE
    ZOR_VAL_LIST_END = 0 /**< end of the list */
};

/* ---- Generic attribute accessors: any attribute by its ZOR_ATTR_* ID. A
 * selector names channels, traces, windows, markers or ports ("Channel2",
 * "Channel1:Trace1-Trace3", "Trace1:Marker2", "Port1"); null or "" means the
 * instrument's active ones. Units are the attribute's (Hz, s, dB, dBm...). */
/**
 * Reads a Int32 attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViInt32
 * @param attributeValue receives the value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViInt32* attributeValue);
/**
 * Reads a Real64 attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViReal64
 * @param attributeValue receives the value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViReal64* attributeValue);
/**
 * Reads a Boolean attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViBoolean
 * @param attributeValue receives the value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViBoolean* attributeValue);
/**
 * Reads a Session attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViSession
 * @param attributeValue receives the value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViSession* attributeValue);
/**
 * Reads a String attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViString
 * @param bufferSize size of attributeValue in bytes, terminating NUL included; 0 returns the size needed
 * @param attributeValue caller's buffer of bufferSize bytes; receives the NUL-terminated text
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; ZOR_ERROR_TEXT_CUT when the text did not fit; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_GetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViInt32 bufferSize, ViChar attributeValue[]);
/**
 * Sets a Int32 attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViInt32
 * @param attributeValue the new value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViInt32(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViInt32 attributeValue);
/**
 * Sets a Real64 attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViReal64
 * @param attributeValue the new value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViReal64(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViReal64 attributeValue);
/**
 * Sets a Boolean attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViBoolean
 * @param attributeValue the new value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViBoolean(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViBoolean attributeValue);
/**
 * Sets a Session attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViSession
 * @param attributeValue the new value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViSession(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViSession attributeValue);
/**
 * Sets a String attribute by its ID.
 * @param vi session handle from ZOR_init() or ZOR_InitWithOptions()
 * @param repCapIdentifier selector (see above); null or "" for the active ones
 * @param attributeId a ZOR_ATTR_* constant whose type is ViString
 * @param attributeValue the new value
 * @return VI_SUCCESS (0) on success; ZOR_ERROR_INVALID_SESSION for an unknown handle; ZOR_ERROR_NULL_POINTER for a null pointer argument; ZOR_ERROR_ATTRIBUTE_NOT_REGISTERED for an unknown ID; ZOR_ERROR_NOT_SUPPORTED when the attribute is of another type or refuses the value; ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names nothing; a VISA status (e.g. VI_ERROR_TMO) when the I/O fails.
 */
ZOR_API ViStatus ZOR_CALL ZOR_SetAttributeViString(ViSession vi, ViConstString repCapIdentifier, ViAttr attributeId, ViConstString attributeValue);

/* Typed accessors: the parameters each row of zor_accessors.def gets. */
#include "zor_accessor_params.h"

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
