#include "gnssmon/QelParse.h"

#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/LittleEndian.h"
#include "gnssmon/TimeServices.h"

#include <cstring>

// Frame collector. Per instance, outside a frame or collecting:
//   "$" outside a frame starts one at offset 0; other bytes are ignored.
//   offset 3   the frame must begin "$BIN", else it is dropped;
//   offset 7   the message number must be 1, 2, 97, 98 or 99 and the data
//              length must leave the frame within 512 bytes, else it is
//              dropped; the frame length is now known;
//   last byte  the checksum is compared: right, the frame is translated.
// A dropped frame returns to "outside", so the next "$" resynchronises.
// Each byte costs the same except the last one of a frame (checksum and
// translation).
//
// The length is checked as soon as it arrives: a length near 65535 would
// otherwise wrap the 16-bit frame length to a small number and the checksum
// would be summed far past the end of the receive buffer.

namespace {

_QEL_PARSE_STATE states[QEL_PARSE_INSTANCES];
bool initialised = false;
int currentInstance = 0;

bool validInstance(int instance)
{
    return instance >= 0 && instance < QEL_PARSE_INSTANCES;
}

bool acceptedMessage(uint16_t number)
{
    return number == 1 || number == 2 || number == 97 || number == 98 || number == 99;
}

void dropFrame(_QEL_PARSE_STATE& s)
{
    s.wCount = 0;
    s.bInMessage = false;
}

// The whole frame is in RxBuf: compare the checksum, translate when right.
int completeFrame(_QEL_PARSE_STATE& s)
{
    s.bInMessage = false;
    std::memcpy(s.MsgBuf, s.RxBuf, s.wExpected);
    const uint16_t length = wGetLe16(s.RxBuf + 6);
    const unsigned char* data = s.RxBuf + QEL_PARSE_HEADER;
    uint16_t sum = 0;
    for (uint16_t i = 0; i < length; ++i) sum = static_cast<uint16_t>(sum + data[i]);
    if (sum != wGetLe16(data + length)) return 0;

    s.dwGoodMsgTick = TimerTick();
    GpsTranslateBinMsg();
    std::memset(s.RxBuf, 0, sizeof s.RxBuf);
    return 1;
}

} // namespace

void QelParseInitVars(int instance)
{
    if (!validInstance(instance)) return;
    _QEL_PARSE_STATE& s = states[instance];
    s.dwGoodMsgTick = 0;
    s.dwChrCnt = 0;
    s.wGpsUtcDiff = 0;
    s.wCount = 0;
    s.bInMessage = false;
    GpsTranslateBinMsgInit(instance);
}

extern "C" void QelParseInit(int instance)
{
    if (!initialised) {
        for (int i = 0; i < QEL_PARSE_INSTANCES; ++i) QelParseInitVars(i);
        initialised = true;
    }
    QelParseInitVars(instance);
}

extern "C" int QelParseProcessChrIn(int instance, unsigned char byte)
{
    if (!validInstance(instance)) return 0;
    currentInstance = instance;
    _QEL_PARSE_STATE& s = states[instance];
    ++s.dwChrCnt;

    if (!s.bInMessage) {
        if (byte == '$') {
            s.wCount = 0;
            s.bInMessage = true;
            s.wExpected = QEL_PARSE_MAX_FRAME;
            s.RxBuf[0] = byte;
        }
        return 0;
    }

    if (++s.wCount >= QEL_PARSE_MAX_FRAME) {
        dropFrame(s);
        return 0;
    }
    s.RxBuf[s.wCount] = byte;

    if (s.wCount == 3 && std::memcmp(s.RxBuf, "$BIN", 4) != 0) {
        dropFrame(s);
        return 0;
    }
    if (s.wCount == 7) {
        const uint16_t length = wGetLe16(s.RxBuf + 6);
        if (!acceptedMessage(wGetLe16(s.RxBuf + 4)) || length > QEL_PARSE_MAX_DATA) {
            dropFrame(s);
            return 0;
        }
        s.wExpected = static_cast<uint16_t>(length + QEL_PARSE_HEADER + 2);
    }
    if (s.wCount == s.wExpected - 1) return completeFrame(s);
    return 0;
}

extern "C" uint32_t dwQelParseGetGoodMsgTick(int instance)
{
    return validInstance(instance) ? states[instance].dwGoodMsgTick : 0;
}

extern "C" uint32_t dwQelParseGetChrCnt(int instance)
{
    return validInstance(instance) ? states[instance].dwChrCnt : 0;
}

int iQelParseGetCurrentInstance()
{
    return currentInstance;
}

_QEL_PARSE_STATE* pQelParseGetState(int instance)
{
    return validInstance(instance) ? &states[instance] : nullptr;
}
