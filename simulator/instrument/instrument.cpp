#include "instrument.h"

#include <zorsim/analyzer.h>

namespace zorsim {

void status_register_t::set_condition(std::uint16_t value) {
    value &= 0x7FFF;
    const std::uint16_t rising = static_cast<std::uint16_t>(value & ~condition);
    const std::uint16_t falling = static_cast<std::uint16_t>(condition & ~value);
    event |= static_cast<std::uint16_t>((rising & ptransition) | (falling & ntransition));
    condition = value;
}

instrument_t::instrument_t(const scpi::command_table_t& table) : scpi::device_t(table) { power_on(); }

void instrument_t::report_error(int code, const std::string& message) {
    if (code == 0 || quiet) return;
    if (code <= -100 && code >= -199) esr |= esr_command_error;
    else if (code <= -200 && code >= -299) esr |= esr_execution_error;
    else if (code <= -300 && code >= -399) esr |= esr_device_error;
    else if (code <= -400 && code >= -499) esr |= esr_query_error;
    else if (code > 0) esr |= esr_device_error;
    if (errors_.size() < error_queue_capacity) {
        errors_.push_back(queued_error_t{code, message});
    } else if (errors_.back().code != -350) {
        errors_.back() = queued_error_t{-350, scpi::error_message(-350)};
    }
}

std::optional<instrument_t::queued_error_t> instrument_t::next_error() {
    if (errors_.empty()) return std::nullopt;
    queued_error_t e = std::move(errors_.front());
    errors_.pop_front();
    return e;
}

std::uint8_t instrument_t::status_byte() const {
    std::uint8_t stb = 0;
    if (!errors_.empty()) stb |= stb_error_queue;
    if (questionable.summary()) stb |= stb_questionable;
    if ((esr & ese) != 0) stb |= stb_event_status;
    if (operation.summary()) stb |= stb_operation;
    if ((stb & sre & ~stb_master_summary) != 0) stb |= stb_master_summary;
    return stb;
}

void instrument_t::clear_status() {
    esr = 0;
    errors_.clear();
    operation.event = 0;
    questionable.event = 0;
}

void layout_t::reset() {
    traces = {{1, {1, 1}}, {2, {1, 1}}, {3, {2, 2}}, {4, {2, 2}}};
    windows = {1, 2};
    active_channel = 1;
    active_trace = 1;
    active_window = 1;
    active_markers.clear();
}

std::vector<int> layout_t::channels() const {
    std::set<int> found;
    for (const auto& t : traces) found.insert(t.second.channel);
    return {found.begin(), found.end()};
}

std::vector<int> layout_t::traces_of_channel(int channel) const {
    std::vector<int> out;
    for (const auto& t : traces)
        if (t.second.channel == channel) out.push_back(t.first);
    return out;
}

std::vector<int> layout_t::traces_of_window(int window) const {
    std::vector<int> out;
    for (const auto& t : traces)
        if (t.second.window == window) out.push_back(t.first);
    return out;
}

std::vector<int> layout_t::trace_numbers() const {
    std::vector<int> out;
    for (const auto& t : traces) out.push_back(t.first);
    return out;
}

bool layout_t::select_trace(int trace) {
    auto it = traces.find(trace);
    if (it == traces.end()) return false;
    active_trace = trace;
    active_channel = it->second.channel;
    active_window = it->second.window;
    return true;
}

bool layout_t::select_channel(int channel) {
    const auto own = traces_of_channel(channel);
    if (own.empty()) return false;
    if (traces.at(active_trace).channel == channel) return true;
    return select_trace(own.front());
}

bool layout_t::select_window(int window) {
    if (!shown(window)) return false;
    const auto own = traces_of_window(window);
    if (!own.empty() && traces.at(active_trace).window != window) select_trace(own.front());
    active_window = window;
    return true;
}

void layout_t::repair_selection() {
    if (!has_trace(active_trace) && !traces.empty()) select_trace(traces.begin()->first);
    if (!shown(active_window) && !windows.empty()) active_window = *windows.begin();
}

void instrument_t::reset() {
    settings().reset();
    layout.reset();
    limit_tables.clear();
    sweeps.clear();
    opc_pending = false;
}

void instrument_t::power_on() {
    reset();
    settings().reset_all();
    errors_.clear();
    esr = 0;
    ese = 0;
    sre = 0;
    operation = status_register_t{};
    questionable = status_register_t{};
    identity = default_identity;
    simulation = simulation_t{};
    simulation.dut = physics::make_device("bandpass");
}

}  // namespace zorsim
