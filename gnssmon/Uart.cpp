#include "gnssmon/Uart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Both ports start not open. Descriptors start at -1 so that a port that was
// never set up is never read or written (descriptor 0 is standard input).
_UART_PORT UartPorts[UART_PORT_COUNT] = {
    {{nullptr, 0, 0, 0, 0}, -1, false, 0, false},
    {{nullptr, 0, 0, 0, 0}, -1, false, 0, false},
};

// Larger than the largest receive ring, so one read can fill an empty ring.
constexpr int UART_READ_CHUNK = 1024;

// UartPutString composes its output in pieces of this size (room for a
// command line of 127 characters with a CR before every LF).
constexpr int UART_STRING_CHUNK = 256;

UartTraceHook UartTrace = nullptr;

_UART_PORT& UartEntry(int port) { return UartPorts[(port == 1 || port == 2) ? port - 1 : 0]; }

// Every write() of the UART, so that the trace hook sees each one.
ssize_t UartWrite(int port, const unsigned char* data, int length) {
    const ssize_t n = write(UartEntry(port).iFd, data, static_cast<size_t>(length));
    if (n > 0 && UartTrace != nullptr) UartTrace(port, '>', data, static_cast<int>(n));
    return n;
}

// Writes `length` bytes, writing on after a short write; stops at the first
// write that fails. Returns the number of bytes written.
int UartWriteAll(int port, const unsigned char* data, int length) {
    const _UART_PORT& entry = UartEntry(port);
    if (!entry.bOpen) return 0;
    int done = 0;
    while (done < length) {
        const ssize_t n = UartWrite(port, data + done, length - done);
        if (n <= 0) break;
        done += static_cast<int>(n);
    }
    return done;
}

speed_t UartSpeed(unsigned int baud) {
    switch (baud) {
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B19200;
    }
}

// Closes a device that opened but cannot serve as the UART.
int UartSetupFailed(_UART_PORT& entry, int error) {
    close(entry.iFd);
    entry.iFd = -1;
    entry.iError = error;
    return 1;
}

} // namespace

void UartSetTraceHook(UartTraceHook hook) { UartTrace = hook; }

int UartInit(int port, const char* device, unsigned char* rxStorage, unsigned char* /*txStorage*/,
             int rxLength, int /*txLength*/) {
    BufferInit(&UartEntry(port).RxRing, rxStorage, rxLength > UART_RX_RING_MAX ? UART_RX_RING_MAX : rxLength);
    return UartSetup(port, device, 19200, 'N', 8, 1);
}

int UartSetup(int port, const char* device, unsigned int baud, char /*parity*/, int /*dataBits*/,
              int /*stopBits*/) {
    _UART_PORT& entry = UartEntry(port);
    if (entry.bOpen) {
        close(entry.iFd);
        entry.iFd = -1;
        entry.bOpen = false;
    }
    const speed_t speed = UartSpeed(baud);

    // O_NONBLOCK, and it stays: on a real serial port whose carrier-detect
    // line is low a blocking open waits for carrier (until CLOCAL is set,
    // which can be for ever), and a write to a line that takes nothing (flow
    // control, a peer that does not read) would wait as long. What the line
    // cannot take at once is not sent.
    entry.iFd = device != nullptr ? open(device, O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
    if (entry.iFd < 0) {
        // A file that exists but cannot be opened for writing is no more a
        // serial line than one that can.
        struct stat st;
        entry.iError = device == nullptr ? ENOENT : errno;
        if (device != nullptr && stat(device, &st) == 0 && !S_ISCHR(st.st_mode)) entry.iError = ENOTTY;
        return 1;
    }
    // Anything but a terminal (a file, a FIFO, /dev/null) would take the
    // commands as data and ignore the settings that keep reads from waiting.
    if (!isatty(entry.iFd)) return UartSetupFailed(entry, ENOTTY);

    // Raw 8N1: no parity, one stop bit, receiver on, modem lines ignored (no
    // hang-up on close); no echo, no line editing, no signals, no output
    // processing. VMIN = VTIME = 0: a read returns at once with what is there.
    termios tio;
    std::memset(&tio, 0, sizeof tio);
    tio.c_iflag = IGNPAR;
    tio.c_oflag = 0;
    tio.c_cflag = speed | CS8 | CREAD | CLOCAL;
    tio.c_lflag = 0;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcflush(entry.iFd, TCIFLUSH);
    if (tcsetattr(entry.iFd, TCSANOW, &tio) != 0) return UartSetupFailed(entry, errno);

    entry.bOpen = true;
    entry.bRxDry = false;
    entry.iError = 0;
    return 0;
}

int iUartGetError(int port) { return UartEntry(port).iError; }

int iUartGetFd(int port) {
    const _UART_PORT& entry = UartEntry(port);
    return entry.bOpen ? entry.iFd : -1;
}

bool bUartGetRxPending(int port) { return !BufferIsEmpty(&UartEntry(port).RxRing); }

bool bUartGetRxDry(int port) { return UartEntry(port).bRxDry; }

int UartGetByte(int port, unsigned char* out) {
    _UART_PORT& entry = UartEntry(port);
    unsigned char byte = 0;
    if (!BufferIsEmpty(&entry.RxRing)) {
        byte = BufferGetByte(&entry.RxRing);
        if (out != nullptr) *out = byte;
        return UART_SUCCESS;
    }
    if (entry.iFd < 0) return UART_NO_BYTE;
    // The ring is empty here, so a read of at most its capacity always fits.
    unsigned char chunk[UART_READ_CHUNK];
    int want = entry.RxRing.iSize;
    if (want < 1) want = 1;
    if (want > UART_READ_CHUNK) want = UART_READ_CHUNK;
    const ssize_t got = read(entry.iFd, chunk, static_cast<size_t>(want));
    if (got < 0) {
        entry.bRxDry = false;
        return UART_READ_FAILED;
    }
    entry.bRxDry = got < want;
    if (got == 0) return UART_NO_BYTE;
    if (UartTrace != nullptr) UartTrace(port, '<', chunk, static_cast<int>(got));
    for (ssize_t i = 1; i < got; ++i) BufferPutByte(&entry.RxRing, chunk[i]);
    if (out != nullptr) *out = chunk[0];
    return UART_SUCCESS;
}

int UartGetBytes(int port, unsigned char* buffer, int count) {
    if (buffer == nullptr) return 0;
    int stored = 0;
    while (stored < count && UartGetByte(port, &buffer[stored]) == UART_SUCCESS) ++stored;
    return stored;
}

int UartPutByte(int port, unsigned char byte) { return UartPutBytes(port, &byte, 1); }

int UartPutBytes(int port, const unsigned char* data, int length) {
    const _UART_PORT& entry = UartEntry(port);
    if (!entry.bOpen || data == nullptr || length < 0) return UART_WRITE_FAILED;
    if (length == 0) return UART_SUCCESS;
    return UartWrite(port, data, length) < 0 ? UART_WRITE_FAILED : UART_SUCCESS;
}

int UartPutString(int port, const char* text) {
    if (text == nullptr) return 0;
    // The text goes out with one write() per piece of UART_STRING_CHUNK
    // bytes (every command line fits one piece), not one per byte.
    unsigned char piece[UART_STRING_CHUNK];
    int used = 0;
    int written = 0;
    unsigned char previous = 0;  // last byte put in the output
    for (const char* p = text;; ++p) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte == '\0' || used > UART_STRING_CHUNK - 2) {
            const int sent = UartWriteAll(port, piece, used);
            written += sent;
            if (sent < used || byte == '\0') return written;
            used = 0;
        }
        if (byte == '\n' && previous != '\r') piece[used++] = '\r';
        piece[used++] = byte;
        previous = byte;
    }
}

int UartPutStringFormatted(int port, const char* format, ...) {
    if (format == nullptr) return 0;
    char text[UART_FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0) return 0;
    // vsnprintf has cut anything beyond 127 characters and terminated the text.
    return UartPutString(port, text);
}
