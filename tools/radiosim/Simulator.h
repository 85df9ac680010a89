#pragma once
// The core of a simulated radio: a pseudo-terminal whose slave side a program
// opens as its serial port, and a loop on the master side that frames what
// arrives into commands, lets the personality answer them, and writes the
// answers back without ever blocking (a pty buffer is finite; a host that
// stops reading must not stall the radio).
//
// The same object serves the radiosim program (run() on its main thread) and
// tests (start() runs it on a thread of its own; every test gets its own pty).
//
// Fault switches make the radio misbehave the way real lines do. Commands
// are counted from 1 in the order they arrived; every framed command counts,
// also those the radio does not know.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/radiosim/Personality.h"
#include "tools/radiosim/WireLog.h"

namespace RadioSim {

struct Faults {
    bool silent = false;   // the radio answers nothing at all
    unsigned errorAt = 0;  // the Nth command gets the radio's error answer and is not carried out (0: never)
    unsigned garbageAt = 0; // the Nth command gets garbage bytes instead of its answer
    unsigned closeAt = 0;  // the line is hung up when the Nth command arrives
    unsigned silentFrom = 0; // the radio goes dead at the Nth command: answers nothing from it on (0: never)
    unsigned lineBaud = 0;   // the radio hears only at this line speed (0: at any); at another it answers nothing
};

// How the radio's answers are timed. The default answers every command at
// once and whole; realistic() is what a real radio does, and each field can
// be made worse on its own.
struct Timing {
    std::chrono::milliseconds processing{0}; // from a framed command to the first byte of its answer
    unsigned int byteRate = 0;               // answer bytes per second on the line (0: all at once)
    std::chrono::milliseconds pieceGap{0};   // pause after the first line of an answer that has more
    std::chrono::milliseconds flashWrite{0}; // further processing of a command that writes the flash
    // "+++" counts only after this long without a byte from the host, and is
    // taken (and answered) only after as long again without one.
    std::chrono::milliseconds escapeGuard{0};

    // 40 ms processing, 9600 baud, 30 ms between pieces, 300 ms flash
    // writes, 1 s escape guard.
    static Timing realistic();
};

// Sent by the garbage fault: no token, digit or unit any parser looks for.
extern const std::string garbageAnswer;

// The line is quiet this long before a personality may take an unterminated
// command as complete.
constexpr std::chrono::milliseconds framingGap{30};

class Simulator {
public:
    // Opens the pseudo-terminal (both ends raw). Throws std::runtime_error when
    // that fails.
    explicit Simulator(std::unique_ptr<Personality> personality, Faults faults = Faults(), Timing timing = Timing());
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The device a program opens to talk to the radio.
    const std::string& slavePath() const { return path; }

    // Called on the simulator's thread: with each new wire-log line, and with
    // the radio's state after each command. Set them before run()/start().
    // Both run (and received(), wireLog() and state() are up to date) before
    // the answer goes out on the line: a host that has read an answer can
    // rely on them.
    void setLogListener(std::function<void(const std::string& line)> listener);
    void setStateListener(std::function<void(const State& state)> listener);

    // Serves the line on the calling thread until requestStop() or until the
    // close fault hung the line up.
    void run();
    // run() on a thread of its own; stop() ends it (the destructor does too).
    void start();
    void stop();
    // Ends run() from anywhere, a signal handler included.
    void requestStop();

    // What happened so far; safe to call while the radio runs.
    std::vector<std::string> received() const;
    std::vector<WireEntry> wireLog() const;
    std::string wireLogText() const; // formatted lines, each with a line end
    State state() const;
    // The value of one state entry, empty when the radio has no such setting.
    std::string stateValue(const std::string& name) const;
    bool lineClosed() const;

    // Waits until at least `count` commands arrived; false on timeout.
    bool waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    // A piece of an answer due on the line from `start` on, paced at the
    // byte rate; `sent` bytes of it are out.
    struct Piece {
        std::chrono::steady_clock::time_point start;
        std::string bytes;
        std::size_t sent = 0;
    };

    void handleCommand(const std::string& command);
    // Queues an answer in its pieces, after the answers before it.
    void schedule(const std::string& reply, std::chrono::milliseconds delay);
    // Moves the bytes that are due into `output`; how long until more are.
    int releaseDue();
    std::chrono::steady_clock::duration byteTime(std::size_t count) const;
    // How long the line must have been quiet before `input` is framed.
    std::chrono::milliseconds framingWait() const;
    // The speed the host set on the line, in baud (0: none of the usual).
    unsigned int lineSpeed() const;
    void log(WireDirection direction, const std::string& bytes);
    void readAvailable();
    void writePending();
    void closeLine();

    std::unique_ptr<Personality> personality;
    const Faults faults;
    const Timing timing;
    int masterFd = -1;
    int slaveFd = -1; // kept open so the line survives a host closing and reopening the port
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string path;

    // Touched only by the serving thread.
    std::string input;
    std::string output; // bytes due, waiting for the line to take them
    std::deque<Piece> scheduled;
    std::chrono::steady_clock::time_point lineFree; // the last scheduled byte is out
    std::chrono::steady_clock::time_point lastByte;
    std::chrono::steady_clock::duration quietBefore = std::chrono::hours(1); // before the current input

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::string> commands;
    std::vector<WireEntry> entries;
    bool closed = false;
    std::function<void(const std::string&)> logListener;
    std::function<void(const State&)> stateListener;

    std::thread thread;
};

} // namespace RadioSim
