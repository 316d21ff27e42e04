// One instrument connection behind a VISA instrument session. Calls on one
// transport are serialized by the session; only abort() may come from
// another thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
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

    // What is left as a protocol time-out to hand to the device: at least
    // 1 ms while not expired, VI_TMO_INFINITE for an infinite deadline.
    ViUInt32 remaining_ms() const {
        if (infinite_) return static_cast<ViUInt32>(VI_TMO_INFINITE);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - std::chrono::steady_clock::now()).count();
        if (left <= 0) return 0;
        return left >= 0xFFFFFFFELL ? 0xFFFFFFFEu : static_cast<ViUInt32>(left);
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

    // What an instrument protocol adds; unsupported by default.
    // viClear: the device's input and output emptied, and ours.
    virtual ViStatus clear(ViUInt32 /*timeout_ms*/) { return VI_ERROR_NSUP_OPER; }
    virtual ViStatus read_stb(ViUInt16* /*stb*/, ViUInt32 /*timeout_ms*/) { return VI_ERROR_NSUP_OPER; }
    virtual ViStatus trigger(ViUInt32 /*timeout_ms*/) { return VI_ERROR_NSUP_OPER; }
    // The device's own lock, for protocols that have one (an empty key:
    // exclusive). Without one the library's lock between its own sessions
    // is all there is, so success.
    virtual ViStatus lock(const std::string& /*shared_key*/, ViUInt32 /*timeout_ms*/) { return VI_SUCCESS; }
    virtual ViStatus unlock() { return VI_SUCCESS; }

    // Service requests: from enable until disable, each one the device
    // signals calls on_request (from a thread of the transport's). A
    // protocol without them has no such event.
    using service_request_t = std::function<void()>;
    virtual ViStatus enable_service_requests(service_request_t /*on_request*/, ViUInt32 /*timeout_ms*/) {
        return VI_ERROR_INV_EVENT;
    }
    virtual ViStatus disable_service_requests(ViUInt32 /*timeout_ms*/) { return VI_SUCCESS; }
    // Asks the device to end the call in progress on this transport (from
    // another thread); that call then returns VI_ERROR_ABORT.
    virtual void interrupt() noexcept {}
    // The read of a protocol that ends messages at the term char itself.
    virtual void set_termchar(bool /*enabled*/, ViUInt8 /*termchar*/) {}
};

}  // namespace zorvisa
