#include "gnssmon/Uart.h"
#include "gnssmon/UartTrace.h"

#include "tests/support/Pty.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The UART under test keeps its descriptor to itself. A second descriptor on
// the same pty slave shares its input queue and its terminal settings: it
// lets the test wait until bytes have arrived (poll does not consume them)
// and read back what the UART configured.
class SlavePeek {
public:
    explicit SlavePeek(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK)) {}
    ~SlavePeek() {
        if (fd >= 0) close(fd);
    }
    bool waitReadable(std::chrono::milliseconds timeout) const {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, static_cast<int>(timeout.count())) == 1 && (p.revents & POLLIN);
    }
    // Waits until at least `count` bytes are waiting on the line.
    bool waitPending(int count, std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int pending = 0;
        while (ioctl(fd, FIONREAD, &pending) == 0 && pending < count) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 10);  // readable already: this only paces the re-check
        }
        return pending >= count;
    }
    termios settings() const {
        termios tio{};
        tcgetattr(fd, &tio);
        return tio;
    }

private:
    int fd;
};

// write() system calls this process has made so far (the kernel's I/O
// accounting); -1 where the kernel does not keep it, or where the sanitizer
// runtime makes write() calls of its own (it probes memory by writing it to
// a pipe), which the count cannot tell apart.
long writeCalls() {
#ifdef __SANITIZE_ADDRESS__
    return -1;
#endif
    std::ifstream io("/proc/self/io");
    for (std::string key; io >> key;) {
        long value = 0;
        io >> value;
        if (key == "syscw:") return value;
    }
    return -1;
}

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

struct UartTest : ::testing::Test {
    TestSupport::Pty pty;
    unsigned char rx[512] = {};
    unsigned char tx[512] = {};

    void openPort(int port, int ringLength = 512) {
        ASSERT_EQ(UartInit(port, pty.slavePath().c_str(), rx, tx, ringLength, 512), 0);
    }
    // Sends bytes from the receiver's side and waits until they reached the port.
    void receive(const std::string& bytes) {
        SlavePeek peek(pty.slavePath());
        pty.write(bytes);
        ASSERT_TRUE(peek.waitReadable(5s)) << "bytes did not arrive";
    }
};

TEST_F(UartTest, NoInputGivesNoByteAtOnce) {
    openPort(1);
    unsigned char byte = 0x55;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);
    // Never waits: a blocking read would hang here for good.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(byte, 0x55);
}

TEST_F(UartTest, BurstIsFetchedWithOneReadAndHandedOutByteByByte) {
    openPort(1);
    receive("HELLO");
    unsigned char byte = 0;
    ASSERT_EQ(UartGetByte(1, &byte), UART_SUCCESS);
    EXPECT_EQ(byte, 'H');
    // The line goes down: whatever still comes out was fetched by the first read.
    pty.closeMaster();
    std::string rest;
    while (UartGetByte(1, &byte) == UART_SUCCESS) rest += static_cast<char>(byte);
    EXPECT_EQ(rest, "ELLO");
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);
}

TEST_F(UartTest, FailingReadIsReportedAsReadFailure) {
    // The port's descriptor is made to refer to /proc/self/mem, where reading
    // at offset 0 (an address that is never mapped) fails with EIO: a device
    // whose read() fails. (It is not a terminal, so the set-up refuses it.)
    openPort(1);
    const int mem = open("/proc/self/mem", O_RDWR);
    ASSERT_GE(mem, 0);
    ASSERT_EQ(iUartGetFd(1), dup2(mem, iUartGetFd(1)));
    close(mem);
    unsigned char byte = 0;
    EXPECT_EQ(UartGetByte(1, &byte), UART_READ_FAILED);
    EXPECT_EQ(UartGetBytes(1, &byte, 1), 0);
}

TEST_F(UartTest, RingIsReadBeforeTheDeviceSoOrderIsKept) {
    openPort(2);
    receive("ab");
    unsigned char byte = 0;
    ASSERT_EQ(UartGetByte(2, &byte), UART_SUCCESS);
    receive("cd");
    std::string got(1, static_cast<char>(byte));
    while (UartGetByte(2, &byte) == UART_SUCCESS) got += static_cast<char>(byte);
    EXPECT_EQ(got, "abcd");
}

TEST_F(UartTest, ReceiveRingIsCappedAt512Bytes) {
    unsigned char big[1000] = {};
    ASSERT_EQ(UartInit(1, pty.slavePath().c_str(), big, tx, 1000, 512), 0);
    SlavePeek peek(pty.slavePath());
    pty.write(std::string(600, 'r'));
    ASSERT_TRUE(peek.waitPending(600, 5s));
    unsigned char byte = 0;
    ASSERT_EQ(UartGetByte(1, &byte), UART_SUCCESS);  // one read of at most 512 bytes
    pty.closeMaster();
    int fetched = 1;
    while (UartGetByte(1, &byte) == UART_SUCCESS) ++fetched;
    EXPECT_EQ(fetched, 512);
}

TEST_F(UartTest, GetBytesTakesOnlyWhatItCanStore) {
    openPort(1);
    receive("12345");
    unsigned char buffer[8] = {};
    ASSERT_EQ(UartGetBytes(1, buffer, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "123");
    EXPECT_EQ(UartGetBytes(1, buffer, 8), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "45");
    EXPECT_EQ(UartGetBytes(1, buffer, 8), 0);
}

TEST_F(UartTest, SmallRingStillDeliversALongBurstInOrder) {
    openPort(1, 4);  // reads of at most 4 bytes
    const std::string burst = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";
    receive(burst);
    std::string got;
    unsigned char byte = 0;
    SlavePeek peek(pty.slavePath());
    while (got.size() < burst.size()) {
        if (UartGetByte(1, &byte) == UART_SUCCESS)
            got += static_cast<char>(byte);
        else if (!peek.waitReadable(5s))
            break;
    }
    EXPECT_EQ(got, burst);
}

TEST_F(UartTest, PendingInputIsDiscardedWhenThePortIsSetUp) {
    openPort(1);
    receive("stale");
    ASSERT_EQ(UartSetup(1, pty.slavePath().c_str(), 9600, 'N', 8, 1), 0);
    unsigned char byte = 0;
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);
}

TEST_F(UartTest, LoneLineFeedsGoOutAsCarriageReturnLineFeed) {
    openPort(1);
    struct Case {
        const char* text;
        const char* wire;
    };
    const Case cases[] = {
        {"A\nB", "A\r\nB"},
        {"A\r\nB", "A\r\nB"},
        {"\n$JOFF\n$JSAVE\n", "\r\n$JOFF\r\n$JSAVE\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"\r\r\n", "\r\r\n"},
        {"$JI", "$JI"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const std::string wire = c.wire;
        const long before = writeCalls();
        EXPECT_EQ(UartPutString(1, c.text), static_cast<int>(wire.size())) << c.wire;
        // The whole line in one system call, not one per byte.
        if (before >= 0) {
            EXPECT_EQ(writeCalls() - before, wire.empty() ? 0 : 1) << c.wire;
        }
        EXPECT_EQ(pty.read(wire.size(), 5s), wire);
    }
}

TEST_F(UartTest, FormattedStringGoesOutWithCarriageReturns) {
    openPort(1);
    EXPECT_EQ(UartPutStringFormatted(1, "$JASC,GPGGA,%f\n", 5.0), 22);
    EXPECT_EQ(pty.read(22, 5s), "$JASC,GPGGA,5.000000\r\n");
}

TEST_F(UartTest, FormattedStringLongerThan127CharactersIsCutAt127) {
    openPort(1);
    const std::string longText(200, 'x');
    EXPECT_EQ(UartPutStringFormatted(1, "$%s\n", longText.c_str()), 127);
    EXPECT_EQ(UartPutString(1, "#"), 1);  // marks the end of what was sent
    EXPECT_EQ(pty.readUntil("#", 5s), "$" + std::string(126, 'x') + "#");
    const std::string exact(126, 'y');  // with its LF: exactly 127 characters
    EXPECT_EQ(UartPutStringFormatted(1, "%s\n", exact.c_str()), 128);
    EXPECT_EQ(pty.read(128, 5s), exact + "\r\n");
}

TEST_F(UartTest, BytesAreWrittenAsTheyAre) {
    openPort(1);
    const unsigned char bytes[] = {'$', 'B', 'I', 'N', 0x00, 0x0A, 0xFF};
    EXPECT_EQ(UartPutBytes(1, bytes, sizeof bytes), UART_SUCCESS);
    EXPECT_EQ(UartPutByte(1, 0x0A), UART_SUCCESS);  // no CR here
    EXPECT_EQ(pty.read(8, 5s), std::string("$BIN\0\n\xFF\n", 8));
}

TEST_F(UartTest, DeviceThatCannotBeOpenedGivesNoBytesAndFailedWrites) {
    EXPECT_EQ(UartInit(1, "/nonexistent/ttyO9", rx, tx, 512, 512), 1);
    unsigned char byte = 0;
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);
    EXPECT_EQ(UartPutByte(1, 'x'), UART_WRITE_FAILED);
    EXPECT_EQ(UartPutString(1, "$JI\n"), 0);
    EXPECT_EQ(UartSetup(1, "/nonexistent/ttyO9", 57600, 'N', 8, 1), 1);
    // A later set-up that succeeds brings the port back.
    EXPECT_EQ(UartSetup(1, pty.slavePath().c_str(), 57600, 'N', 8, 1), 0);
    EXPECT_EQ(UartPutString(1, "ok"), 2);
    EXPECT_EQ(pty.read(2, 5s), "ok");
}

// Only a terminal is taken for a serial line; why another path failed is kept.
TEST_F(UartTest, PathThatIsNotATerminalIsRefusedAndTheReasonKept) {
    char dir[] = "/tmp/uarttest.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string file = std::string(dir) + "/file", fifo = std::string(dir) + "/fifo";
    std::ofstream(file) << "data";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const struct {
        std::string path;
        int result, error;
    } cases[] = {{file, 1, ENOTTY},        {fifo, 1, ENOTTY},  {"/dev/null", 1, ENOTTY},
                 {"/dev/zero", 1, ENOTTY}, {dir, 1, ENOTTY},   {"/nonexistent/ttyO9", 1, ENOENT},
                 {pty.slavePath(), 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, UartSetup(1, c.path.c_str(), 57600, 'N', 8, 1)) << c.path;
        EXPECT_EQ(c.error, iUartGetError(1)) << c.path;
        EXPECT_EQ(c.result == 0, iUartGetFd(1) >= 0) << c.path;
    }
    unlink(file.c_str());
    unlink(fifo.c_str());
    rmdir(dir);
}

TEST_F(UartTest, PortNumbersOtherThanOneAndTwoAddressUartOne) {
    TestSupport::Pty second;
    openPort(1);
    unsigned char rx2[16] = {};
    ASSERT_EQ(UartInit(2, second.slavePath().c_str(), rx2, tx, 16, 16), 0);
    EXPECT_EQ(UartPutString(7, "seven"), 5);
    EXPECT_EQ(UartPutString(0, "zero"), 4);
    EXPECT_EQ(UartPutString(-1, "minus"), 5);
    EXPECT_EQ(UartPutString(2, "two"), 3);
    EXPECT_EQ(pty.read(14, 5s), "sevenzerominus");
    EXPECT_EQ(second.read(3, 5s), "two");
    second.write("r");
    SlavePeek peek(second.slavePath());
    ASSERT_TRUE(peek.waitReadable(5s));
    unsigned char byte = 0;
    EXPECT_EQ(UartGetByte(7, &byte), UART_NO_BYTE);  // UART 1 has nothing
    EXPECT_EQ(UartGetByte(2, &byte), UART_SUCCESS);
    EXPECT_EQ(byte, 'r');
}

TEST_F(UartTest, BaudRatesMapToTermiosSpeedsAndOthersTo19200) {
    const struct {
        unsigned int baud;
        speed_t speed;
    } cases[] = {{4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
                 {57600, B57600}, {115200, B115200}, {0, B19200},   {1200, B19200}};
    SlavePeek peek(pty.slavePath());
    for (const auto& c : cases) {
        ASSERT_EQ(UartSetup(1, pty.slavePath().c_str(), c.baud, 'E', 7, 2), 0);
        const termios tio = peek.settings();
        EXPECT_EQ(cfgetospeed(&tio), c.speed) << c.baud;
        EXPECT_EQ(cfgetispeed(&tio), c.speed) << c.baud;
    }
}

TEST_F(UartTest, PortIsRaw8N1WithReadsThatReturnAtOnce) {
    ASSERT_EQ(UartSetup(1, pty.slavePath().c_str(), 38400, 'E', 7, 2), 0);  // parity etc. not used
    const termios tio = SlavePeek(pty.slavePath()).settings();
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | INLCR), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

// A line whose peer takes nothing (nobody reads the pty) fills up: writes
// then return with what went out instead of waiting for room.
TEST_F(UartTest, WriteToALineThatTakesNothingDoesNotWait) {
    openPort(1);
    const std::string piece(200, 'x');
    bool full = false;
    for (int i = 0; i < 20000 && !full; ++i) full = UartPutString(1, piece.c_str()) < static_cast<int>(piece.size());
    EXPECT_TRUE(full) << "4 MB taken by a line nobody reads";
    EXPECT_EQ(UART_WRITE_FAILED, UartPutByte(1, 'y'));
}

TEST_F(UartTest, RepeatedSetUpReopensWithoutLeakingDescriptors) {
    openPort(1);
    const int before = openDescriptors();
    for (int i = 0; i < 50; ++i) ASSERT_EQ(UartSetup(1, pty.slavePath().c_str(), 57600, 'N', 8, 1), 0);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(UartPutString(1, "$JI\n"), 5);
    EXPECT_EQ(pty.read(5, 5s), "$JI\r\n");
}

std::vector<std::string> hooked;
void recordHook(int /*port*/, char direction, const unsigned char* data, int length) {
    hooked.push_back(std::string(1, direction) + " " + std::string(reinterpret_cast<const char*>(data), length));
}

TEST_F(UartTest, TheTraceHookSeesEachWriteAndEachReadOfTheDevice) {
    openPort(1);
    hooked.clear();
    UartSetTraceHook(recordHook);
    EXPECT_EQ(UartPutString(1, "$JI\n"), 5);
    receive("AB");
    unsigned char byte = 0;
    EXPECT_EQ(UartGetByte(1, &byte), UART_SUCCESS);
    EXPECT_EQ(UartGetByte(1, &byte), UART_SUCCESS);  // from the ring: no read
    EXPECT_EQ(UartGetByte(1, &byte), UART_NO_BYTE);  // a read that brought nothing
    UartSetTraceHook(nullptr);
    EXPECT_EQ(UartPutString(1, "$JT\n"), 5);
    EXPECT_EQ(hooked, (std::vector<std::string>{"> $JI\r\n", "< AB"}));
}

// The trace lines UartTraceBytes writes on standard error for these calls,
// each without its time.
std::vector<std::string> traceLines(const std::vector<std::pair<char, std::string>>& calls) {
    int p[2];
    if (pipe(p) != 0) return {};
    const int savedStderr = dup(STDERR_FILENO);
    dup2(p[1], STDERR_FILENO);
    for (const auto& call : calls)
        UartTraceBytes(1, call.first, reinterpret_cast<const unsigned char*>(call.second.data()),
                       static_cast<int>(call.second.size()));
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    close(p[1]);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(p[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(n));
    close(p[0]);
    std::vector<std::string> lines;
    const std::regex stamped(" *[0-9]+ (.*)");
    std::smatch field;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        lines.push_back(std::regex_match(line, field, stamped) ? field[1].str() : "unstamped: " + line);
    }
    return lines;
}

// A binary frame: "$BIN", number and length little-endian, `length` data
// bytes, checksum.
std::string binFrame(unsigned number, unsigned length) {
    std::string frame = "$BIN";
    for (const unsigned v : {number, length}) {
        frame += static_cast<char>(v & 0xff);
        frame += static_cast<char>(v >> 8);
    }
    frame += std::string(length, '\x01');
    frame += static_cast<char>(length & 0xff);
    frame += static_cast<char>(length >> 8);
    return frame;
}

TEST(UartTraceTest, BytesAreWrittenOutAndBinaryFramesShortenedToTheirHeader) {
    const std::string bin1 = binFrame(1, 52);
    const std::string bin99 = binFrame(99, 300);
    EXPECT_EQ(traceLines({{'>', "$JI\r\n"},
                          {'<', std::string("$GPGGA,{\\\t\x1b\xff\0,*7A\r\n", 19)},
                          {'<', bin1 + "\r\n"},
                          {'<', "$>JI,1\r\n" + bin1.substr(0, 20)},
                          {'<', bin1.substr(20) + "\r\n$GP"},
                          {'<', bin99.substr(0, 100)},
                          {'<', bin99.substr(100, 100)},
                          {'<', bin99.substr(200) + binFrame(1, 52)},
                          {'<', "$BI"},
                          {'<', binFrame(5, 2)},
                          {'<', binFrame(1, 503).substr(0, 10)}}),
              (std::vector<std::string>{
                  "> $JI\\r\\n",
                  "< $GPGGA,\\x7b\\\\\\t\\x1b\\xff\\x00,*7A\\r\\n",
                  "< {$BIN1 len 52}\\r\\n",
                  "< $>JI,1\\r\\n{$BIN1 len 52}",
                  "< {rest of $BIN1: 42 bytes}\\r\\n$GP",
                  "< {$BIN99 len 300}",
                  "< {rest of $BIN99: 100 bytes}",
                  "< {rest of $BIN99: 110 bytes}{$BIN1 len 52}",
                  "< $BI",
                  "< $BIN\\x05\\x00\\x02\\x00\\x01\\x01\\x02\\x00",   // no such message
                  "< $BIN\\x01\\x00\\xf7\\x01\\x01\\x01",            // longer than a frame can be
              }));
}

} // namespace

