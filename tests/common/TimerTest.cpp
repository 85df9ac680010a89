#include "common/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {
// A timer that keeps the base's sleep (milliseconds, restarts the measurement).
struct PollingTimer : Veltrio::Common::Timer {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    void reset() override { start = std::chrono::steady_clock::now(); }
    unsigned int elapsed() override {
        return static_cast<unsigned int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - start).count());
    }
};
} // namespace

TEST(TimerTest, ElapsedCountsMillisecondsOfRealTime) {
    Timer timer;
    const auto before = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const unsigned int measured = timer.elapsed();
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
    EXPECT_GE(measured + 1, 120u);
    EXPECT_LE(measured, static_cast<unsigned int>(real) + 1);
}

TEST(TimerTest, SleepCountsMicrosecondsAndKeepsTheMeasurement) {
    Timer timer;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto before = std::chrono::steady_clock::now();
    timer.sleep(2000);  // 2 ms, not 2 s
    const auto slept = std::chrono::steady_clock::now() - before;
    EXPECT_LT(slept, std::chrono::milliseconds(1500));
    EXPECT_GE(slept, std::chrono::microseconds(2000));
    EXPECT_GE(timer.elapsed(), 30u);  // not restarted
}

TEST(TimerTest, ResetRestartsTheMeasurement) {
    Timer timer;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    timer.reset();
    EXPECT_LT(timer.elapsed(), 400u);
}

TEST(TimerTest, BaseSleepWaitsMillisecondsAndRestarts) {
    PollingTimer timer;
    const auto before = std::chrono::steady_clock::now();
    timer.sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
    EXPECT_GE(timer.elapsed(), 20u);
}
