// VXI-11 over ONC RPC: the core, abort and interrupt programs, their
// procedures, flags, read reasons and error codes.
#pragma once

#include "onc_rpc.h"

#include <cstdint>

namespace zorwire::vxi11 {

constexpr std::uint32_t core_program = 0x0607AF, abort_program = 0x0607B0, program_version = 1;
// The interrupt channel: the device calls the client's program.
constexpr std::uint32_t interrupt_program = 0x0607B1, device_intr_srq = 30;
constexpr std::uint32_t family_tcp = 0;
enum procedure_t : std::uint32_t {
    create_link = 10,
    device_write = 11,
    device_read = 12,
    device_readstb = 13,
    device_trigger = 14,
    device_clear = 15,
    device_remote = 16,
    device_local = 17,
    device_lock = 18,
    device_unlock = 19,
    device_enable_srq = 20,
    device_docmd = 22,
    destroy_link = 23,
    create_intr_chan = 25,
    destroy_intr_chan = 26,
    device_abort = 1,  // abort channel
};
// Device_Flags
constexpr std::uint32_t flag_waitlock = 0x01, flag_end = 0x08, flag_termchr_set = 0x80;
// device_read reasons
constexpr std::uint32_t reason_reqcnt = 1, reason_chr = 2, reason_end = 4;
// Device_ErrorCode
enum error_t : std::int32_t {
    no_error = 0,
    syntax_error = 1,
    device_not_accessible = 3,
    invalid_link = 4,
    parameter_error = 5,
    channel_not_established = 6,
    not_supported = 8,
    out_of_resources = 9,
    device_locked = 11,
    no_lock_held = 12,
    io_timeout = 15,
    io_error = 17,
    invalid_address = 21,
    aborted = 23,
    channel_already_established = 29,
};

}  // namespace zorwire::vxi11
