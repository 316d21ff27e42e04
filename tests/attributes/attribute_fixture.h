// A session on a simulated analyzer of the test's own, for attribute tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "ZOR.h"
#include "ivi_engine.h"
#include "sim_fixture.h"

extern "C" {
#define ZOR_TEST_ENGINE_DECL(name, ret, params, required) ret ZOR_IVI_CALL name params;
ZOR_IVI_ENGINE_FUNCTIONS(ZOR_TEST_ENGINE_DECL)
#undef ZOR_TEST_ENGINE_DECL
}

namespace zor_test {

using strings = std::vector<std::string>;

class attribute_test_t : public sim_test_t {
protected:
    ViSession vi = 0;

    void SetUp() override {
        sim_test_t::SetUp();
        testing::internal::CaptureStdout();
        const ViStatus status = ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(status, 0);
        clear_log();
    }
    void TearDown() override {
        testing::internal::CaptureStdout();
        ZOR_close(vi);
        testing::internal::GetCapturedStdout();
    }
    void clear_log() { zsim_clear_wire_log(analyzer.c_str()); }

    bool lockable_from_another_thread() const { return zor_test::lockable_from_another_thread(vi); }
};

}  // namespace zor_test
