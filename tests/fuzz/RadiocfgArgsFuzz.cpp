// Fuzz target: radiocfg's command line.
//
// The input is the argument list, NUL between arguments; radiocfg's own
// main() (built into the target under another name) runs it in-process.
// No run may reach a device: an argument that holds a "/" is put under
// "/nonexistent", so a port named is either refused or a file or folder of
// the working directory, which is no serial port. Standard output, where
// radiocfg says what it did or refused, is discarded.
//
// Invariants besides "no crash, no sanitizer report, no hang": the exit
// status is 0 or 1, and radiocfg never lets an exception out.

#include "tests/fuzz/FuzzCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

int radiocfgMain(int argc, char** argv);

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
    std::vector<std::string> args{"radiocfg"};
    std::string arg;
    for (std::size_t k = 0; k <= size; ++k) {
        if (k < size && data[k] != '\0') {
            arg += static_cast<char>(data[k]);
            continue;
        }
        if (arg.find('/') != std::string::npos) arg = "/nonexistent" + arg;
        // Boost.Program_options 1.74 never finishes the message of an error
        // whose option or value holds one of its own placeholders
        // ("-a%original_token%"): known, and left out until it is mended.
        if (arg.find('%') != std::string::npos) return 0;
        args.push_back(arg);
        arg.clear();
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int status = radiocfgMain(static_cast<int>(args.size()), argv.data());
    FUZZ_CHECK(status == 0 || status == 1);
    return 0;
}
