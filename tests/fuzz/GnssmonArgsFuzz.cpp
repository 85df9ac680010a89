// Fuzz target: gnssmon's command line.
//
// The input is the argument list, NUL between arguments; gnssmon's own
// main() (built into the target under another name) runs it in-process.
// Every run is short and reaches no device: the target adds a port that does
// not exist and a duration of a millisecond to every command line (one that
// names either itself is refused, as twice-given options are), and an
// argument that holds a "/" is put under "/nonexistent". Standard output is
// discarded. What a run leaves behind in the process (the stop signals
// blocked, the descriptor it takes them from, the receiver's link buffer)
// is undone after it.
//
// Invariants besides "no crash, no sanitizer report, no hang": the exit
// status is 0 or 1, and gnssmon never lets an exception out.

#include "gnssmon/Gms.h"
#include "tests/fuzz/CommandLineInput.h"

#include <signal.h>
#include <unistd.h>

int gnssmonMain(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CommandLineInput::discardStandardOutput();
    // First, so that a "--" of the input cannot make them operands.
    CommandLineInput::CommandLine line({"gnssmon", "-p", "/nonexistent/ttyGNSS", "--duration", "0.001"}, data, size);

    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    const int firstFree = dup(STDERR_FILENO);
    close(firstFree);
    const int status = gnssmonMain(line.argc(), line.argv.data());
    FUZZ_CHECK(status == 0 || status == 1);
    GmsRelease(0);
    for (int fd = firstFree; fd < firstFree + 16; ++fd) close(fd);
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    return 0;
}
