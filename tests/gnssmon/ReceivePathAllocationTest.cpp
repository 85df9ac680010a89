// The receive path allocates nothing: a long mixed receiver stream goes from a
// pseudo-terminal through GmsProcess (UART ring, both parsers, the GPS
// database, the configuration steps that run meanwhile) while every heap
// allocation of this process is counted.
//
// This binary replaces the global allocation functions: operator new in all
// its forms and, where no sanitizer owns them, malloc, calloc, realloc and
// the aligned allocators (forwarded to the C library's own). Counting is
// switched on only around the GmsProcess calls; the test's own bookkeeping
// (writing the pty, gtest) happens with it off.
//
// The millisecond tick is frozen and moved on 5 ms per GmsProcess call, as
// the monitor's polling does: the configuration sequence advances the same
// way on a slow machine or under emulation, and never reaches the search
// step that would reopen the port and drop what is queued on it.

#include "gnssmon/Gms.h"
#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"
#include "tests/gnssmon/MixedStream.h"
#include "tests/support/Pty.h"
#include "tools/nmeareplay/Replayer.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>

// The C allocator is counted too, so that a library call on the path
// (formatting, conversions, time zones) that allocates is caught as well.
// Under AddressSanitizer the sanitizer owns it; only operator new is counted.
#if defined(__SANITIZE_ADDRESS__)
#define RECEIVE_PATH_COUNTS_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RECEIVE_PATH_COUNTS_MALLOC 0
#endif
#endif
#ifndef RECEIVE_PATH_COUNTS_MALLOC
#define RECEIVE_PATH_COUNTS_MALLOC 1
#endif

#if RECEIVE_PATH_COUNTS_MALLOC
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

inline void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

// Memory from the C library without counting it a second time.
void* rawAllocate(std::size_t n, std::size_t alignment)
{
#if RECEIVE_PATH_COUNTS_MALLOC
    return alignment ? __libc_memalign(alignment, n) : __libc_malloc(n);
#else
    void* p = nullptr;
    if (alignment == 0) return std::malloc(n);
    return posix_memalign(&p, alignment, n) == 0 ? p : nullptr;
#endif
}

void* allocate(std::size_t n, std::size_t alignment = 0)
{
    noteAllocation();
    if (alignment != 0 && alignment < sizeof(void*)) alignment = sizeof(void*);
    if (void* p = rawAllocate(n ? n : 1, alignment)) return p;
    throw std::bad_alloc();
}

} // namespace

// ---- replaced global allocation functions ------------------------------------------

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#if RECEIVE_PATH_COUNTS_MALLOC
extern "C" {
void* malloc(std::size_t n)
{
    noteAllocation();
    return __libc_malloc(n);
}
void* calloc(std::size_t count, std::size_t n)
{
    noteAllocation();
    return __libc_calloc(count, n);
}
void* realloc(void* p, std::size_t n)
{
    noteAllocation();
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
void* aligned_alloc(std::size_t alignment, std::size_t n)
{
    noteAllocation();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n)
{
    noteAllocation();
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}
#endif

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kStreamBytes = 512 * 1024;
constexpr std::size_t kChunk = 1024;       // well inside the pty's queue
constexpr uint32_t kStartTick = 100000;
constexpr uint32_t kPollMs = 5;

// Counts allocations inside `f`.
template <typename F>
long allocationsDuring(F f)
{
    const long before = allocations.load();
    counting = true;
    f();
    counting = false;
    return allocations.load() - before;
}

// Takes what the manager wrote to the receiver.
void drain(int fd, std::string& into)
{
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    ssize_t n;
    while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && (n = ::read(fd, buf, sizeof buf)) > 0)
        into.append(buf, static_cast<std::size_t>(n));
}

TEST(ReceivePathAllocation, CountingSeesAnAllocationMadeWhileOn)
{
    // Without this the zero below could come from a counter that never runs.
    int* volatile kept = nullptr;
    const long newCount = allocationsDuring([&] { kept = new int(7); });
    delete kept;
    EXPECT_EQ(newCount, 1);
#if RECEIVE_PATH_COUNTS_MALLOC
    void* volatile block = nullptr;
    const long mallocCount = allocationsDuring([&] { block = std::malloc(64); });
    std::free(block);
    EXPECT_EQ(mallocCount, 1);
#endif
}

TEST(ReceivePathAllocation, LongMixedStreamThroughGmsProcessAllocatesNothing)
{
    const MixedStream::Stream stream = MixedStream::generate(kStreamBytes);
    TestSupport::Pty pty;

    _GPS_MGR_SERIAL_SETUP setup{};
    setup.iPort = 1;
    setup.pszDevice = pty.slavePath().c_str();
    setup.dwBaud = 57600;
    setup.cParity = 'N';
    setup.iDataBits = 8;
    setup.iStopBits = 1;
    setup.iBin1Rate = 20;  // the configuration steps that run meanwhile format these
    setup.iBin2Rate = 1;
    setup.fGgaRate = 10.0f;
    setup.iVtgRate = 10;
    setup.iGstRate = 10;
    setup.iHerotRate = 10;
    setup.iHehdgRate = 10;

    uint32_t tick = kStartTick;
    TimerForTestOnlyFreeze(tick);
    ASSERT_EQ(iGmsInit(0, &setup), 0);

    std::size_t sent = 0;
    std::string written;
    // Feeds `bytes` through the pty and GmsProcess; the allocations counted.
    const auto feed = [&](const std::string& bytes) {
        long counted = 0;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min(kChunk, bytes.size() - at);
            pty.write(bytes.substr(at, n));
            at += n;
            sent += n;
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (dwNmeaParseGetChrCnt(0) < sent && std::chrono::steady_clock::now() < deadline) {
                counted += allocationsDuring([] { GmsProcess(); });
                tick += kPollMs;
                TimerForTestOnlyFreeze(tick);
            }
            EXPECT_EQ(dwNmeaParseGetChrCnt(0), sent) << "the stream stopped reaching the parsers";
            drain(pty.master(), written);
        }
        return counted;
    };
    const long counted = feed(stream.bytes);
    EXPECT_EQ(counted, 0) << "heap allocations on the receive path";
    // The stream went through whole and was decoded.
    EXPECT_EQ(dwQelParseGetChrCnt(0), stream.bytes.size());
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), stream.lastLat);
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLon(0), stream.lastLon);
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "SIM325");
    // The whole configuration sequence ran inside the counted calls.
    EXPECT_NE(written.find("$JASC,GPGGA,10.000000\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("$JBAUD,57600,PORTD\r\n"), std::string::npos) << written;

    // Then message 1 stops and a real receiver's NMEA takes over: positions,
    // every constellation's satellites and their cycles, 4.10 signal IDs.
    tick += BIN_MSG1_QUIET_MS;
    std::string capture;
    for (const std::string& line : NmeaReplay::captureLines(std::string(VELTRIO_CAPTURES_DIR) + "/quectel-eg25-g.log"))
        capture += line + "\r\n";
    EXPECT_EQ(feed(capture), 0) << "heap allocations on the receive path of NMEA positions and satellites";
    TimerForTestOnlyThaw();
    EXPECT_NEAR(dGpsDbGetRawLat(0), 36.7638, 0.001);  // where the capture was taken
    EXPECT_GT(iGpsDbGetSatelliteCount(0), 20);
}

} // namespace
