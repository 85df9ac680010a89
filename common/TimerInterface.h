#pragma once
// The clock contract of the radio engine: restart, read elapsed milliseconds,
// wait.

namespace Veltrio {
namespace Common {

class Timer {
public:
    virtual ~Timer() = default;
    virtual void reset() = 0;
    // Milliseconds since the last reset().
    virtual unsigned int elapsed() = 0;
    // Default: waits `duration` MILLIseconds by polling elapsed(), and leaves
    // the measurement restarted.
    virtual void sleep(unsigned int duration);
};

} // namespace Common
} // namespace Veltrio
