// A fake instrument for the wire tests: the simulated analyzer's commands
// behind servers of its own, over a raw socket, VXI-11 or HiSLIP, that send
// every reply in small pieces (single bytes, record fragments of a few bytes,
// Data messages of a few bytes ending with DataEnd) and can hold one reply
// back at any byte. Replies go out in order, as an instrument's do: while one
// is held back, later ones wait. A device clear drops what is left.
// Linux only (POSIX sockets).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <simulator/analyzer/analyzer.h>

namespace wire_test {

enum class protocol_t { socket, vxi11, hislip };
const char* name_of(protocol_t p);

// Where a reply is held back: before its first byte, at its middle, or
// before its last byte.
enum class point_t { first, middle, last };

// The reply to the next message that begins with `message` stops at `at`
// for `pause`. For VXI-11, `write_answer` holds back the answer to that
// message's device_write instead.
struct hold_t {
    std::string message;
    point_t at = point_t::first;
    std::chrono::milliseconds pause{0};
    bool write_answer = false;
};
// The bytes of a reply of `size` bytes sent before the pause.
std::size_t bytes_before(point_t at, std::size_t size);

class late_instrument_t {
public:
    explicit late_instrument_t(protocol_t protocol);
    ~late_instrument_t();
    late_instrument_t(const late_instrument_t&) = delete;
    late_instrument_t& operator=(const late_instrument_t&) = delete;

    // The VISA resource; for VXI-11 the bundled VISA is pointed at the
    // fake's portmapper.
    std::string resource() const;
    void hold(const hold_t& h);
    // Messages the analyzer received, in order.
    std::vector<std::string> received() const { return analyzer->wire_log(); }

    const std::shared_ptr<zorsim::analyzer_t> analyzer = std::make_shared<zorsim::analyzer_t>();

    // What the servers share; public for them, not for tests.
    struct impl_t;

private:
    std::unique_ptr<impl_t> impl_;
};

}  // namespace wire_test
