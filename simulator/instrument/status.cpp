#include "status.h"

#include <simulator/scpi/parser.h>

namespace zorsim {

void status_register_t::set_condition(std::uint16_t value) {
    value &= 0x7FFF;
    const std::uint16_t rising = static_cast<std::uint16_t>(value & ~condition);
    const std::uint16_t falling = static_cast<std::uint16_t>(condition & ~value);
    event |= static_cast<std::uint16_t>((rising & ptransition) | (falling & ntransition));
    condition = value;
}

void error_queue_t::push(int code, const std::string& message) {
    if (entries_.size() < capacity) {
        entries_.push_back(entry_t{code, message});
    } else if (entries_.back().code != -350) {
        entries_.back() = entry_t{-350, scpi::error_message(-350)};
    }
}

std::optional<error_queue_t::entry_t> error_queue_t::pop() {
    if (entries_.empty()) return std::nullopt;
    entry_t e = std::move(entries_.front());
    entries_.pop_front();
    return e;
}

}  // namespace zorsim
