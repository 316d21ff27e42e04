// Eight threads at once through the exports: separate sessions on one
// analyzer, separate analyzers, and one shared session whose users take
// turns with ZOR_LockSession. Built for ThreadSanitizer in CI; a watchdog
// ends a run that hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZOR.h"

namespace {

constexpr int threads = 8;
constexpr int rounds = 300;

// Aborts the whole program when `body` runs longer than the limit: a
// deadlock must fail the test, not stall CI.
void with_watchdog(const std::function<void()>& body, std::chrono::seconds limit = std::chrono::seconds(240)) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread dog([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_for(lock, limit, [&] { return done; })) {
            std::fprintf(stderr, "watchdog: no progress for %lld s, a thread hangs\n", static_cast<long long>(limit.count()));
            std::abort();
        }
    });
    body();
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    dog.join();
}

ViSession open(const std::string& analyzer) {
    std::string resource = "SIM::" + analyzer + "::INSTR";
    ViSession vi = 0;
    EXPECT_EQ(ZOR_InitWithOptions(&resource[0], VI_FALSE, VI_FALSE, "", &vi), 0) << analyzer;
    return vi;
}

double value_of(int thread, int round) { return 1e-3 * (thread + 1) + 1e-6 * round; }

void run_threads(const std::function<void(int)>& work) {
    with_watchdog([&] {
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) pool.emplace_back(work, t);
        for (auto& th : pool) th.join();
    });
}

class Stress : public testing::Test {
protected:
    void SetUp() override { testing::internal::CaptureStdout(); }
    void TearDown() override { testing::internal::GetCapturedStdout(); }
};

TEST_F(Stress, SeparateSessionsOnOneAnalyzer) {
    std::atomic<int> failures{0};
    run_threads([&](int t) {
        const ViSession vi = open("stress_shared");
        for (int r = 0; r < rounds; ++r) {
            double back = -1;
            if (ZOR_SetTriggerDelay(vi, value_of(t, r)) != 0 || ZOR_GetTriggerDelay(vi, &back) != 0) ++failures;
            // Other sessions write too: any thread's value may come back.
            if (!(back > 0 && back < 0.01)) ++failures;
        }
        EXPECT_EQ(ZOR_close(vi), 0);
    });
    EXPECT_EQ(failures, 0);
}

TEST_F(Stress, SeparateAnalyzers) {
    std::atomic<int> failures{0};
    run_threads([&](int t) {
        const ViSession vi = open("stress_own_" + std::to_string(t));
        for (int r = 0; r < rounds; ++r) {
            double back = -1;
            if (ZOR_SetTriggerDelay(vi, value_of(t, r)) != 0 || ZOR_GetTriggerDelay(vi, &back) != 0) ++failures;
            if (std::fabs(back - value_of(t, r)) > 1e-12) ++failures;
        }
        EXPECT_EQ(ZOR_close(vi), 0);
    });
    EXPECT_EQ(failures, 0);
}

TEST_F(Stress, OneSessionSharedUnderTheSessionLock) {
    const ViSession vi = open("stress_locked");
    std::atomic<int> failures{0};
    run_threads([&](int t) {
        for (int r = 0; r < rounds; ++r) {
            ViBoolean has_lock = VI_FALSE;
            if (ZOR_LockSession(vi, &has_lock) != 0) {
                ++failures;
                continue;
            }
            // Under the lock no other thread's write comes between.
            double back = -1;
            if (ZOR_SetTriggerDelay(vi, value_of(t, r)) != 0 || ZOR_GetTriggerDelay(vi, &back) != 0) ++failures;
            if (std::fabs(back - value_of(t, r)) > 1e-12) ++failures;
            if (ZOR_UnlockSession(vi, &has_lock) != 0) ++failures;
        }
    });
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ZOR_close(vi), 0);
}

}  // namespace
