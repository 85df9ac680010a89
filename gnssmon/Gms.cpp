#include "gnssmon/Gms.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"
#include "gnssmon/Uart.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

// A 32-bit build of the board hands the set-up around as a 64-byte record.
static_assert(sizeof(void*) != 4 || sizeof(_GPS_MGR_SERIAL_SETUP) == 64, "set-up record layout");

namespace {

struct _GMS_BUF {
    unsigned char bInUse;
    int32_t iReceiver;
    int32_t iPort;
    unsigned char RxStorage[GMS_BUFFER_SIZE];
    unsigned char TxStorage[GMS_BUFFER_SIZE];
};

_GMS_BUF GmsBufs[GMS_LINK_BUFFERS];
_GPS_MGR_STATE GmsState[GMS_RECEIVERS];

gpsmode_t gOperatingMode = GPSMODE_WAAS;  // GPSMODE_NONE from the first iGmsInit on
void (*gOperatingModeCallback)() = nullptr;
bool gAutoseed = false;
int gPollIndex = 0;
bool gAppChangeResult = false;
bool gModeChangeResult = false;
bool gTablesInitialised = false;

// Pauses of the configuration sequence, ms.
constexpr uint32_t kProbeWait = 400;      // for the answer to "$JI"
constexpr uint32_t kRateChangeWait = 100;
constexpr uint32_t kBaudCmdWait = 50;
constexpr uint32_t kBaudFailWait = 1000;
constexpr uint32_t kSaveWait = 1200;      // "$JSAVE" writes the receiver's flash
constexpr uint32_t kCmdWait = 100;
constexpr uint32_t kLinkAliveMs = 5000;   // step 0 takes a message this recent as a found link
constexpr uint32_t kRestartWait = 3000;   // an application change reboots the receiver

// Command lines are composed in buffers of these sizes.
constexpr std::size_t kRateCmdSize = 64;
constexpr std::size_t kWaasPrnCmdSize = 52;

// Ticks wrap after 2^32 ms (about 49.7 days of uptime). Comparing by the
// signed difference keeps schedules right across the wrap: a plain `now <
// next` would stall a wait that straddles it for another 49 days. This holds
// for ticks less than 2^31 ms (24.8 days) apart, so a sequence that starts
// over takes the current tick as its schedule instead of an old one.
bool tickReached(uint32_t now, uint32_t target) { return static_cast<int32_t>(now - target) >= 0; }
bool tickNewer(uint32_t tick, uint32_t than) { return static_cast<int32_t>(tick - than) > 0; }

bool validReceiver(int receiver) { return receiver >= 0 && receiver < GMS_RECEIVERS; }

void send(int receiver, const char* text) { UartPutString(GmsState[receiver].Setup.iPort, text); }

// The search cycle 4800, 9600, 19200, 38400, 57600, 115200, 4800...; a rate
// out of the cycle starts it again at 4800.
uint32_t nextSearchBaud(uint32_t baud) {
    static const uint32_t cycle[] = {4800, 9600, 19200, 38400, 57600, 115200};
    constexpr std::size_t n = sizeof cycle / sizeof cycle[0];
    for (std::size_t i = 0; i < n; ++i)
        if (cycle[i] == baud) return cycle[(i + 1) % n];
    return 4800;
}

// Steps 8 to 14: one output rate each. The GGA rate is a float and goes out
// with six decimals ("$JASC,GPGGA,5.000000").
struct RateStep {
    const char* format;
    int32_t _GPS_MGR_SERIAL_SETUP::*rate;  // null: the float GGA rate
};
const RateStep kRateSteps[] = {
    {"$JBIN,1,%d\n", &_GPS_MGR_SERIAL_SETUP::iBin1Rate},     // step 8
    {"$JBIN,2,%d\n", &_GPS_MGR_SERIAL_SETUP::iBin2Rate},     // step 9
    {"$JASC,GPGGA,%f\n", nullptr},                           // step 10
    {"$JASC,GPVTG,%d\n", &_GPS_MGR_SERIAL_SETUP::iVtgRate},  // step 11
    {"$JASC,GPGST,%d\n", &_GPS_MGR_SERIAL_SETUP::iGstRate},  // step 12
    {"$JASC,HEROT,%d\n", &_GPS_MGR_SERIAL_SETUP::iHerotRate},  // step 13
    {"$JASC,HEHDG,%d\n", &_GPS_MGR_SERIAL_SETUP::iHehdgRate},  // step 14
};
constexpr int kFirstRateStep = 8;
static_assert(sizeof kRateSteps / sizeof kRateSteps[0] == 7, "steps 8 to 14");

// Operating-mode command lines. `pause` marks a TimerDelay(50) after the line.
struct ModeLine {
    const char* text;
    bool pause;
};
const ModeLine kLbandLines[] = {
    {"$JDIFFX,EXCLUDE,SBAS,RTCM2,KTV,CMR,RTCM3,QUB,ZARN\r\n", true},
    {"$JDIFFX,INCLUDE,OMNIVBS,OMNIHP\r\n", true},
    {"$JDIFF,LBAND\r\n", true},
    {"$JASC,QUB,0,PORTD\r\n", true},
    {"$JDIFF,QUB,0,PORTD\r\n", true},
    {"$JASC,D1,1\r\n", false},
};
const ModeLine kRtkLines[] = {
    {"$JDIFFX,EXCLUDE,SBAS,OMNIVBS,OMNIHP,ZARN\r\n", true},
    {"$JDIFFX,INCLUDE,RTCM2,KTV,CMR,RTCM3,QUB\r\n", true},
    {"$JDIFF,RTK\r\n", true},
    {"$JASC,QUB,0,PORTD\r\n", true},
    {"$JDIFF,QUB,0,PORTD\r\n", true},
    {"$JBAUD,57600,PORTD\r\n", true},
};
const ModeLine kWaasLines[] = {
    {"$JDIFFX,EXCLUDE,OMNIVBS,OMNIHP,RTCM2,KTV,CMR,RTCM3,QUB,ZARN\r\n", true},
    {"$JDIFFX,INCLUDE,SBAS\r\n", true},
    {"$JDIFF,WAAS\r\n", true},
    {"$JASC,QUB,0,PORTD\r\n", true},
    {"$JDIFF,QUB,0,PORTD\r\n", true},
};
constexpr uint32_t kModePause = 50;

const char* autoseedLine(bool on) { return on ? "$JHP,MODE,AUTOSEED,YES\r\n" : "$JHP,MODE,AUTOSEED,NO\r\n"; }

template <std::size_t N>
void sendModeLines(const ModeLine (&lines)[N]) {
    for (const ModeLine& l : lines) {
        send(0, l.text);
        if (l.pause) TimerDelay(kModePause);
    }
}

// Step 15: the operating mode's command lines, to receiver 0.
void applyOperatingMode() {
    switch (gOperatingMode) {
    case GPSMODE_LBAND:
        sendModeLines(kLbandLines);
        send(0, autoseedLine(gAutoseed));
        break;
    case GPSMODE_RTK:
        sendModeLines(kRtkLines);
        break;
    case GPSMODE_WAAS:
        sendModeLines(kWaasLines);
        break;
    default:
        return;  // no mode: nothing sent, no callback
    }
    if (gOperatingModeCallback) gOperatingModeCallback();
}

// Back to the link search after an application change: the receiver reboots,
// so nothing is sent for 3 s and what it said before is thrown away.
void restartSequence(int receiver) {
    _GPS_MGR_STATE& s = GmsState[receiver];
    s.iStep = 0;
    s.iProbe = 0;
    s.dwLastGoodMsgTick = 0;
    s.dwNextActionTick = TimerTick() + kRestartWait;
    s.bFlushRx = true;
}

void setupUart(const _GPS_MGR_STATE& s, uint32_t baud, int* result) {
    *result = UartSetup(s.Setup.iPort, s.Setup.pszDevice, baud, s.Setup.cParity, s.Setup.iDataBits,
                        s.Setup.iStopBits);
}

// Step 0: link search. Probe with "$JI" and give the receiver 400 ms to
// answer; with no answer step to the next rate of the cycle and probe again.
void linkSearch(_GPS_MGR_STATE& s, uint32_t now) {
    if (s.dwLastGoodMsgTick != 0 && !tickReached(now, s.dwLastGoodMsgTick + kLinkAliveMs)) {
        s.iStep++;
        s.iProbe = 0;
        return;
    }
    switch (s.iProbe) {
    case 0:
        UartPutString(s.Setup.iPort, "$JI\n");
        s.dwNextActionTick = now + kProbeWait;
        s.iProbe = 1;
        break;
    case 1: {
        s.dwCurrentBaud = nextSearchBaud(s.dwCurrentBaud);
        int result;
        setupUart(s, s.dwCurrentBaud, &result);
        if (result == 0) s.iProbe = 2;  // a refused rate stays at 1: the next one is tried
        s.dwNextActionTick = now + kRateChangeWait;
        break;
    }
    default:
        s.iProbe = 0;
        break;
    }
}

// Step 1, for a receiver that has answered no "$J" request yet (it was
// heard only by its own output): one more "$JI", 400 ms for the answer. Still
// none: it does not take commands, and is left at the rate it talks at.
// Returns true when the step is over for this call.
bool replyCheck(int receiver, _GPS_MGR_STATE& s, uint32_t now) {
    s.bIgnoresCommands = false;
    if (dwNmeaParseGetReplyCnt(receiver) != 0) return false;
    if (s.iProbe == 0) {
        UartPutString(s.Setup.iPort, "$JI\n");
        s.dwNextActionTick = now + kProbeWait;
        s.iProbe = 1;
    } else {
        s.iProbe = 0;
        s.bIgnoresCommands = true;
        s.iStep = GMS_STEP_DONE;
    }
    return true;
}

void configurationStep(int receiver, _GPS_MGR_STATE& s) {
    if (s.iStep == GMS_STEP_DONE) return;
    const uint32_t now = TimerTick();
    if (!tickReached(now, s.dwNextActionTick)) return;

    const int port = s.Setup.iPort;
    switch (s.iStep) {
    case 0:
        linkSearch(s, now);
        break;
    case 1:
        if (replyCheck(receiver, s, now)) break;
        if (s.dwCurrentBaud == s.Setup.dwBaud) {
            s.iStep += 2;  // already at the wanted rate: no "$JBAUD", no reopening
        } else {
            UartPutStringFormatted(port, "\n$JBAUD,%u\n", static_cast<unsigned>(s.Setup.dwBaud));
            s.dwNextActionTick = now + kBaudCmdWait;
            s.dwCurrentBaud = s.Setup.dwBaud;
            s.iStep++;
        }
        break;
    case 2: {
        int result;
        setupUart(s, s.Setup.dwBaud, &result);
        if (result != 0) {
            s.dwNextActionTick = now + kBaudFailWait;
            s.iStep = 0;
            s.iProbe = 0;
            s.dwLastGoodMsgTick = 0;
        } else {
            s.dwNextActionTick = now + kBaudCmdWait;
            s.iStep++;
        }
        break;
    }
    case 3:
        UartPutString(port, "\n$JOFF\n$JSAVE\n");
        s.dwNextActionTick = now + kSaveWait;
        s.iStep++;
        break;
    case 4:
        UartPutString(port, "$JT\n");
        s.dwNextActionTick = now + kCmdWait;
        s.iStep++;
        break;
    case 5:
        UartPutString(port, "$JI\n");
        UartPutString(port, "$JK\n");
        s.dwNextActionTick = now + kCmdWait;
        s.iStep++;
        break;
    case 6:
        UartPutString(port, "$JAPP\n");
        s.dwNextActionTick = now + kCmdWait;
        s.iStep++;
        break;
    case 7:
        UartPutString(port, "$JSHOW\n");
        s.dwNextActionTick = now + kCmdWait;
        s.iStep++;
        break;
    case 8: case 9: case 10: case 11: case 12: case 13: case 14: {
        const RateStep& r = kRateSteps[s.iStep - kFirstRateStep];
        char cmd[kRateCmdSize];
        int n = 0;
        if (r.rate == nullptr) {
            if (s.Setup.fGgaRate > 0.0f) n = std::snprintf(cmd, sizeof cmd, r.format, static_cast<double>(s.Setup.fGgaRate));
        } else if (s.Setup.*r.rate > 0) {
            n = std::snprintf(cmd, sizeof cmd, r.format, s.Setup.*r.rate);
        }
        // A skipped rate sets no wait: the next step runs at the next call.
        if (n > 0 && static_cast<std::size_t>(n) < sizeof cmd) {
            UartPutString(port, cmd);
            s.dwNextActionTick = now + kCmdWait;
        }
        s.iStep++;
        break;
    }
    case 15:
        applyOperatingMode();
        s.iStep = 16;
        [[fallthrough]];
    case 16:
        UartPutString(port, "$JBAUD,57600,PORTD\r\n");
        s.dwNextActionTick = now + kCmdWait;
        s.iStep = GMS_STEP_DONE;
        break;
    default:
        s.iStep = GMS_STEP_DONE;
        break;
    }
}

} // namespace

int iGmsInit(int receiver, const _GPS_MGR_SERIAL_SETUP* setup) {
    if (!gTablesInitialised) {
        for (_GMS_BUF& b : GmsBufs) b.bInUse = 0;
        gTablesInitialised = true;
    }
    gOperatingMode = GPSMODE_NONE;
    gOperatingModeCallback = nullptr;
    if (!validReceiver(receiver) || setup == nullptr) return 1;

    _GMS_BUF* buf = nullptr;
    for (_GMS_BUF& b : GmsBufs)
        if (!b.bInUse) {
            buf = &b;
            break;
        }
    if (buf == nullptr) return 1;
    buf->bInUse = 1;
    buf->iReceiver = receiver;
    buf->iPort = setup->iPort;

    _GPS_MGR_STATE& s = GmsState[receiver];
    s.Setup = *setup;
    s.pRxBuf = buf->RxStorage;
    s.pTxBuf = buf->TxStorage;
    s.dwLastGoodMsgTick = 0;
    // "May act at once". Not 0: schedules compare by the difference, and 0
    // lies in the future for half the range of the tick.
    s.dwNextActionTick = TimerTick();
    s.iStep = 0;
    s.iProbe = 0;
    s.bFlushRx = false;
    s.bIgnoresCommands = false;
    s.dwCurrentBaud = setup->dwBaud;

    GpsDbInit(receiver, false);
    QelParseInit(receiver);
    NmeaParseInit(receiver);

    if (UartInit(s.Setup.iPort, s.Setup.pszDevice, s.pRxBuf, s.pTxBuf, GMS_BUFFER_SIZE, GMS_BUFFER_SIZE) != 0) return 1;
    int result;
    setupUart(s, s.Setup.dwBaud, &result);
    return result != 0 ? 1 : 0;
}

void GmsRelease(int receiver) {
    for (_GMS_BUF& b : GmsBufs)
        if (b.bInUse && b.iReceiver == receiver) b.bInUse = 0;
}

void GmsProcess() {
    for (_GMS_BUF& b : GmsBufs) {
        if (!b.bInUse) continue;
        const int receiver = b.iReceiver;
        _GPS_MGR_STATE& s = GmsState[receiver];
        unsigned char byte;

        // A line that never runs dry (a babbling device, /dev/zero) must not
        // hold the caller: each pass takes at most GMS_MAX_BYTES_PER_PASS, and
        // what is left waits on the line for the next pass.
        int budget = GMS_MAX_BYTES_PER_PASS;
        if (s.bFlushRx) {
            while (budget > 0 && UartGetByte(b.iPort, &byte) == UART_SUCCESS) --budget;
            s.bFlushRx = false;
        }
        // The pass also ends with each binary frame the parser accepts, so
        // that the caller sees every position before the next one overwrites
        // it; what follows waits for the next call (bGmsGetNextActionTick says
        // so).
        // A read that found the line empty ends the pass once its bytes are
        // taken: asking again would cost a read that brings nothing.
        while (budget > 0 && UartGetByte(b.iPort, &byte) == UART_SUCCESS) {
            --budget;
            NmeaParseProcessChrIn(receiver, static_cast<char>(byte));
            if (QelParseProcessChrIn(receiver, byte) == 1) break;
            if (!bUartGetRxPending(b.iPort) && bUartGetRxDry(b.iPort)) break;
        }

        // 0 from a parser means "nothing accepted yet", never a time.
        for (const uint32_t t : {dwNmeaParseGetGoodMsgTick(receiver), dwQelParseGetGoodMsgTick(receiver)})
            if (t != 0 && (s.dwLastGoodMsgTick == 0 || tickNewer(t, s.dwLastGoodMsgTick))) s.dwLastGoodMsgTick = t;

        const uint32_t now = TimerTick();
        if (s.iStep == GMS_STEP_DONE &&
            (s.dwLastGoodMsgTick == 0 || tickNewer(now, s.dwLastGoodMsgTick + GMS_WATCHDOG_MS))) {
            s.iStep = 0;
            s.iProbe = 0;
            s.dwLastGoodMsgTick = 0;
            s.dwNextActionTick = now;  // the last schedule may be weeks old
        }
        configurationStep(receiver, s);
    }
}

bool bGmsGetNextActionTick(uint32_t* tick) {
    const uint32_t now = TimerTick();
    bool any = false;
    uint32_t earliest = now;
    for (const _GMS_BUF& b : GmsBufs) {
        if (!b.bInUse) continue;
        const _GPS_MGR_STATE& s = GmsState[b.iReceiver];
        uint32_t due;
        if (bUartGetRxPending(b.iPort))
            due = now;
        else if (s.iStep != GMS_STEP_DONE)
            due = s.dwNextActionTick;
        else if (s.dwLastGoodMsgTick == 0)
            due = now;  // the watchdog restarts the search at the next call
        else
            due = s.dwLastGoodMsgTick + GMS_WATCHDOG_MS + 1;  // first tick the watchdog fires at
        if (!any || tickNewer(earliest, due)) earliest = due;
        any = true;
    }
    if (any && tick != nullptr) *tick = earliest;
    return any;
}

int iGmsGetUartFd(int receiver) {
    for (const _GMS_BUF& b : GmsBufs)
        if (b.bInUse && b.iReceiver == receiver) return iUartGetFd(b.iPort);
    return -1;
}

bool bGmsReceiverIgnoresCommands(int receiver) {
    return validReceiver(receiver) && GmsState[receiver].bIgnoresCommands;
}

uint32_t dwGmsGetLineBaud(int receiver) {
    for (const _GMS_BUF& b : GmsBufs)
        if (b.bInUse && b.iReceiver == receiver) return GmsState[receiver].dwCurrentBaud;
    return 0;
}

int iGmsGetUartError(int receiver) {
    for (const _GMS_BUF& b : GmsBufs)
        if (b.bInUse && b.iReceiver == receiver) return iUartGetFd(b.iPort) >= 0 ? 0 : iUartGetError(b.iPort);
    return 0;
}

bool GmsSetOperatingMode(gpsmode_t mode) {
    gModeChangeResult = false;
    gOperatingMode = mode > GPSMODE_NONE ? GPSMODE_WAAS : mode;
    switch (gOperatingMode) {
    case GPSMODE_RTK:
        gModeChangeResult = GmsChangeApplicationBySlot(1);
        break;
    case GPSMODE_LBAND:
    case GPSMODE_WAAS:
        gModeChangeResult = GmsChangeApplicationBySlot(2);
        break;
    default:
        break;
    }
    return gModeChangeResult;
}

gpsmode_t GmsGetOperatingMode() { return gOperatingMode; }

void GmsSetOperatingModeCallback(void (*callback)()) { gOperatingModeCallback = callback; }

void GmsSetNmeaFoundCallback(void (*callback)(const char* line)) { NmeaSetNmeaFoundCallback(callback); }

void GmsSetOmnistarAutoseed(bool on) {
    gAutoseed = on;
    send(0, autoseedLine(on));
}

void GmsReportGlonassSatellitesInGGA(bool on) {
    send(0, on ? "$JNMEA,GGAALLGNSS,YES\r\n" : "$JNMEA,GGAALLGNSS,NO\r\n");
    TimerDelay(kModePause);
}

void GmsSendCmdString(int receiver, const char* text) {
    if (!validReceiver(receiver) || text == nullptr) return;
    send(receiver, text);
}

void GmsChangeQelApp(int receiver) {
    if (!validReceiver(receiver)) return;
    send(receiver, "$JAPP,OTHER\n");
    restartSequence(receiver);
}

bool GmsChangeApplicationBySlot(unsigned char slot) {
    gAppChangeResult = false;
    if (slot != 1 && slot != 2) return false;
    if (slot != iGpsDbGetThisApp(0)) UartPutStringFormatted(GmsState[0].Setup.iPort, "$JAPP,%d\n", slot);
    restartSequence(0);
    gAppChangeResult = true;
    return true;
}

void GmsEnableHSLogging(int receiver) {
    if (!validReceiver(receiver)) return;
    static const char* const lines[] = {
        "$JOFF,PORTT\r\n",     "$JFLASH,FILE,OPEN\r\n", "$JBIN,1,1,PORTT\r\n",
        "$JASC,QUB,1\r\n",     "$JBIN,95,1,PORTT\r\n",  "$JBIN,65,1,PORTT\r\n",
        "$JBIN,61,1,PORTT\r\n", "$JBIN,80,1,PORTT\r\n", "$JBIN,91,1,PORTT\r\n",
    };
    for (const char* l : lines) send(receiver, l);
}

void GmsDisableHSLogging(int receiver) {
    if (!validReceiver(receiver)) return;
    send(receiver, "$JOFF,PORTT\r\n");
    send(receiver, "$JFLASH,FILE,CLOSE\r\n");
}

void GmsSendQueryWAASPRN() { send(GmsBufs[0].iReceiver, "$JWAASPRN\r\n"); }

void GmsSendUpdateWAASPRN(const char* prn1, const char* prn2, const char* prn3) {
    if (prn1 == nullptr || prn2 == nullptr || prn3 == nullptr) return;
    char cmd[kWaasPrnCmdSize];
    const int n = std::snprintf(cmd, sizeof cmd, "$JWAASPRN,%s,%s,%s\r\n", prn1, prn2, prn3);
    // A cut line would still end in a valid-looking field and reach the
    // receiver as a different selection: send the whole line or nothing.
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof cmd) return;
    send(GmsBufs[0].iReceiver, cmd);
}

void GmsCallPeriodicPolls() {
    static const char* const polls[] = {
        "$JASC,GPALM\r\n", "$JOMS\r\n", "$JGEO\r\n", "$JDIFF\r\n", "$JAPP\r\n", "$JI\r\n", "$JNMEA,GGAALLGNSS\r\n",
    };
    constexpr int n = sizeof polls / sizeof polls[0];
    if (GmsState[0].iStep != GMS_STEP_DONE) return;
    send(0, polls[gPollIndex]);
    gPollIndex = (gPollIndex + 1) % n;
}
