#include "io/visa_resource.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

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

namespace {

// This thread's reply buffer: grows geometrically and is never zero-filled.
// It is kept between reads (trace after trace needs no new memory) and given
// back after a failed one.
struct reply_buffer_t {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;

    void grow(std::size_t wanted) {
        std::unique_ptr<char[]> bigger(new char[wanted]);
        if (capacity != 0) std::memcpy(bigger.get(), data.get(), capacity);
        data = std::move(bigger);
        capacity = wanted;
    }
    // After a failed read: a large buffer goes back (an endless or garbled
    // reply must not keep its memory); a small one keeps what was read.
    std::string_view failed(std::size_t size) {
        if (capacity <= kept_after_failure) return std::string_view(data.get(), size);
        data.reset();
        capacity = 0;
        return std::string_view();
    }
    static constexpr std::size_t kept_after_failure = std::size_t{1} << 20;
};

thread_local reply_buffer_t reply_buffer;

constexpr std::size_t first_piece = 4096;

bool elapsed_beyond(std::chrono::steady_clock::time_point start, ViUInt32 timeout_ms) {
    if (timeout_ms == static_cast<ViUInt32>(VI_TMO_INFINITE)) return false;
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms);
}

}  // namespace

void visa_resource_t::read_raw_view(status_t& status, std::string_view& reply) {
    reply = std::string_view();
    const auto& visa = visa::api();
    reply_buffer_t& buffer = reply_buffer;
    if (buffer.capacity < first_piece) buffer.grow(first_piece);
    const auto start = std::chrono::steady_clock::now();
    ViUInt32 timeout_ms = 0;
    bool timeout_known = false;
    std::size_t size = 0;
    for (;;) {
        if (size == buffer.capacity) {
            // Too long for any reply the driver takes: stop here. The VISA
            // session still owes the rest and drops it before the next
            // exchange, so nobody waits for the end of a flood.
            if (size >= max_reply_bytes) {
                buffer.failed(size);
                status = zor_error_value_count;
                return;
            }
            buffer.grow(std::min(size * 2, max_reply_bytes));
        }
        char* into = buffer.data.get() + size;
        const std::size_t room = buffer.capacity - size;
        ViUInt32 count = 0;
        status = visa.viRead(io, reinterpret_cast<ViBuf>(into), static_cast<ViUInt32>(room), &count);
        if (status != 0 && status != VI_SUCCESS_TERM_CHAR && status != VI_SUCCESS_MAX_CNT) {
            reply = buffer.failed(size);
            return;
        }
        size += std::min<std::size_t>(count, room);  // never trust a larger count
        if (status == 0) break;
        // A reply in several pieces must still end within the time-out:
        // each read has its own, and an endless reply would go on for ever.
        if (!timeout_known) {
            timeout_known = visa.viGetAttribute(io, VI_ATTR_TMO_VALUE, &timeout_ms) >= 0;
            if (!timeout_known) timeout_ms = static_cast<ViUInt32>(VI_TMO_INFINITE);
        }
        if (elapsed_beyond(start, timeout_ms)) {
            reply = buffer.failed(size);
            status = VI_ERROR_TMO;
            return;
        }
    }
    reply = std::string_view(buffer.data.get(), size);
    status = 0;
}

void visa_resource_t::read_view(status_t& status, std::string_view& reply) {
    read_raw_view(status, reply);
    if (status != 0) return;
    std::size_t size = reply.size();
    while (size > 0 && std::strchr(util::white_space, reply[size - 1]) != nullptr && reply[size - 1] != '\0') --size;
    reply = reply.substr(0, size);
}

void visa_resource_t::read(status_t& status, std::string& reply) {
    std::string_view view;
    read_view(status, view);
    reply.assign(view.data(), view.size());
}

void visa_resource_t::query(status_t& status, const std::string& command, std::string& reply) {
    write(status, command);
    if (status < 0) return;
    read(status, reply);
}

}  // namespace qvdriver
