#include "radiocfg/RunWatch.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

using Veltrio::Common::CharVector;
using Veltrio::Common::DeviceCommInterface;

namespace {
// Back to the start of the line and clear it.
constexpr const char* clearLine = "\r\x1b[K";
// Longer commands are cut, so that the line fits a narrow terminal.
constexpr std::size_t commandWidth = 40;
} // namespace

class RunWatch::Progress final : public Veltrio::Common::WireWatcher, public Veltrio::Radio::ExchangeListener {
public:
    explicit Progress(std::ostream& out) : out(out) {}
    ~Progress() { clear(); }

    void commandGoingOut(const CharVector& bytes, std::size_t queuedBehind) override {
        ++step;
        total = step + queuedBehind;
        command = Veltrio::Common::escapeBytes(bytes.data(), bytes.size());
        if (command.size() > commandWidth) command = command.substr(0, commandWidth - 3) + "...";
    }
    void written(const char*, unsigned int) override {}
    void reading() override {
        if (step == 0) return;
        char line[160];
        std::snprintf(line, sizeof line, "%sradiocfg: %zu/%zu %s %.1f s", clearLine, step, total, command.c_str(),
                      Veltrio::Common::millisecondsSinceStart() / 1000.0);
        out << line << std::flush;
        shown = true;
    }
    void read(const char*, unsigned int) override { clear(); }

private:
    void clear() {
        if (!shown) return;
        out << clearLine << std::flush;
        shown = false;
    }

    std::ostream& out;
    std::size_t step = 0;
    std::size_t total = 0;
    std::string command;
    bool shown = false;
};

RunWatch::RunWatch(DeviceCommInterface& device, const boost::program_options::variables_map& options)
    : real(device) {
    // The trace shows every step itself: no progress line between its lines.
    if (options.count("trace")) {
        trace = std::make_unique<Veltrio::Common::WireTrace>(std::cerr);
        watched = std::make_unique<Veltrio::Common::WatchedDevice>(device, *trace);
    } else if (isatty(STDERR_FILENO)) {
        progress = std::make_unique<Progress>(std::cerr);
        watched = std::make_unique<Veltrio::Common::WatchedDevice>(device, *progress);
    }
}

RunWatch::~RunWatch() = default;

DeviceCommInterface* RunWatch::device() { return watched ? watched.get() : &real; }

Veltrio::Radio::ExchangeListener* RunWatch::listener() { return progress.get(); }
