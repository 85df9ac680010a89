// radiosim: a simulated radio modem on a pseudo-terminal.
//
//   radiosim --type satel [--link PATH] [--log FILE|-] [--state FILE]
//            [--silent] [--silent-from N] [--error-at N] [--garbage-at N] [--close-at N] [--baud N]
//            [--instant] [--processing MS] [--line-baud N] [--piece-gap MS] [--flash-write MS]
//            [--escape-guard MS]
//            [--keep SETTING]... [--set SETTING=VALUE]... [--echo] [--one-line-dealer]
//
// Prints, on its first line of standard output, the device path a program
// opens as the radio's serial port (PATH when --link is given), then serves
// the line until SIGINT/SIGTERM or until --close-at hung it up. At the end it
// prints the radio's settings as name=value lines. --log writes the wire log
// (see WireLog.h) as it happens; --state rewrites FILE with the settings
// after every command, so a script can read them while the radio runs.
// The radio answers with a real radio's timing (Timing::realistic()); the
// timing options change one part of it, --instant answers at once.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <boost/program_options.hpp>

#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/Simulator.h"

namespace po = boost::program_options;

namespace {

RadioSim::Simulator* running = nullptr;

extern "C" void onSignal(int) {
    if (running != nullptr) running->requestStop();
}

std::string stateText(const RadioSim::State& state) {
    std::string text;
    for (const auto& [name, value] : state) text += name + "=" + value + "\n";
    return text;
}

// Written beside the target and renamed over it, so a reader never sees half a file.
void writeStateFile(const std::string& path, const RadioSim::State& state) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << stateText(state);
    }
    std::rename(temporary.c_str(), path.c_str());
}

// A link is only ever put where nothing but an old link stands.
bool makeLink(const std::string& target, const std::string& link) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            std::cerr << "radiosim: " << link << " exists and is not a symbolic link" << std::endl;
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::cerr << "radiosim: cannot create " << link << ": " << std::strerror(errno) << std::endl;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string types;
    for (const auto& name : RadioSim::personalityNames()) types += (types.empty() ? "" : ", ") + name;

    RadioSim::Faults faults;
    po::options_description options("radiosim options");
    options.add_options()
        ("help,h", "print this help")
        ("type", po::value<std::string>()->required(), ("radio to simulate: " + types).c_str())
        ("link", po::value<std::string>(), "create a symbolic link to the device at this path")
        ("log", po::value<std::string>(), "write the wire log to this file (- for standard output)")
        ("state", po::value<std::string>(), "rewrite this file with the radio's settings after every command")
        ("silent", po::bool_switch(&faults.silent), "answer nothing")
        ("silent-from", po::value<unsigned int>(&faults.silentFrom), "answer nothing from the Nth command on")
        ("error-at", po::value<unsigned int>(&faults.errorAt), "answer the Nth command with the error answer")
        ("garbage-at", po::value<unsigned int>(&faults.garbageAt), "answer the Nth command with garbage")
        ("close-at", po::value<unsigned int>(&faults.closeAt), "hang up the line when the Nth command arrives")
        ("baud", po::value<unsigned int>(&faults.lineBaud),
         "hear the host only when its line is set to this baud rate (a real radio's UART); otherwise any")
        ("instant", "answer at once and whole (no timing of a real radio)")
        ("processing", po::value<unsigned int>(), "ms from a command to its answer (40)")
        ("line-baud", po::value<unsigned int>(), "pace answers at this baud rate, 0 for no pacing (9600)")
        ("piece-gap", po::value<unsigned int>(), "ms between the first line of an answer and the rest (30)")
        ("flash-write", po::value<unsigned int>(), "further ms for a command that writes the flash (300)")
        ("escape-guard", po::value<unsigned int>(), "ms of quiet line before and after \"+++\" (1000)")
        ("echo", "send every command back, with a line end, before answering it (whatever ATE says)")
        ("one-line-dealer", "L400: answer each dealer-mode command with one line (no prompt per table field, no "
         "OK after ESC)")
        ("keep", po::value<std::vector<std::string>>(),
         "acknowledge writes of this setting (a name of the settings printed at the end) but keep its old value")
        ("set", po::value<std::vector<std::string>>(),
         "SETTING=VALUE: start with this setting (a name of the settings printed at the end) at this value "
         "(Satel: frequency, rx_frequency, channel_spacing, power; Microhard: S-registers)");

    po::variables_map values;
    try {
        po::store(po::parse_command_line(argc, argv, options), values);
        if (values.count("help")) {
            std::cout << options << std::endl;
            return 0;
        }
        po::notify(values);
    } catch (const po::error& e) {
        std::cerr << "radiosim: " << e.what() << std::endl << options << std::endl;
        return 2;
    }

    auto personality = RadioSim::makePersonality(values["type"].as<std::string>());
    if (!personality) {
        std::cerr << "radiosim: unknown radio type " << values["type"].as<std::string>() << " (known: " << types
                  << ")" << std::endl;
        return 2;
    }
    if (values.count("keep"))
        for (const auto& setting : values["keep"].as<std::vector<std::string>>())
            if (!personality->keepOldValue(setting)) {
                std::cerr << "radiosim: this radio has no setting " << setting << std::endl;
                return 2;
            }

    if (values.count("set"))
        for (const auto& assignment : values["set"].as<std::vector<std::string>>()) {
            const std::size_t equals = assignment.find('=');
            if (equals == std::string::npos ||
                !personality->preset(assignment.substr(0, equals), assignment.substr(equals + 1))) {
                std::cerr << "radiosim: this radio cannot start with " << assignment << std::endl;
                return 2;
            }
        }

    if (values.count("echo")) personality->echoEveryCommand();
    if (values.count("one-line-dealer") && !personality->answerDealerInOneLine()) {
        std::cerr << "radiosim: this radio has no dealer mode" << std::endl;
        return 2;
    }

    RadioSim::Timing timing = values.count("instant") ? RadioSim::Timing() : RadioSim::Timing::realistic();
    const auto milliseconds = [&values](const char* name, std::chrono::milliseconds& field) {
        if (values.count(name)) field = std::chrono::milliseconds(values[name].as<unsigned int>());
    };
    milliseconds("processing", timing.processing);
    milliseconds("piece-gap", timing.pieceGap);
    milliseconds("flash-write", timing.flashWrite);
    milliseconds("escape-guard", timing.escapeGuard);
    if (values.count("line-baud")) timing.byteRate = values["line-baud"].as<unsigned int>() / 10;

    std::unique_ptr<RadioSim::Simulator> simulator;
    try {
        simulator = std::make_unique<RadioSim::Simulator>(std::move(personality), faults, timing);
    } catch (const std::exception& e) {
        std::cerr << "radiosim: " << e.what() << std::endl;
        return 1;
    }

    std::ofstream logFile;
    std::ostream* logStream = nullptr;
    if (values.count("log")) {
        const std::string& logPath = values["log"].as<std::string>();
        if (logPath == "-") {
            logStream = &std::cout;
        } else {
            logFile.open(logPath, std::ios::trunc);
            if (!logFile) {
                std::cerr << "radiosim: cannot write " << logPath << std::endl;
                return 1;
            }
            logStream = &logFile;
        }
        simulator->setLogListener([logStream](const std::string& line) { *logStream << line << std::endl; });
    }
    std::string statePath;
    if (values.count("state")) {
        statePath = values["state"].as<std::string>();
        writeStateFile(statePath, simulator->state());
        simulator->setStateListener([statePath](const RadioSim::State& state) { writeStateFile(statePath, state); });
    }

    std::string device = simulator->slavePath();
    std::string link;
    if (values.count("link")) {
        link = values["link"].as<std::string>();
        if (!makeLink(device, link)) return 1;
        device = link;
    }

    running = simulator.get();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::cout << device << std::endl;
    simulator->run();
    running = nullptr;

    if (!statePath.empty()) writeStateFile(statePath, simulator->state());
    std::cout << stateText(simulator->state()) << std::flush;
    if (!link.empty()) unlink(link.c_str());
    return 0;
}
