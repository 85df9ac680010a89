// Fuzz target: gnssmon's command line.
//
// The input is the argument list, NUL between arguments; gnssmon's own
// main() (built into the target under another name) runs it in-process.
// Every run is short and reaches no device: the target adds a port that does
// not exist and a duration of a millisecond to every command line (one that
// names either itself is refused, as twice-given options are), and an
// argument that holds a "/" is put under "/nonexistent". Standard output is
// discarded. What a run leaves behind in the process (the stop signals
// blocked, the descriptor it takes them from) is undone after it.
//
// Invariants besides "no crash, no sanitizer report, no hang": the exit
// status is 0 or 1, and gnssmon never lets an exception out.

#include "tests/fuzz/FuzzCheck.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

int gnssmonMain(int argc, char** argv);

namespace {

void setUpOnce()
{
    static bool done = false;
    if (done) return;
    done = true;
    const int null = open("/dev/null", O_WRONLY);
    FUZZ_CHECK(null >= 0 && dup2(null, STDOUT_FILENO) >= 0);
    close(null);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    setUpOnce();
    // First, so that a "--" of the input cannot make them operands.
    std::vector<std::string> args{"gnssmon", "-p", "/nonexistent/ttyGNSS", "--duration", "0.001"};
    std::string arg;
    for (std::size_t k = 0; k <= size; ++k) {
        if (k < size && data[k] != '\0') {
            arg += static_cast<char>(data[k]);
            continue;
        }
        if (arg.find('/') != std::string::npos) arg = "/nonexistent" + arg;
        // Boost.Program_options 1.74 never finishes the message of an error
        // whose option or value holds one of its own placeholders
        // ("--bin1Rate %value%"): known, and left out until it is mended.
        if (arg.find('%') != std::string::npos) return 0;
        args.push_back(arg);
        arg.clear();
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    const int firstFree = dup(STDERR_FILENO);
    close(firstFree);
    const int status = gnssmonMain(static_cast<int>(args.size()), argv.data());
    FUZZ_CHECK(status == 0 || status == 1);
    for (int fd = firstFree; fd < firstFree + 16; ++fd) close(fd);
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    return 0;
}
