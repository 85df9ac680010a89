#pragma once
// Byte-level access to the receiver's serial ports through raw termios.
//
// Two ports: UART 1 and UART 2. Port number 1 or 2 selects that port; any
// other number selects UART 1. A port is always run raw 8N1 with VMIN and
// VTIME 0 on a non-blocking descriptor, so neither reads nor writes wait:
// what a line cannot take at once (a peer that does not read) is not sent. Reception goes through the port's receive
// ring: one read() of the device fetches a whole burst when the ring is empty,
// and later calls hand it out byte by byte.
//
// Nothing here allocates or prints (a trace hook, when one is set, prints).
// Single-threaded: the port table is not protected.

#include "gnssmon/Buffer.h"

#include <cstdint>

// Called with the bytes of every read() and every write() of a device:
// direction '<' read, '>' written. Null (the default): not called.
typedef void (*UartTraceHook)(int port, char direction, const unsigned char* data, int length);
void UartSetTraceHook(UartTraceHook hook);

// Result codes of the UART calls.
constexpr int UART_SUCCESS = 0;
constexpr int UART_READ_FAILED = 1;          // read() of the device failed
constexpr int UART_WRITE_FAILED = -1001;     // write failed, or the port is not open
constexpr int UART_NO_BYTE = -2002;          // nothing received, or the device could not be opened

constexpr int UART_PORT_COUNT = 2;
constexpr int UART_RX_RING_MAX = 512;        // receive ring capacity cap, bytes
constexpr int UART_FORMAT_BUFFER = 128;      // UartPutStringFormatted: at most 127 characters

struct _UART_PORT {
    _BUFFER RxRing;  // receive ring over the caller's storage
    int32_t iFd;     // descriptor of the open device; negative when not open
    bool bOpen;      // the device is open and configured
    int32_t iError;  // errno of the last UartSetup that failed; 0 after one that succeeded
    bool bRxDry;     // the last read took less than it asked for: it emptied the device
};

// Sets the port's receive ring over `rxStorage` (`rxLength` bytes, capped at
// 512) and opens the device at 19200 baud 8N1 (see UartSetup). The transmit
// storage is not used: writes go straight to the device. The caller keeps the
// receive storage alive for as long as the port is used.
// Returns 0, or 1 when the device cannot be opened.
int UartInit(int port, const char* device, unsigned char* rxStorage, unsigned char* txStorage,
             int rxLength, int txLength);

// (Re)opens the device and configures it raw 8N1 at `baud`: 4800, 9600, 19200,
// 38400, 57600 or 115200; any other rate gives 19200. A port that was open is closed
// first. Pending input is discarded. Parity, data bits and stop bits are
// accepted and not used: the port is always 8N1.
// Returns 0, or 1 when the device cannot be opened or is not a terminal, or
// its terminal settings are refused (the port is then not open: reads give
// -2002 and writes -1001 until a later UartSetup succeeds, and
// iUartGetError says why). A path that exists but is not a terminal (a
// regular file, a FIFO, /dev/null) fails with ENOTTY, without a byte read
// from or written to it.
int UartSetup(int port, const char* device, unsigned int baud, char parity, int dataBits, int stopBits);

// Why the last UartSetup of the port failed (an errno value: ENOENT, EACCES,
// ENOTTY ...); 0 when it succeeded or none was made.
int iUartGetError(int port);

// Descriptor of the port's open device, for a caller that waits for input
// with poll(); -1 when the port is not open. It changes when UartSetup
// reopens the device.
int iUartGetFd(int port);

// Whether bytes already read from the device wait in the port's receive ring
// (poll() on the descriptor does not see those).
bool bUartGetRxPending(int port);

// Whether the last read of the device took less than it asked for, so that
// it found the device empty: a caller that has taken every byte of it need
// not read again to learn that nothing more is there (one read per burst).
bool bUartGetRxDry(int port);

// Fetches one received byte into *out without waiting.
// Returns 0 with a byte, -2002 when none is available (or the port is not
// open), 1 when reading the device failed. A port set up without UartInit
// has no receive ring and reads one byte per call.
int UartGetByte(int port, unsigned char* out);

// Fetches up to `count` bytes into `buffer`; stops at the first byte that is
// not available. Returns the number of bytes stored (never more than count).
int UartGetBytes(int port, unsigned char* buffer, int count);

// Writes one byte, or `length` bytes, with one write() (a short write is not
// retried). Returns 0, or -1001 when the port is not open or the write failed.
int UartPutByte(int port, unsigned char byte);
int UartPutBytes(int port, const unsigned char* data, int length);

// Writes the NUL-terminated text, every LF that does not follow a CR as CR LF
// (CR LF stays as it is), with one write() (a text longer than a command line
// in pieces of 256 bytes). Stops at the first write that fails or that the
// line does not take. Returns the
// number of bytes written, inserted CRs included.
int UartPutString(int port, const char* text);

// Formats like printf and writes the result with UartPutString.
// Contract: the formatted text is bounded to 127 characters (a 128-byte
// buffer with its NUL). Longer output is CUT after 127 characters and the
// rest is never sent; a formatting error sends nothing. Returns the number of
// bytes written, inserted CRs included.
int UartPutStringFormatted(int port, const char* format, ...) __attribute__((format(printf, 2, 3)));
