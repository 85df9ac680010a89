// nmeareplay: replays a capture of a real receiver's output on a
// pseudo-terminal, as a receiver that answers no "$J" command. It prints the
// device to open, waits until the host writes to it, sends the capture as fast
// as the host reads, and stays until a signal so that the host keeps its line.

#include "tools/nmeareplay/Replayer.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cout << "usage: nmeareplay CAPTURE.log" << std::endl;
        return 1;
    }
    try {
        const std::vector<std::string> lines = NmeaReplay::captureLines(argv[1]);
        NmeaReplay::Replayer replayer;
        std::cout << "nmeareplay: receiver on " << replayer.devicePath() << ", " << lines.size() << " lines" << std::endl;
        while (!replayer.waitForHost(std::chrono::seconds(1))) {}
        if (!replayer.play(lines, std::chrono::seconds(10))) {
            std::cout << "nmeareplay: the host stopped reading" << std::endl;
            return 1;
        }
        std::cout << "nmeareplay: capture sent" << std::endl;
        pause();
    } catch (const std::exception& e) {
        std::cout << "nmeareplay: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
