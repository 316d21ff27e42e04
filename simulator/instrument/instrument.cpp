#include "instrument.h"

namespace zorsim {

const char* const default_identity = "Quorvex Technologies,ZOR4220,SIM00001,1.0.0";

instrument_t::instrument_t(const scpi::command_table_t& table) : scpi::device_t(table) { power_on(); }

void instrument_t::report_error(int code, const std::string& message) {
    if (code == 0) return;
    if (code <= -100 && code >= -199) esr |= esr_command_error;
    else if (code <= -200 && code >= -299) esr |= esr_execution_error;
    else if (code <= -300 && code >= -399) esr |= esr_device_error;
    else if (code <= -400 && code >= -499) esr |= esr_query_error;
    else if (code > 0) esr |= esr_device_error;
    errors.push(code, message);
}

std::uint8_t instrument_t::status_byte() const {
    std::uint8_t stb = 0;
    if (!errors.empty()) stb |= stb_error_queue;
    if (questionable.summary()) stb |= stb_questionable;
    if ((esr & ese) != 0) stb |= stb_event_status;
    if (operation.summary()) stb |= stb_operation;
    if ((stb & sre & ~stb_master_summary) != 0) stb |= stb_master_summary;
    return stb;
}

void instrument_t::clear_status() {
    esr = 0;
    errors.clear();
    operation.event = 0;
    questionable.event = 0;
}

void instrument_t::reset() {
    settings().reset();
    setup.reset();
    sweeps.clear();
    opc_pending = false;
}

void instrument_t::power_on() {
    reset();
    errors.clear();
    esr = 0;
    ese = 0;
    sre = 0;
    operation = status_register_t{};
    questionable = status_register_t{};
    identity = default_identity;
    kits = kit_store_t{};
    volume = volume_t{};
    simulation = simulation_t{};
    simulation.dut = physics::make_device("bandpass");
}

void instrument_t::run_after_sweep(int channel) {
    if (in_after_sweep_) return;
    in_after_sweep_ = true;
    try {
        for (const auto& hook : after_sweep) hook(*this, channel);
    } catch (...) {
        in_after_sweep_ = false;
        throw;
    }
    in_after_sweep_ = false;
}

}  // namespace zorsim
