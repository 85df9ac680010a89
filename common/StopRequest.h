#pragma once
// A request to stop the run, made from a signal handler and honoured by the
// command engine between two exchanges (RadioBase::sendCommands): the
// exchange under way is finished, the radio is taken out of command mode,
// and nothing else is written.

namespace Veltrio {
namespace Common {

// Records `signal` as the reason to stop (the first one stays).
// Async-signal-safe.
void requestStop(int signal);

// 0 while nobody asked to stop, else the signal number.
int stopRequested();

// "SIGINT", "SIGTERM", "SIGHUP"; "a signal" for any other.
const char* signalName(int signal);

} // namespace Common
} // namespace Veltrio
