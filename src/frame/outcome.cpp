#include "frame/outcome.h"

#include "frame/engine_binding.h"
#include "frame/session.h"
#include "support/qvutil.h"
#include "visa.h"

namespace qvdriver {

namespace {

// Enough for any queue a refused call leaves; a queue that never empties
// (an instrument that answers every query with an error) ends here.
constexpr int most_queue_entries = 16;

const char* advice(status_t status) {
    switch (status) {
        case VI_ERROR_TMO:
            return "The analyzer did not answer within the I/O time-out: it may have refused the query "
                   "(ZOR_error_query reads its error queue) or still be busy; a longer time-out is "
                   "ZOR_ATTR_SYSTEM_IO_TIMEOUT";
        case VI_ERROR_CONN_LOST:
            return "Connection lost: the analyzer or vna-sim closed the connection, or the network failed; "
                   "close the session and open it again";
        case VI_ERROR_INV_OBJECT:
            return "The session has no open connection to the analyzer: close it and open it again";
        case zor_error_no_resource_manager:
            return "I/O error on the connection to the analyzer: close the session and open it again";
        case zor_error_not_supported:
            return "The call does not take this value or value type: ZOR.h lists each attribute's type and "
                   "each argument's ZOR_VAL_* values";
        case zor_error_keyword:
            return "The value is none of the argument's ZOR_VAL_* values (ZOR.h lists them), or the analyzer "
                   "answered with a keyword the driver does not know";
        case zor_error_value_count:
            return "The analyzer's reply did not hold the values the call reads; ZOR_error_query reads why";
        case zor_error_reply_not_in_map:
            return "The analyzer answered with a keyword the driver does not know for this attribute; "
                   "ZOR_GetAttributeViString reads it as text";
        case zor_error_buffer_size:
            return "The buffer size is below 1: pass the size of your buffer in bytes";
        case zor_error_text_cut:
            return "The text did not fit your buffer and was cut: pass a larger buffer";
        case zor_error_calkit_not_found:
            return "No calibration kit of that name in the channel's catalog (names compare exactly, case "
                   "included); ZOR_ChannelCorrectionCalKitGetCatalog lists them";
        case zor_error_attribute_not_registered:
            return "The attribute ID is none of the driver's: use a ZOR_ATTR_* constant of ZOR.h";
        case zor_error_identity_incomplete:
            return "The analyzer's identity reply lacks a field (manufacturer, model, serial number, firmware)";
        default:
            return "";
    }
}

}  // namespace

status_t record_failure(std::uint32_t vi, status_t status, const std::string& elaboration) {
    engine::set_error_info(vi, false, status, 0, elaboration.c_str());
    return status;
}

status_t leave_error_record(std::uint32_t vi, status_t status) {
    if (status >= 0) return status;
    return record_failure(vi, status, advice(status));
}

status_t refuse_control_characters(std::uint32_t vi, std::int32_t position, const char* what, const char* text) {
    const std::size_t at = util::control_character_at(text);
    if (at == std::string::npos) return 0;
    return record_failure(vi, engine::param_position_error(position),
                          util::string_format("%s holds the control character 0x%02X at %u: texts are one line of "
                                              "printable characters",
                                              what, static_cast<unsigned>(static_cast<unsigned char>(text[at])),
                                              static_cast<unsigned>(at + 1)));
}

status_t check_instrument(session_scope_t& scope, status_t status, const std::string& what) {
    status_t checked = 0;
    if (scope.api.check_status(checked) != zor_error_instrument_status) return checked < 0 ? checked : status;
    std::string entries;
    for (int i = 0; i < most_queue_entries; ++i) {
        status_t read = 0;
        std::int32_t code = 0;
        std::string message;
        if (scope.api.system_error(read, code, message) != 0 || code == 0) break;
        entries += (entries.empty() ? "" : "; ") + std::to_string(code) + ",\"" + message + "\"";
    }
    if (entries.empty()) entries = "an error bit in its event status register and an empty error queue";
    return record_failure(scope.vi, zor_error_instrument_status,
                          (what.empty() ? std::string() : what + ": ") + "the analyzer reported " + entries);
}

}  // namespace qvdriver
