// A driver session on a fresh in-process simulated analyzer, for the tests
// of the action and utility exports.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "ZOR.h"
#include "ivi_engine.h"
#include "sim_fixture.h"
#include "visa.h"

extern "C" {
#define ZOR_FUNCTION_TEST_ENGINE_DECL(name, ret, params, required) ret ZOR_IVI_CALL name params;
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_FUNCTION_TEST_ENGINE_DECL)
#undef ZOR_FUNCTION_TEST_ENGINE_DECL
}

namespace zor_test {

using strings = std::vector<std::string>;

class function_test_t : public sim_test_t {
protected:
    ViSession vi = 0;

    // Options for the session; a test fixture may override.
    virtual const char* options() const { return ""; }

    void SetUp() override {
        sim_test_t::SetUp();
        testing::internal::CaptureStdout();
        const ViStatus status =
            ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_FALSE, options(), &vi);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(status, 0);
        zsim_clear_wire_log(analyzer.c_str());
    }
    void TearDown() override {
        testing::internal::CaptureStdout();
        ZOR_close(vi);
        testing::internal::GetCapturedStdout();
    }
    void clear_log() { zsim_clear_wire_log(analyzer.c_str()); }

    bool lockable_from_another_thread() const { return zor_test::lockable_from_another_thread(vi); }
    // The engine's error record of this session (read and cleared).
    std::pair<ViStatus, std::string> take_error() const {
        ViStatus primary = 0, secondary = 0;
        char elaboration[256] = {};
        Ivi_GetErrorInfo(vi, &primary, &secondary, elaboration);
        return {primary, elaboration};
    }
};

}  // namespace zor_test
