#pragma once
// SIGINT (Ctrl-C), SIGTERM and SIGHUP during a run: the exchange under way is
// finished, the radio is taken out of command mode (a Microhard radio with
// its own exit sequence, "ATE1" and "ATA"), nothing is saved, and the run
// ends with one line,
//
//   Stopped by SIGINT after ATS104?\r\n: nothing was saved
//
// and status 128 + the signal number. A second signal ends the program at
// once, where it stands (the progress line is cleared even then).

// Installs the handlers; before the flow runs.
void stopOnSignals();

// A flow's exit status: 128 + the signal if a stop was asked and the run
// failed, else `status`.
int statusAfterStop(int status);
