// One instrument connection behind a VISA instrument session. Calls on one
// transport are serialized by the session; only abort() may come from
// another thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "visa.h"

namespace zorvisa {

// A point in time for time-outs of any length (VI_TMO_INFINITE: never).
class deadline_t {
public:
    explicit deadline_t(ViUInt32 timeout_ms)
        : infinite_(timeout_ms == static_cast<ViUInt32>(VI_TMO_INFINITE)),
          at_(std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(timeout_ms))) {}

    bool expired() const { return !infinite_ && std::chrono::steady_clock::now() >= at_; }

    // Milliseconds for the next wait: at most one second, so the waits never
    // overflow and long time-outs are rechecked against the clock.
    int slice_ms() const {
        constexpr long long slice = 1000;
        if (infinite_) return static_cast<int>(slice);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - std::chrono::steady_clock::now()).count();
        if (left <= 0) return 0;
        return static_cast<int>(left + 1 < slice ? left + 1 : slice);
    }

private:
    bool infinite_;
    std::chrono::steady_clock::time_point at_;
};

}  // namespace zorvisa

namespace zorvisa {

class transport_t {
public:
    virtual ~transport_t() = default;

    // Sends cnt bytes; *sent gets how many of the caller's bytes went out.
    // A write begins a new exchange: a reply not read by then is stale and
    // is discarded first (after a time-out, once the late reply has come or
    // the time-out has passed again), so no later read takes it for its own.
    virtual ViStatus write(const ViByte* buf, std::size_t cnt, std::size_t* sent, ViUInt32 timeout_ms) = 0;
    // Delivers up to cnt bytes of the current response message: VI_SUCCESS
    // with the piece that ends it, VI_SUCCESS_MAX_CNT with a piece before
    // that; VI_ERROR_TMO when the deadline passes first.
    virtual ViStatus read(ViByte* buf, std::size_t cnt, std::size_t* got, const deadline_t& deadline) = 0;
    // Wakes a blocked read or write so a close never waits for a time-out.
    virtual void abort() noexcept {}
};

}  // namespace zorvisa
