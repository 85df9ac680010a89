#include "common/TimerInterface.h"

namespace Veltrio {
namespace Common {

void Timer::sleep(unsigned int duration) {
    reset();
    while (elapsed() < duration) {
    }
}

} // namespace Common
} // namespace Veltrio
