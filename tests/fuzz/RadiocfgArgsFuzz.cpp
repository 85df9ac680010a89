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

#include "tests/fuzz/CommandLineInput.h"

int radiocfgMain(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CommandLineInput::discardStandardOutput();
    CommandLineInput::CommandLine line({"radiocfg"}, data, size);
    const int status = radiocfgMain(line.argc(), line.argv.data());
    FUZZ_CHECK(status == 0 || status == 1);
    return 0;
}
