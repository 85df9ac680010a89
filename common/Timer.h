#pragma once
// The timer of radiocfg, on the monotonic clock.
//
// Mind the unit of sleep(): this one suspends for MICROseconds and keeps the
// measurement running, unlike the default of the base. The radio engine
// relies on sleep() not restarting the measurement.

#include <ctime>

#include "common/TimerInterface.h"

class Timer : public Veltrio::Common::Timer {
public:
    Timer();
    // Stores the current monotonic reading as the start point.
    void getCurrTicks();
    void reset() override;
    // Whole milliseconds since the start point (each nanosecond field is cut
    // to milliseconds on its own, so the result is within 1 ms of the truth).
    unsigned int elapsed() override;
    // Suspends the calling thread for `duration` microseconds.
    void sleep(unsigned int duration) override;

private:
    time_t startSeconds = 0;
    long startNanoseconds = 0;
};
