// Helpers for tests that drive the in-process simulated analyzer behind the
// bundled VISA library.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "ivi_engine.h"
#include "zor_sim_control.h"

// The engine's own lock, to look behind the driver's back.
extern "C" {
ViStatus ZOR_IVI_CALL Ivi_LockSession(ViSession vi, ViBoolean* callerHasLock);
ViStatus ZOR_IVI_CALL Ivi_UnlockSession(ViSession vi, ViBoolean* callerHasLock);
}

namespace zor_test {

// What the driver asks after a time-out (io/wire_guard.h): the error queue,
// in a message whose reply no other query gets.
constexpr const char* error_query_after_timeout = ":SYST:ERR?;*ESE?";

// The messages the analyzer received, in order.
inline std::vector<std::string> wire_log(const std::string& analyzer) {
    std::string text(zsim_wire_log(analyzer.c_str(), nullptr, 0) + 1, '\0');
    zsim_wire_log(analyzer.c_str(), text.data(), text.size());
    text.resize(text.size() - 1);
    std::vector<std::string> messages;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) messages.push_back(line);
    return messages;
}

// True when another thread can take the session's lock at once: no call left
// it held.
inline bool lockable_from_another_thread(ViSession vi) {
    auto attempt = std::async(std::launch::async, [vi] {
        if (Ivi_LockSession(vi, nullptr) != 0) return false;
        Ivi_UnlockSession(vi, nullptr);
        return true;
    });
    return attempt.wait_for(std::chrono::seconds(5)) == std::future_status::ready && attempt.get();
}

// Each test gets an analyzer of its own, in its power-on state.
class sim_test_t : public testing::Test {
protected:
    std::string analyzer;
    std::string resource;

    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        analyzer = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : analyzer)
            if (c == '/') c = '_';
        resource = "SIM::" + analyzer + "::INSTR";
        zsim_factory_reset(analyzer.c_str());
    }
    void script(const char* message, const char* reply, int read_status = 0, int write_status = 0, int times = 1) {
        zsim_script(analyzer.c_str(), message, reply, read_status, write_status, times);
    }
    std::vector<std::string> log() const { return wire_log(analyzer); }
};

}  // namespace zor_test
