#include "devices/AsioSerialDevice.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/Pty.h"

using namespace Veltrio::Common;
using namespace Veltrio::Devices;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::unique_ptr<AsioSerialDevice> openDevice(const TestSupport::Pty& pty, unsigned int timeoutMs) {
    return std::make_unique<AsioSerialDevice>(pty.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, timeoutMs);
}

std::string queued(AsioSerialDevice& device) { return device.getDataVector().str(); }

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A second descriptor on the slave side, to look at what the port driver set
// (termios and the input queue belong to the terminal, not to a descriptor).
class SlaveView {
public:
    explicit SlaveView(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK)) {
        if (fd < 0) throw std::runtime_error("cannot open " + path);
    }
    ~SlaveView() { ::close(fd); }
    termios settings() const {
        termios t{};
        tcgetattr(fd, &t);
        return t;
    }
    // Waits until the terminal holds `count` unread input bytes.
    bool waitForInput(int count, std::chrono::milliseconds limit) const {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int waiting = 0;
            ioctl(fd, FIONREAD, &waiting);
            if (waiting >= count) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

private:
    int fd;
};

} // namespace

TEST(AsioSerialDevice, OpenFailureNamesTheSystemError) {
    try {
        AsioSerialDevice device("/dev/does-not-exist-veltrio", BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, 100);
        FAIL() << "opened a missing port";
    } catch (const SerialOpenException& e) {
        EXPECT_EQ(std::string(e.what()), "Can not open file: /dev/does-not-exist-veltrio: No such file or directory");
    }
}

TEST(AsioSerialDevice, ReadReturnsOnFirstBytesBeforeTheDeadline) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 3000);
    device->injectData(std::string("old"));

    // The bytes come while the read is already waiting.
    std::thread talker([&pty] {
        std::this_thread::sleep_for(100ms);
        pty.write("abc");
    });
    const auto start = Clock::now();
    device->dataIn();
    const long long took = msSince(start);
    talker.join();

    EXPECT_EQ(queued(*device), "oldabc");
    EXPECT_LT(took, 2000) << "the read waited for its deadline instead of returning on the data";
}

TEST(AsioSerialDevice, SilentReadEndsAtTheDeadlineWithNothing) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 150);
    device->injectData(std::string("kept"));
    const auto start = Clock::now();
    device->dataIn();
    EXPECT_GE(msSince(start), 140); // the deadline clock and ours may differ by a tick
    EXPECT_EQ(queued(*device), "kept");
}

TEST(AsioSerialDevice, NoDeadlineWaitsForData) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 0);
    std::thread talker([&pty] {
        std::this_thread::sleep_for(50ms);
        pty.write("late");
    });
    device->dataIn();
    talker.join();
    EXPECT_EQ(queued(*device), "late");
}

TEST(AsioSerialDevice, OneReadDeliversAtMost1024Bytes) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 200);
    SlaveView view(pty.slavePath());
    std::string sent;
    for (int i = 0; i < 1500; ++i) sent.push_back(static_cast<char>('A' + i % 26));
    pty.write(sent);
    ASSERT_TRUE(view.waitForInput(1500, 5s));

    device->dataIn();
    EXPECT_EQ(device->getDataLength(), 1024u);
    device->dataIn();
    EXPECT_EQ(queued(*device), sent);
}

TEST(AsioSerialDevice, WriteEmptiesTheQueueFirstAndSendsEverything) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 100);
    device->injectData(std::string("stale answer"));
    device->dataOut(CharVector(std::string("SL+++")));
    EXPECT_EQ(device->getDataLength(), 0u);
    EXPECT_EQ(pty.read(5, 2s), "SL+++");

    const std::string big(3000, 'x');
    device->dataOut(big.data(), static_cast<unsigned int>(big.size()));
    EXPECT_EQ(pty.read(big.size(), 5s), big);

    device->dataOut("", 0); // nothing goes out, nothing fails
    EXPECT_EQ(pty.read(1, 100ms), "");
}

TEST(AsioSerialDevice, HangUpIsAReadErrorAndTheDeviceSurvivesIt) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 200);
    device->injectData(std::string("partial"));
    pty.closeSlave();
    pty.closeMaster();

    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            device->dataIn();
            FAIL() << "no error after the line hung up";
        } catch (const SerialReadException& e) {
            EXPECT_EQ(std::string(e.what()), "Can not open file: Error while reading data from AsioSerialDevice");
        }
    }
    EXPECT_EQ(queued(*device), "partial");
}

// After a failed read the deadline of that read must not linger in the
// device: reopened on a fresh line, a silent read still ends at its deadline
// instead of waiting for data for ever.
TEST(AsioSerialDevice, ReadAfterAFailedReadStillHasItsDeadline) {
    auto first = std::make_unique<TestSupport::Pty>();
    auto device = openDevice(*first, 200);
    first->closeSlave();
    first->closeMaster();
    EXPECT_THROW(device->dataIn(), SerialReadException);

    TestSupport::Pty second;
    device->initDevice(second.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, FLOW_CONTROL_HARDWARE);
    // The read runs on this thread, as in the first call; a watchdog releases
    // it with a byte if it does not end by itself.
    std::promise<void> done;
    auto finished = done.get_future();
    std::thread watchdog([&] {
        if (finished.wait_for(10s) != std::future_status::ready) second.write("x");
    });
    device->dataIn();
    done.set_value();
    watchdog.join();
    const bool ended = device->getDataLength() == 0;
    EXPECT_TRUE(ended) << "the silent read ignored its deadline";
}

TEST(AsioSerialDevice, WriteAfterHangUpNamesTheSystemError) {
    TestSupport::Pty pty;
    auto device = openDevice(pty, 100);
    pty.closeSlave();
    pty.closeMaster();
    try {
        device->dataOut("SL+++", 5);
        FAIL() << "write to a hung-up line succeeded";
    } catch (const SerialWriteException& e) {
        EXPECT_EQ(std::string(e.what()), "Can not open file: Input/output error");
    }
}

TEST(AsioSerialDevice, SettingsReachThePort) {
    struct Case {
        PORT_CONFIG_BAUD baud;
        PORT_CONFIG_STOPBITS stopBits;
        ASIO_FLOW_CONTROL flow;
        speed_t speed;
        bool twoStop, rtscts, xonxoff;
    };
    const Case cases[] = {
        {BAUD_9600, STOPBITS_1, FLOW_CONTROL_HARDWARE, B9600, false, true, false},
        {BAUD_115200, STOPBITS_2, FLOW_CONTROL_NONE, B115200, true, false, false},
        {BAUD_19200, STOPBITS_1, FLOW_CONTROL_SOFTWARE, B19200, false, false, true},
        // Values outside the named enumerators (still inside the enumerations' range)
        // fall back to one stop bit and RTS/CTS.
        {BAUD_57600, static_cast<PORT_CONFIG_STOPBITS>(3), static_cast<ASIO_FLOW_CONTROL>(3), B57600, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.baud << " baud, stop " << c.stopBits << ", flow " << c.flow);
        TestSupport::Pty pty;
        AsioSerialDevice device(pty.slavePath(), c.baud, BITS_8, PARITY_NONE, c.stopBits, c.flow, 100);
        const termios t = SlaveView(pty.slavePath()).settings();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.rtscts);
        EXPECT_EQ((t.c_iflag & IXON) != 0, c.xonxoff);
    }
}

// A Linux pseudo-terminal keeps neither PARENB nor the character size, but it
// keeps the input flags and PARODD, which tell the three parities apart:
// checked input for even and odd, ignored parity errors for none.
TEST(AsioSerialDevice, ParityReachesThePort) {
    struct Case {
        PORT_CONFIG_PARITY parity;
        bool checked, odd;
    };
    const Case cases[] = {
        {PARITY_EVEN, true, false},
        {PARITY_ODD, true, true},
        {PARITY_NONE, false, false},
        {static_cast<PORT_CONFIG_PARITY>('M'), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<char>(c.parity));
        TestSupport::Pty pty;
        AsioSerialDevice device(pty.slavePath(), BAUD_9600, BITS_8, c.parity, STOPBITS_1, 100);
        const termios t = SlaveView(pty.slavePath()).settings();
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.checked);
        EXPECT_EQ((t.c_iflag & IGNPAR) != 0, !c.checked);
        EXPECT_EQ((t.c_cflag & PARODD) != 0, c.odd);
    }
}

TEST(AsioSerialDevice, NineDataBitsAreRefusedByTheLibrary) {
    TestSupport::Pty pty;
    EXPECT_THROW(AsioSerialDevice(pty.slavePath(), BAUD_9600, BITS_9, PARITY_NONE, STOPBITS_1, 100), std::out_of_range);
}
