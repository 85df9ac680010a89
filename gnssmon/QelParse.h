#pragma once
// Binary message parser: frames the receiver's "$BIN" messages.
//
// Frame, little-endian (offsets from the "$"):
//   0  4  "$BIN"
//   4  2  message number: 1, 2, 97, 98 or 99 (others are dropped)
//   6  2  data length N
//   8  N  data
//   8+N 2 checksum: sum of the N data bytes, modulo 65536
// A whole frame holds at most QEL_PARSE_MAX_FRAME bytes (N up to 502).
// Bytes after the checksum are ignored until the next "$"; a "$" inside a
// frame is data. A frame with a correct checksum moves the good-message tick
// and is handed to GpsTranslateBinMsg (GpsTranslateBinMsg.h).
//
// Four receiver instances, 0 to 3, as in the GPS database and the NMEA
// parser. Calls with another instance number are ignored (getters give 0).
// Not re-entrant: the current instance is module state.

#include <cstdint>

#define QEL_PARSE_INSTANCES 4
#define QEL_PARSE_MAX_FRAME 512
#define QEL_PARSE_HEADER 8
#define QEL_PARSE_MAX_DATA (QEL_PARSE_MAX_FRAME - QEL_PARSE_HEADER - 2)

struct _QEL_PARSE_STATE {
    uint32_t dwGoodMsgTick;  // tick of the last frame with a right checksum, 0 after init
    uint32_t dwChrCnt;       // bytes received
    uint16_t wGpsUtcDiff;    // GPS-minus-UTC seconds from the last message 2
    unsigned char RxBuf[QEL_PARSE_MAX_FRAME];   // the frame being received
    unsigned char MsgBuf[QEL_PARSE_MAX_FRAME];  // copy of the last complete frame
    uint16_t wCount;         // index of the last byte stored in RxBuf
    uint16_t wExpected;      // frame length expected, checksum included
    bool bInMessage;         // inside a frame
};

extern "C" {
// The first call ever resets all four instances; every call resets `instance`.
void QelParseInit(int instance);
// Feeds one byte. Result 1 when it completed a frame whose checksum is right,
// else 0.
int QelParseProcessChrIn(int instance, unsigned char byte);
// Tick of the last frame with a right checksum (0 = none yet).
uint32_t dwQelParseGetGoodMsgTick(int instance);
// Bytes fed to the instance since its reset.
uint32_t dwQelParseGetChrCnt(int instance);
}

// Counters and frame state of `instance` back to their start.
void QelParseInitVars(int instance);

// For the translators: the instance whose byte was processed last, and its
// parser record (null for an instance outside 0 to 3).
int iQelParseGetCurrentInstance();
_QEL_PARSE_STATE* pQelParseGetState(int instance);
