#include "common/StopRequest.h"

#include <csignal>

namespace Veltrio {
namespace Common {

namespace {
volatile std::sig_atomic_t requested = 0;
} // namespace

void requestStop(int signal) {
    if (requested == 0) requested = signal;
}

int stopRequested() { return requested; }

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

} // namespace Common
} // namespace Veltrio
