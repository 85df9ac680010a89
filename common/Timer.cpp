#include "common/Timer.h"

#include <unistd.h>

Timer::Timer() { getCurrTicks(); }

void Timer::getCurrTicks() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    startSeconds = now.tv_sec;
    startNanoseconds = now.tv_nsec;
}

void Timer::reset() { getCurrTicks(); }

unsigned int Timer::elapsed() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ms = static_cast<long long>(now.tv_sec - startSeconds) * 1000 +
                         (now.tv_nsec / 1000000 - startNanoseconds / 1000000);
    return ms < 0 ? 0u : static_cast<unsigned int>(ms);
}

void Timer::sleep(unsigned int duration) { usleep(duration); }
