#include "radiocfg/StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <initializer_list>

#include "common/StopRequest.h"

namespace {

extern "C" void onStopSignal(int signal) {
    if (Veltrio::Common::stopRequested() == 0) {
        Veltrio::Common::requestStop(signal);
        return;
    }
    if (isatty(STDERR_FILENO)) {
        static const char clearLine[] = "\r\x1b[K";
        [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, clearLine, sizeof clearLine - 1);
    }
    _exit(128 + signal);
}

} // namespace

void stopOnSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int statusAfterStop(int status) {
    const int signal = Veltrio::Common::stopRequested();
    return status != 0 && signal != 0 ? 128 + signal : status;
}
