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
#define ZOR_FUNCTION_TEST_VISA_DECL(name, ret, params) extern "C" ret ZOR_VISA_CALL name params;
ZOR_VISA_FUNCTIONS(ZOR_FUNCTION_TEST_VISA_DECL)
#undef ZOR_FUNCTION_TEST_VISA_DECL

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
        // Repeatable data that follow every setting at once; a test that
        // studies noise or sweep timing switches them back.
        // Raw data are the device's own; calibration tests switch the test
        // set's errors back on.
        raw_query(":SYSTem:SIMulation:NOISe OFF;:SYSTem:SIMulation:SPEed INSTant;:SYSTem:SIMulation:ERRors OFF");
        zsim_clear_wire_log(analyzer.c_str());
    }
    void TearDown() override {
        testing::internal::CaptureStdout();
        ZOR_close(vi);
        testing::internal::GetCapturedStdout();
    }
    void clear_log() { zsim_clear_wire_log(analyzer.c_str()); }

    // One exchange on a second VISA session, beside the driver's: for the
    // analyzer's commands no export sends. Empty for a message without query.
    std::string raw_query(const std::string& message) {
        ViSession rm = 0, io = 0;
        EXPECT_EQ(viOpenDefaultRM(&rm), 0);
        EXPECT_EQ(viOpen(rm, resource.c_str(), VI_NO_LOCK, 0, &io), 0);
        ViUInt32 count = 0;
        const auto* bytes = reinterpret_cast<ViConstBuf>(message.data());
        EXPECT_EQ(viWrite(io, bytes, static_cast<ViUInt32>(message.size()), &count), 0);
        std::string reply;
        if (message.find('?') != std::string::npos) {
            char piece[4096];
            ViStatus status = VI_SUCCESS_MAX_CNT;
            while (status == VI_SUCCESS_MAX_CNT) {
                status = viRead(io, reinterpret_cast<ViBuf>(piece), sizeof piece, &count);
                reply.append(piece, count);
            }
        }
        viClose(io);
        viClose(rm);
        while (!reply.empty() && reply.back() == '\n') reply.pop_back();
        return reply;
    }
    // The trace's formatted data (FDATa) through the driver.
    std::vector<double> formatted(const char* name, int points) {
        std::vector<double> data(static_cast<std::size_t>(2 * points), -99.0);
        ViInt32 count = -1;
        EXPECT_EQ(ZOR_MeasurementQueryData(vi, name, 0, 2 * points, data.data(), &count), 0);
        EXPECT_EQ(count, 2 * points);
        return data;
    }

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
