// The radiocfg command line, run as the built program.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/Program.h"
#include "tests/support/Pty.h"

using TestSupport::runProgram;

namespace {
TestSupport::ProgramResult radiocfg(const std::vector<std::string>& args) {
    return runProgram(TestSupport::programPath("radiocfg"), args, std::chrono::seconds(30));
}
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
} // namespace

TEST(CommandLineTest, NoCommandOrTwoCommandsListTheCommands) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--detect", "--satel"}, {"-p", "/dev/null"}}) {
        const auto r = radiocfg(args);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out.rfind("Must specify ONE of the following\nCommands:\n", 0), 0u) << r.out;
        EXPECT_TRUE(contains(r.out, "--920a")) << r.out;
        EXPECT_FALSE(contains(r.out, "Satel Options")) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLineTest, HelpListsEveryGroupAndRunsNothing) {
    const auto r = radiocfg({"-h", "--detect", "-p", "/nonexistent/port"});
    EXPECT_EQ(r.exitStatus, 1);
    for (const char* part : {"Allowed Options:", "Base Options:", "Commands:", "Satel Options:",
                             "Microhard 920a Options:", "Microhard L400 Options:", "-b [ --baud ] arg (=9600)",
                             "port (/dev/ttyO1, COM1)", "Mode (PC1, PC2, PC3, PC4, VLTR)",
                             "auto with --detect and --query", "SIGINT (Ctrl-C)", "radiocfg-output.schema.json"})
        EXPECT_TRUE(contains(r.out, part)) << part;
    EXPECT_FALSE(contains(r.out, "does not exist"));
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
}

TEST(CommandLineTest, PortIsCheckedBeforeTheBaudRate) {
    const auto r = radiocfg({"--detect", "-p", "/nonexistent/port", "-b", "4800"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Specified port does not exist: /nonexistent/port\n");
}

// A port the user may not open is not called missing; nothing is written to
// it. Root may open anything, so root runs the program as nobody.
TEST(CommandLineTest, PortWithoutPermissionGivesTheSystemsReason) {
    TestSupport::Pty pty;
    ASSERT_EQ(chmod(pty.slavePath().c_str(), 0), 0);
    std::vector<std::string> command = {TestSupport::programPath("radiocfg"), "--detect", "-p", pty.slavePath()};
    if (geteuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0 || TestSupport::runsUnderEmulator())
            GTEST_SKIP() << "root, and no setpriv to run the program as nobody";
        command.insert(command.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const auto r = runProgram(command.front(), {command.begin() + 1, command.end()}, std::chrono::seconds(30));
    if (r.exitStatus == 127 || contains(r.out + r.err, "setpriv:"))
        GTEST_SKIP() << "cannot run the program as nobody: " << r.err;
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Can not open file: " + pty.slavePath() + ": Permission denied\n");
    EXPECT_EQ(pty.read(1, std::chrono::milliseconds(200)), "");
}

// One run at a time on a port: a run holds the lock that serial programs
// honour, and a port locked by another program is refused at once.
TEST(CommandLineTest, ABusyPortIsRefused) {
    const auto busy = [](const std::string& port) {
        return "Can not open file: " + port + ": Device or resource busy\n";
    };
    const std::vector<std::string> satel = {"--satel", "--satel_freq", "438125000", "--satel_spacing", "12500",
                                            "--satel_power", "500", "-p"};
    TestSupport::Pty pty;
    std::vector<std::string> args = satel;
    args.push_back(pty.slavePath());

    // Another program holds the port.
    const int other = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    const auto refused = radiocfg(args);
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.out, busy(pty.slavePath()));
    EXPECT_EQ(pty.read(1, std::chrono::milliseconds(200)), "");
    close(other);

    // A run holds it: stopped in the middle of its first exchange, it keeps
    // a second run and every other program out.
    TestSupport::BackgroundProgram first(TestSupport::programPath("radiocfg"), args);
    ASSERT_EQ(pty.readUntil("SL+++", std::chrono::seconds(30)), "SL+++");
    ASSERT_EQ(kill(first.processId(), SIGSTOP), 0);
    const auto second = radiocfg(args);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.out, busy(pty.slavePath()));
    // Root passes the terminal's exclusive mode, not the lock.
    const int probe = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    if (probe < 0) EXPECT_EQ(errno, EBUSY);
    else EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0);
    if (probe >= 0) close(probe);
    kill(first.processId(), SIGCONT);
    EXPECT_EQ(first.wait(), 1);
    EXPECT_EQ(pty.read(1, std::chrono::milliseconds(200)), "") << "the second run wrote";
}

// The port check must not wait on the device: a serial port without
// carrier, like a FIFO without a writer, blocks a plain open for ever.
TEST(CommandLineTest, PortCheckDoesNotBlockOnTheDevice) {
    char dir[] = "/tmp/radiocfg-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/port";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto r = radiocfg({"--detect", "-p", fifo, "-b", "4800"});
    unlink(fifo.c_str());
    rmdir(dir);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Invalid baudrate: 4800\n");
}

TEST(CommandLineTest, BaudRateOutsideTheAcceptedSet) {
    TestSupport::Pty pty;
    for (const char* baud : {"4800", "0", "230400"}) {
        const auto r = radiocfg({"--detect", "-p", pty.slavePath(), "-b", baud});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, std::string("Invalid baudrate: ") + baud + "\n");
    }
}

// A number is taken as typed: the option parser alone would read "-1" as
// 4294967295.
TEST(CommandLineTest, NumbersThatAreNotPlainDecimalsAreRefusedAsTyped) {
    TestSupport::Pty pty;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--detect", "-b", "-1"}, "Invalid --baud: -1\n"},
        {{"--detect", "-b", "+9600"}, "Invalid --baud: +9600\n"},
        {{"--satel", "-b", "auto"}, "-b auto works with --detect and --query only\n"},
        {{"--satel", "--satel_freq", "99999999999"}, "Invalid --satel_freq: 99999999999\n"},
        {{"--l400", "--l400_freq=-450125000"}, "Invalid --l400_freq: -450125000\n"},
        {{"--920a", "--920a_channel", "0x10"}, "Invalid --920a_channel: 0x10 (0 to 99)\n"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> withPort = args;
        withPort.insert(withPort.end(), {"-p", pty.slavePath()});
        const auto r = radiocfg(withPort);
        EXPECT_EQ(r.exitStatus, 1) << message;
        EXPECT_EQ(r.out, message);
    }
}

// Each accepted rate (and the default) is the speed of the line by the time
// the first command reaches the radio. The runs go side by side; each is hung
// up once its speed was read.
TEST(CommandLineTest, EveryAcceptedBaudRateReachesThePort) {
    const std::vector<std::pair<std::string, speed_t>> rates = {
        {"9600", B9600}, {"19200", B19200}, {"38400", B38400}, {"57600", B57600}, {"115200", B115200}, {"", B9600}};
    std::vector<std::unique_ptr<TestSupport::Pty>> lines;
    std::vector<std::unique_ptr<TestSupport::BackgroundProgram>> runs;
    for (const auto& [baud, speed] : rates) {
        lines.push_back(std::make_unique<TestSupport::Pty>());
        std::vector<std::string> args = {"--satel", "-p", lines.back()->slavePath(), "--satel_freq", "438125000",
                                         "--satel_spacing", "12500", "--satel_power", "500"};
        if (!baud.empty()) args.insert(args.end(), {"-b", baud});
        runs.push_back(std::make_unique<TestSupport::BackgroundProgram>(TestSupport::programPath("radiocfg"), args));
    }
    for (std::size_t i = 0; i < rates.size(); ++i) {
        const std::string& baud = rates[i].first;
        EXPECT_EQ(lines[i]->readUntil("SL+++", std::chrono::seconds(30)), "SL+++") << baud;
        termios line{};
        ASSERT_EQ(tcgetattr(lines[i]->master(), &line), 0) << baud;
        EXPECT_EQ(cfgetospeed(&line), rates[i].second) << baud;
        EXPECT_EQ(cfgetispeed(&line), rates[i].second) << baud;
        lines[i]->closeMaster();
        EXPECT_EQ(runs[i]->wait(), 1) << baud;
    }
}

TEST(CommandLineTest, RejectedOptionsPrintTheParserMessageOnOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"--detect", "--bogus"},
        {"--satel", "--satel_freq", "abc"},
        {"--satel", "--satel_freq"},
        {"--detect", "-b", "9600", "-b", "19200"},
        {"--detect", "--detect"},
        {"--detect", "-a%original_token%"},
        {"--satel", "--satel_freq", "%value%"},
    };
    for (const auto& args : cases) {
        const auto r = radiocfg(args);
        EXPECT_EQ(r.exitStatus, 1) << args.back();
        ASSERT_FALSE(r.out.empty()) << args.back();
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
        EXPECT_EQ(r.err, "") << r.err;
    }
}

// With --json, refusals of the command line are one JSON object too, with
// the message the text would print; the command appears once the command
// line was read and chose one, and no radio was looked for.
TEST(CommandLineTest, JsonRefusalsAreOneObject) {
    TestSupport::Pty pty;
    const struct {
        std::vector<std::string> args;
        std::string object;
    } cases[] = {
        {{"--json"}, R"j({"error":"Must specify ONE of the following"})j"},
        {{"--query", "--json", "-p", "/nonexistent/port"},
         R"j({"command":"query","error":"Specified port does not exist: /nonexistent/port"})j"},
        {{"--query", "--json", "-p", pty.slavePath(), "-b", "4800"},
         R"j({"command":"query","error":"Invalid baudrate: 4800"})j"},
        {{"--query", "--json", "--bogus"}, R"j({"error":"unrecognised option '--bogus'"})j"},
        {{"--920a", "--json", "--920a_channel", "150"}, R"j({"error":"Invalid --920a_channel: 150 (0 to 99)"})j"},
        {{"--satel", "--json", "-p", pty.slavePath(), "--satel_freq", "438125000", "--satel_spacing", "12500",
          "--satel_power", "1"},
         R"j({"command":"satel","settings":{"satel_freq":"438125000","satel_spacing":"12500","satel_power":"1"},)j"
         R"j("error":"Invalid power: 1"})j"},
    };
    for (const auto& c : cases) {
        const auto r = radiocfg(c.args);
        EXPECT_EQ(r.exitStatus, 1) << c.object;
        EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse(c.object));
    }
}
