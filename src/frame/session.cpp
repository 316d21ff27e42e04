#include "frame/session.h"

#include <algorithm>
#include <cstring>
#include <regex>

#include "ZOR.h"
#include "frame/driver_setup.h"
#include "frame/export_guard.h"
#include "frame/engine_binding.h"
#include "frame/outcome.h"
#include "io/visa_library.h"
#include "io/wire_guard.h"
#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver {

namespace {

constexpr const char* driver_prefix = "ZOR";
constexpr ViAttr attr_io_resource_descriptor = IVI_ATTR_IO_RESOURCE_DESCRIPTOR;
constexpr ViAttr attr_visa_rm_session = IVI_ATTR_VISA_RM_SESSION;
constexpr ViAttr attr_io_session = IVI_ATTR_IO_SESSION;
constexpr std::uint32_t open_timeout_ms = 2000;
constexpr std::uint32_t io_timeout_ms = 2000;
// The resource-name and option buffers the engine fills hold 255 characters.
constexpr std::size_t name_capacity = 256;

const std::regex& expected_manufacturer() {
    static const std::regex pattern("Quorvex Technologies", std::regex::ECMAScript | std::regex::icase);
    return pattern;
}

const std::regex& expected_model() {
    static const std::regex pattern("(ZOR|KRM)\\S+", std::regex::ECMAScript | std::regex::icase);
    return pattern;
}

void teardown(session_scope_t& scope) {
    engine::lock_session(scope.vi, nullptr);
    engine::unlock_session(scope.vi, nullptr);
    // Nothing to close when the open itself failed: closing I/O session 0
    // would only print VISA's "uninitialized" warning over the real failure.
    if (scope.api.resource.io != 0) {
        status_t ignored = 0;
        scope.api.close(ignored);
    }
    engine::dispose(scope.vi);
    forget_setup(scope.vi);
    // The caller gets no handle to close, so say here that the session went.
    log_message(log_info, util::string_format("ivi session %d disposed: the open failed\n", static_cast<int>(scope.vi)));
    scope.vi = 0;
    scope.lock_held = false;
}

// The driver's items of DriverSetup, as the engine holds the option (a
// logical name's configured text merged with the caller's).
status_t read_driver_setup(std::uint32_t vi) {
    char text[name_capacity] = {};
    if (engine::get_attribute_vi_string(vi, nullptr, IVI_ATTR_DRIVER_SETUP, 0, sizeof text, text) < 0) text[0] = '\0';
    text[name_capacity - 1] = '\0';
    driver_setup_t setup;
    std::string bad;
    if (!parse_driver_setup(text, setup, bad)) {
        engine::set_error_info(vi, true, IVI_ERROR_INVALID_OPTION_STRING, 0,
                               ("DriverSetup item \"" + bad +
                                "\" not understood: the driver's only item is DataFormat:ASCII or DataFormat:REAL64")
                                   .c_str());
        return IVI_ERROR_INVALID_OPTION_STRING;
    }
    setup.check_status_after_calls = engine::query_instr_status(vi) && !engine::simulating(vi);
    remember_setup(vi, setup);
    return 0;
}

// A failed open leaves its record in the thread's record, since the caller
// gets no session to ask: the session's own record when a step wrote one,
// else what the status means and what to do. Then the session goes.
status_t fail_open(session_scope_t& scope, status_t status) {
    ViStatus primary = 0, secondary = 0;
    char elaboration[name_capacity] = {};
    engine::get_error_info(scope.vi, &primary, &secondary, elaboration);
    elaboration[name_capacity - 1] = '\0';
    if (primary != 0) {
        engine::set_error_info(VI_NULL, true, primary, secondary, elaboration);
    } else {
        engine::clear_error_info(VI_NULL);
        leave_error_record(VI_NULL, status);
    }
    teardown(scope);
    return status;
}

// Why VISA could not open the resource: its own description when it has
// one (the bundled VISA says which part of a name is wrong, or which host
// and port refused), else what the status usually means.
std::string open_failure(ViSession rm, status_t status, const std::string& resource_name) {
    const auto& visa = visa::api();
    char description[name_capacity] = {};
    if (visa.viStatusDesc != nullptr && visa.viStatusDesc(rm, status, description) == VI_SUCCESS) {
        description[name_capacity - 1] = '\0';
        return description;
    }
    switch (status) {
        case VI_ERROR_INV_RSRC_NAME:
            return resource_name + ": not a resource name VISA reads (TCPIP::host::port::SOCKET, "
                                   "TCPIP::host::INSTR, SIM::name::INSTR)";
        case VI_ERROR_RSRC_NFOUND:
            return resource_name + ": not found: check the address, and that the analyzer is on and reachable";
        default:
            return resource_name + ": VISA could not open it";
    }
}

// What the wire guard found (wire_guard.h) goes into the session's error record.
void record_wire_fault(std::uint32_t vi, status_t status, const char* text) {
    engine::set_error_info(vi, true, status, 0, text);
}

}  // namespace

// Every call needs the I/O session; only opening needs the resource
// manager's, so id_query reads that one.
session_scope_t::session_scope_t(std::uint32_t session) : vi(session) {
    ViSession io = 0;
    if (engine::get_attribute_vi_session(vi, nullptr, attr_io_session, 0, &io) < 0) io = 0;
    api.resource.io = io;
}

session_scope_t::~session_scope_t() {
    if (lock_held) engine::unlock_session(vi, nullptr);
}

status_t session_scope_t::lock() {
    lock_held = true;
    return engine::lock_session(vi, nullptr);
}

bool session_scope_t::valid() const { return vi != 0 && engine::validate_session(vi) == 0; }

resolved_name_t resolve_resource_name(const std::string& resource_name, const std::string& option_string) {
    char resource[name_capacity] = {};
    char options[name_capacity] = {};
    char new_resource[name_capacity] = {};
    char new_options[name_capacity] = {};
    std::memcpy(resource, resource_name.data(), std::min(resource_name.size(), name_capacity - 1));
    std::memcpy(options, option_string.data(), std::min(option_string.size(), name_capacity - 1));
    ViBoolean logical = VI_FALSE;

    resolved_name_t result;
    result.status = engine::get_info_from_resource_name(resource, options, new_resource, new_options, &logical);
    new_resource[name_capacity - 1] = '\0';
    new_options[name_capacity - 1] = '\0';
    result.resource_name = new_resource;
    result.option_string = new_options;
    result.is_logical_name = logical != VI_FALSE;
    return result;
}

status_t id_query(session_scope_t& scope, const std::string& resource_name, bool id_query) {
    status_t status = 0;
    ViSession rm = 0;
    if (engine::get_attribute_vi_session(scope.vi, nullptr, attr_visa_rm_session, 0, &rm) < 0) rm = 0;
    scope.api.resource.rm = rm;
    if (scope.api.open(status, resource_name, VI_NO_LOCK, open_timeout_ms) < 0) {
        engine::set_error_info(scope.vi, true, status, 0, open_failure(rm, status, resource_name).c_str());
        return status;
    }
    status = engine::set_attribute_vi_session(scope.vi, nullptr, attr_io_session, 0, scope.api.resource.io);
    if (status < 0) return status;
    wire::set_owner(scope.api.resource.io, scope.vi, record_wire_fault);
    const auto& visa = visa::api();
    if (!id_query) {
        visa.viSetAttribute(scope.api.resource.io, VI_ATTR_TMO_VALUE, io_timeout_ms);
        return 0;
    }
    // An identity query that fails is the link's failure (a lost
    // connection, a time-out), not a wrong instrument: it says so.
    std::string reply;
    if (scope.api.identify(status, reply) < 0) {
        engine::set_error_info(scope.vi, true, status, 0,
                               (resource_name + ": no answer to the identity query *IDN?" +
                                (status == VI_ERROR_CONN_LOST ? ": connection lost" : "") +
                                "; check that the analyzer is on and nothing else holds its connection")
                                   .c_str());
        return status;
    }
    const auto fields = parse_idn_reply(reply);
    const bool manufacturer_ok = std::regex_match(fields[0], expected_manufacturer());
    if (!manufacturer_ok) console_printf("%s\n", "! id_query > manufacturer error");
    const bool model_ok = std::regex_match(fields[1], expected_model());
    if (!model_ok) console_printf("%s\n", "! id_query > model error");
    if (!manufacturer_ok || !model_ok) {
        engine::set_error_info(scope.vi, true, zor_error_identity_check, 0,
                               (resource_name + " answers *IDN? with \"" + reply.substr(0, 80) +
                                "\": not a ZOR analyzer; open with idQuery VI_FALSE to use it anyway")
                                   .c_str());
        return zor_error_identity_check;
    }
    visa.viSetAttribute(scope.api.resource.io, VI_ATTR_TMO_VALUE, io_timeout_ms);
    return 0;
}

// A simulated session talks to an in-process simulated analyzer of its own,
// opened through the bundled VISA under a name no caller uses, and never to
// the resource it was opened for. A VISA that serves no in-process analyzers
// refuses the name, and the open fails saying so.
status_t open_simulated(session_scope_t& scope, bool id_query_wanted, bool reset) {
    const std::string name = util::string_format("SIM::zor-simulated-%u::INSTR", static_cast<unsigned>(scope.vi));
    const status_t status = id_query(scope, name, id_query_wanted);
    if (status < 0) {
        engine::set_error_info(scope.vi, true, status, 0,
                               ("Simulate=1 needs the bundled VISA library, which serves the in-process simulated "
                                "analyzer; the VISA library loaded could not open " +
                                name)
                                   .c_str());
        return status;
    }
    // Session numbers come round again: start from the analyzer's defaults.
    status_t ignored = 0;
    scope.api.write(ignored, "*RST;*CLS", nullptr);
    if (reset) scope.api.reset(ignored);
    return 0;
}

status_t create_session(const std::string& prefix, const std::string& resource_name, bool id_query_wanted,
                        bool reset, const std::string& option_string, std::uint32_t* vi) {
    if (!load_visa_library()) {
        engine::set_error_info(VI_NULL, true, zor_error_visa_not_available, 0,
                               ("VISA library not loadable; tried: " + visa::last_attempts()).c_str());
        return zor_error_visa_not_available;
    }
    *vi = 0;
    // Longer texts would be cut by the engine's buffers and name another
    // resource or other options: refuse them instead.
    if (resource_name.size() >= name_capacity) {
        engine::set_error_info(VI_NULL, true, VI_ERROR_INV_RSRC_NAME, 0, "resource name longer than 255 characters");
        return VI_ERROR_INV_RSRC_NAME;
    }
    if (option_string.size() >= name_capacity) {
        engine::set_error_info(VI_NULL, true, IVI_ERROR_INVALID_OPTION_STRING, 0,
                               "option string longer than 255 characters");
        return IVI_ERROR_INVALID_OPTION_STRING;
    }

    const resolved_name_t resolved = resolve_resource_name(resource_name, option_string);
    if (resolved.status < 0) return resolved.status;

    ViSession session = 0;
    status_t status = engine::specific_driver_new(prefix.c_str(), resolved.option_string.c_str(), &session);
    *vi = session;
    if (status < 0) {
        log_message(log_info, util::string_format("[Error] can't create new ivi session: %s\n", prefix.c_str()));
        engine::dispose(session);
        return status;
    }
    console_printf("[INFO] new ivi session: %d\n", static_cast<int>(session));

    session_scope_t scope(session);
    if (!scope.valid()) {
        teardown(scope);
        return leave_error_record(VI_NULL, zor_error_invalid_session);
    }
    status = read_driver_setup(scope.vi);
    if (status < 0) {
        return fail_open(scope, status);
    }
    if (!resolved.is_logical_name) {
        ViInt32 flags = 0;
        engine::get_attribute_flags(scope.vi, attr_io_resource_descriptor, &flags);
        engine::set_attribute_flags(scope.vi, attr_io_resource_descriptor, (flags & 0xFFEB) | 0x0010);
        engine::set_attribute_vi_string(scope.vi, "", attr_io_resource_descriptor, 0,
                                        resolved.resource_name.c_str());
    }
    if (!engine::simulating(scope.vi)) {
        status = id_query(scope, resolved.resource_name, id_query_wanted);
        if (status < 0) {
            return fail_open(scope, status);
        }
        if (reset) {
            status_t ignored = 0;
            scope.api.reset(ignored);
        }
    } else {
        status = open_simulated(scope, id_query_wanted, reset);
        if (status < 0) {
            return fail_open(scope, status);
        }
    }
    status = apply_data_format(scope);
    if (status < 0) {
        return fail_open(scope, status);
    }
    status = 0;
    if (engine::query_instr_status(scope.vi) && engine::need_to_check_status(scope.vi) &&
        !engine::simulating(scope.vi)) {
        status = check_instrument(scope, 0, "The status check after opening " + resolved.resource_name);
        if (status < 0) return fail_open(scope, status);
        status = engine::set_need_to_check_status(scope.vi, false);
        if (status < 0) {
            return fail_open(scope, status);
        }
    }
    if (resolved.is_logical_name) {
        status = engine::apply_default_setup(scope.vi);
        if (status < 0) {
            return fail_open(scope, status);
        }
    }
    return status;
}

}  // namespace qvdriver

using namespace qvdriver;

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_InitWithOptions(ViRsrc resourceName, ViBoolean idQuery, ViBoolean resetDevice,
                                              ViConstString optionString, ViSession* newVi) {
    return guarded([&]() -> ViStatus {
        log_message(log_info, ZOR_LOG_SIGNATURE("long __cdecl ZOR_InitWithOptions(char *,unsigned short,unsigned "
                                                "short,const char *,unsigned long *)",
                                                "ViStatus ZOR_InitWithOptions(ViRsrc, ViBoolean, ViBoolean, "
                                                "ViConstString, ViSession*)"));
        if (newVi == nullptr) return engine::null_pointer_error(0, 5, "Null address for Instrument Handle (Vi)");
        if (resourceName == nullptr) return engine::null_pointer_error(0, 1, "Null address for Resource Name");
        const std::string options = optionString ? optionString : "";
        std::uint32_t session = 0;
        const status_t status =
            create_session(driver_prefix, resourceName, idQuery != VI_FALSE, resetDevice != VI_FALSE, options, &session);
        // A failed open leaves no handle behind: the session is gone.
        *newVi = status < 0 ? VI_NULL : session;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_init(ViRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViSession* vi) {
    return guarded([&]() -> ViStatus {
        log_message(log_info, ZOR_LOG_SIGNATURE("long __cdecl ZOR_init(char *,unsigned short,unsigned short,unsigned "
                                                "long *)",
                                                "ViStatus ZOR_init(ViRsrc, ViBoolean, ViBoolean, ViSession*)"));
        return ZOR_InitWithOptions(resourceName, idQuery, reset, "", vi);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_close(ViSession vi) {
    return guarded([&]() -> ViStatus {
        log_message(log_info,
                    ZOR_LOG_SIGNATURE("long __cdecl ZOR_close(unsigned long)", "ViStatus ZOR_close(ViSession)"));
        session_scope_t scope(vi);
        engine::lock_session(vi, nullptr);
        engine::unlock_session(vi, nullptr);
        status_t ignored = 0;
        // A binary session leaves the analyzer as it found it: sending text.
        if (data_format_of(vi) == data_format_t::real64) {
            scope.api.set(ignored, ":FORMat:DATA ASCii");
            scope.api.set(ignored, ":FORMat:BORDer NORMal");
        }
        scope.api.close(ignored);
        const status_t status = engine::dispose(vi);
        forget_setup(vi);
        scope.vi = 0;
        return status;
    });
}

}  // extern "C"
