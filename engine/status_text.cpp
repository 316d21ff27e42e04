#include "status_text.h"

#include "engine_status.h"
#include "ivi_engine.h"
#include "visa.h"

namespace zor_engine {
namespace {

struct status_text_t {
    ViStatus status;
    const char* text;
};

// Searched in order, so the driver's meaning of a shared value comes first.
constexpr status_text_t known_statuses[] = {
    // The driver's own.
#define ZOR_STATUS(NAME, name, value, text) {static_cast<ViStatus>(value##u), text},
#include "zor_status.def"
#undef ZOR_STATUS

    // The engine's own.
    {IVI_ERROR_INVALID_OPTION_STRING, "Invalid option string"},
    {IVI_ERROR_INVALID_LOGICAL_NAME, "Invalid logical name"},
    {IVI_ERROR_INVALID_PARAMETER, "Invalid parameter"},
    {IVI_ERROR_NOT_LOCKED_BY_CALLER, "Session not locked by the caller"},
    {static_cast<ViStatus>(0xBFFC0002), "Parameter 2 invalid"},
    {static_cast<ViStatus>(0xBFFC0003), "Parameter 3 invalid"},
    {static_cast<ViStatus>(0xBFFC0004), "Parameter 4 invalid"},
    {static_cast<ViStatus>(0xBFFC0005), "Parameter 5 invalid"},
    {static_cast<ViStatus>(0xBFFC0006), "Parameter 6 invalid"},
    {static_cast<ViStatus>(0xBFFC0007), "Parameter 7 invalid"},
    {static_cast<ViStatus>(0xBFFC0008), "Parameter 8 invalid"},

    // VISA.
    {VI_SUCCESS, "Success"},
    {VI_SUCCESS_EVENT_EN, "Event enabled already"},
    {VI_SUCCESS_EVENT_DIS, "Event disabled already"},
    {VI_SUCCESS_QUEUE_EMPTY, "Event queue empty"},
    {VI_SUCCESS_TERM_CHAR, "Read stopped at the termination character"},
    {VI_SUCCESS_MAX_CNT, "Read stopped after the requested number of bytes"},
    {VI_WARN_CONFIG_NLOADED, "VISA configuration not loaded"},
    {VI_WARN_NULL_OBJECT, "Null object reference"},
    {VI_WARN_NSUP_ATTR_STATE, "Attribute state not supported, ignored"},
    {VI_WARN_UNKNOWN_STATUS, "Unknown status code"},
    {VI_WARN_NSUP_BUF, "Buffer type not supported"},
    {VI_ERROR_SYSTEM_ERROR, "Unknown system error"},
    {VI_ERROR_RSRC_LOCKED, "Resource locked by another session"},
    {VI_ERROR_RSRC_NFOUND, "Resource not found"},
    {VI_ERROR_INV_ACC_MODE, "Invalid access mode"},
    {VI_ERROR_TMO, "Timeout expired before the operation completed"},
    {VI_ERROR_CLOSING_FAILED, "Closing the session failed"},
    {VI_ERROR_NSUP_ATTR_STATE, "Attribute state not supported"},
    {VI_ERROR_ATTR_READONLY, "Attribute is read-only"},
    {VI_ERROR_ALLOC, "Not enough memory"},
    {VI_ERROR_INV_FMT, "Invalid format specifier"},
    {VI_ERROR_NSUP_FMT, "Format specifier not supported"},
    {VI_ERROR_NSUP_OPER, "Operation not supported by this session"},
    {VI_ERROR_INV_SIZE, "Invalid buffer size"},
    {VI_ERROR_INV_LENGTH, "Invalid length"},
    {VI_ERROR_CONN_LOST, "Connection lost"},
    // VISA values the driver reuses (INV_SESSION, INV_EXPR, NSUP_ATTR, IO,
    // USER_BUF, INV_PARAMETER, LIBRARY_NFOUND) carry the driver's text above.
    {VI_ERROR_INV_RSRC_NAME, "Invalid resource name"},
};

}  // namespace

const char* describe_status(ViStatus status) {
    for (const status_text_t& entry : known_statuses)
        if (entry.status == status) return entry.text;
    return nullptr;
}

}  // namespace zor_engine
