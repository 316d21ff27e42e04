// The driver's own read loop against an instrument whose first answer to a
// query never ends: the call gives VI_ERROR_TMO within the session's I/O
// time-out, and once the stream is over the same calls read right again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "ZOR.h"
#include "../visa/visa_test_support.h"

namespace {

using std::chrono::milliseconds;

// Answers *IDN? and the error query; the first time a query in `answers`
// comes it streams digits for 1.2 s before its line feed, later times it
// answers properly; other queries get "0".
void play(test_socket_t peer, const std::map<std::string, std::string>& answers) {
    std::map<std::string, int> asked;
    for (;;) {
        std::string line = loopback_server::recv_line(peer);
        if (line.empty() || line == "DONE\n") return;
        line.pop_back();
        if (line == "*IDN?") {
            loopback_server::send_all(peer, "Maker,Model,1,1.0\n");
        } else if (line == ":SYST:ERR?;*ESE?") {
            loopback_server::send_all(peer, "0,\"No error\";0\n");
        } else if (answers.count(line) != 0 && asked[line]++ == 0) {
            const std::string chunk(1024, '3');
            const auto end = std::chrono::steady_clock::now() + milliseconds(1200);
            while (std::chrono::steady_clock::now() < end) {
                loopback_server::send_all(peer, chunk);
                std::this_thread::sleep_for(milliseconds(1));
            }
            loopback_server::send_all(peer, "\n");
        } else if (answers.count(line) != 0) {
            loopback_server::send_all(peer, answers.at(line) + "\n");
        } else if (!line.empty() && line.back() == '?') {
            loopback_server::send_all(peer, "0\n");
        }
    }
}

double seconds_of(const std::function<void()>& call) {
    const auto t0 = std::chrono::steady_clock::now();
    call();
    return seconds_since(t0);
}

TEST(FaultyInstrument, EndlessRepliesEndAtTheTimeOutAndTheSessionRecovers) {
    loopback_server server([](test_socket_t peer) {
        play(peer, {{":CALCulate1:PARameter1:DEFine?", "S21"}, {":CALCulate1:TRACe1:DATA:SDATa?", "1,2,3,4"}});
    });
    const std::string resource = server.resource();
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi), 0);
    ASSERT_EQ(ZOR_SetAttributeViInt32(vi, "", ZOR_ATTR_SYSTEM_IO_TIMEOUT, 300), 0);

    // Each call ends within its time-out (and the short wait for the error
    // query after it); once the stream is over the same call reads right.
    char text[16] = "";
    ViStatus status = 0;
    EXPECT_LT(seconds_of([&] {
                  status = ZOR_GetAttributeViString(vi, "Channel1:Trace1", ZOR_ATTR_MEASUREMENT_PARAMETER, sizeof text, text);
              }),
              1.0);
    EXPECT_EQ(status, VI_ERROR_TMO);
    std::this_thread::sleep_for(milliseconds(1500));  // the stream is over
    EXPECT_EQ(ZOR_GetAttributeViString(vi, "Channel1:Trace1", ZOR_ATTR_MEASUREMENT_PARAMETER, sizeof text, text), 0);
    EXPECT_STREQ(text, "S21");

    ViReal64 data[4] = {};
    ViInt32 count = 0;
    EXPECT_LT(seconds_of([&] { status = ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 4, data, &count); }), 1.0);
    EXPECT_EQ(status, VI_ERROR_TMO);
    std::this_thread::sleep_for(milliseconds(1500));
    EXPECT_EQ(ZOR_MeasurementQueryData(vi, "Channel1:Trace1", 1, 4, data, &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(data[3], 4.0);
    ViUInt64 written = 0;
    ZOR_viWrite(vi, 4, reinterpret_cast<ViConstBuf>("DONE"), &written);
    ZOR_close(vi);
    testing::internal::GetCapturedStdout();
}

}  // namespace
