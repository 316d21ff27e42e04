#include "io/visa_resource.h"

#include <cstring>

#include "io/visa_library.h"
#include "support/logger.h"
#include "support/qvutil.h"

namespace qvdriver {

void visa_resource_t::open(status_t& status, std::uint32_t access_mode, std::uint32_t open_timeout) {
    const auto& visa = visa::api();
    ViSession owner = 0;
    if (io != 0 && visa.viGetAttribute(io, VI_ATTR_RM_SESSION, &owner) >= 0 && owner == rm) {
        status = 0;
        return;
    }
    if (rm == 0) {
        io = 0;
        console_printf("[ERROR] Open resource %s failed: {ViResourceManager is invalid!}\n", name.c_str());
        status = zor_error_no_resource_manager;
        return;
    }
    ViSession session = 0;
    status = visa.viOpen(rm, name.c_str(), access_mode, open_timeout, &session);
    if (status < 0) {
        console_printf("[ERROR] Open resource %s failed: {status=%ld}\n", name.c_str(), static_cast<long>(status));
        io = 0;
        return;
    }
    // A positive warning from the open still gives a usable session.
    io = session;
    std::string identity;
    status_t idn_status = 0;
    write(idn_status, "*IDN?");
    if (idn_status >= 0) read(idn_status, identity);
    console_printf("[INFO] Open resource {%s}<%ld-%ld> ok --> {%s}\n", name.c_str(), static_cast<long>(rm),
                   static_cast<long>(io), identity.c_str());
    status = 0;
}

void visa_resource_t::close(status_t& status) {
    status = visa::api().viClose(io);
    if (status == VI_WARN_NULL_OBJECT)
        console_printf("[Warning] visa_resource_t::close() >> The specified object reference is uninitialized.\n");
    io = 0;
}

void visa_resource_t::write(status_t& status, const std::string& command, std::uint32_t* written) {
    ViUInt32 count = 0;
    status = visa::api().viWrite(io, reinterpret_cast<ViConstBuf>(command.data()),
                                 static_cast<ViUInt32>(command.size()), written ? &count : nullptr);
    if (written) *written = count;
    if (status != 0) console_printf("cmd: '%s' error -> %d\n", command.c_str(), static_cast<int>(status));
}

void visa_resource_t::read(status_t& status, std::string& reply) {
    reply.clear();
    const auto& visa = visa::api();
    for (;;) {
        ViByte buffer[256];
        std::memset(buffer, 0, sizeof buffer);
        ViUInt32 count = 0;
        status = visa.viRead(io, buffer, sizeof buffer, &count);
        if (status != 0 && status != VI_SUCCESS_TERM_CHAR && status != VI_SUCCESS_MAX_CNT) return;
        // Never trust a count beyond what was asked for.
        if (count > sizeof buffer) count = sizeof buffer;
        if (count > 0) reply.append(reinterpret_cast<const char*>(buffer), count);
        if (status == 0) break;
    }
    const std::size_t last = reply.find_last_not_of(util::white_space);
    reply.erase(last == std::string::npos ? 0 : last + 1);
    status = 0;
}

void visa_resource_t::query(status_t& status, const std::string& command, std::string& reply) {
    write(status, command);
    if (status < 0) return;
    read(status, reply);
}

}  // namespace qvdriver
