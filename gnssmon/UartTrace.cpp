#include "gnssmon/UartTrace.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const timespec TraceStart = [] {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}();

// Room for the longest read (1024 bytes, four characters each) and the stamp.
constexpr int TRACE_LINE_MAX = 4 * 1024 + 64;
char TraceLine[TRACE_LINE_MAX];

// The binary frame that the last read left unfinished.
int TraceFrameLeft = 0;
unsigned TraceFrameNumber = 0;

constexpr int BIN_HEADER = 8;    // "$BIN", number, length
constexpr int BIN_CHECKSUM = 2;
constexpr unsigned BIN_DATA_MAX = 502;

bool TraceIsBinNumber(unsigned number) {
    return number == 1 || number == 2 || number == 97 || number == 98 || number == 99;
}

int TraceEscape(char* out, unsigned char byte) {
    switch (byte) {
    case '\r': return std::sprintf(out, "\\r");
    case '\n': return std::sprintf(out, "\\n");
    case '\t': return std::sprintf(out, "\\t");
    case '\\': return std::sprintf(out, "\\\\");
    default:
        if (byte >= 0x20 && byte < 0x7f && byte != '{') {
            *out = static_cast<char>(byte);
            return 1;
        }
        return std::sprintf(out, "\\x%02x", byte);
    }
}

} // namespace

void UartTraceBytes(int /*port*/, char direction, const unsigned char* data, int length) {
    if (data == nullptr || length <= 0) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long ms = (now.tv_sec - TraceStart.tv_sec) * 1000L + (now.tv_nsec - TraceStart.tv_nsec) / 1000000L;
    int used = std::snprintf(TraceLine, TRACE_LINE_MAX, "%6ld %c ", ms, direction);
    const bool reading = direction == '<';

    int i = 0;
    if (reading && TraceFrameLeft > 0) {
        const int part = TraceFrameLeft < length ? TraceFrameLeft : length;
        used += std::snprintf(TraceLine + used, TRACE_LINE_MAX - used, "{rest of $BIN%u: %d bytes}", TraceFrameNumber,
                              part);
        TraceFrameLeft -= part;
        i = part;
    }
    while (i < length && used < TRACE_LINE_MAX - 64) {
        if (reading && length - i >= BIN_HEADER && std::memcmp(data + i, "$BIN", 4) == 0) {
            const unsigned number = data[i + 4] | (data[i + 5] << 8);
            const unsigned dataLength = data[i + 6] | (data[i + 7] << 8);
            if (TraceIsBinNumber(number) && dataLength <= BIN_DATA_MAX) {
                const int frame = BIN_HEADER + static_cast<int>(dataLength) + BIN_CHECKSUM;
                used += std::snprintf(TraceLine + used, TRACE_LINE_MAX - used, "{$BIN%u len %u}", number, dataLength);
                const int here = frame < length - i ? frame : length - i;
                TraceFrameLeft = frame - here;
                TraceFrameNumber = number;
                i += here;
                continue;
            }
        }
        used += TraceEscape(TraceLine + used, data[i]);
        ++i;
    }
    TraceLine[used++] = '\n';
    for (int done = 0; done < used;) {
        const ssize_t n = write(STDERR_FILENO, TraceLine + done, static_cast<size_t>(used - done));
        if (n <= 0) break;
        done += static_cast<int>(n);
    }
}
