#include "gnssmon/NmeaParse.h"

#include "gnssmon/NmeaDecode.h"
#include "gnssmon/NmeaLine.h"
#include "gnssmon/TimeServices.h"

#include <cstring>

// Line collector. Two states per instance:
//   idle        waiting for "$"; every other character is ignored;
//   collecting  after "$": CR or LF completes the line; anything else,
//               "$" included, is stored. The 128th character after the "$"
//               drops the line, and so does "$BIN" (binary message header:
//               its bytes belong to the binary parser).
// A dropped line returns to idle, so the parser resynchronises on the next "$".

_BUFFER NmeaParseCmdBuffer[NMEA_PARSE_INSTANCES];

namespace {

_NMEA_PARSE_STATE states[NMEA_PARSE_INSTANCES];
bool initialised = false;
void (*observer)(const char*) = nullptr;

bool validInstance(int instance)
{
    return instance >= 0 && instance < NMEA_PARSE_INSTANCES;
}

void dropLine(_NMEA_PARSE_STATE& s)
{
    s.iLen = 0;
    s.bInSentence = false;
}

} // namespace

void NmeaParseInitVars(int instance)
{
    if (!validInstance(instance)) return;
    _NMEA_PARSE_STATE& s = states[instance];
    s.dwChrCnt = 0;
    s.iLen = 0;
    s.dwGoodMsgTick = 0;
    s.dwReplyCnt = 0;
    s.bInSentence = false;
    BufferInit(&NmeaParseCmdBuffer[instance], s.CmdStorage, NMEA_PARSE_CMD_QUEUE);
    NmeaSatellitesInit(instance);
    NmeaPositionsInit(instance);
}

extern "C" void NmeaParseInit(int instance)
{
    if (!initialised) {
        for (int i = 0; i < NMEA_PARSE_INSTANCES; ++i) NmeaParseInitVars(i);
        initialised = true;
    }
    NmeaParseInitVars(instance);
}

extern "C" int NmeaParseProcessChrIn(int instance, char c)
{
    if (!validInstance(instance)) return 0;
    _NMEA_PARSE_STATE& s = states[instance];
    ++s.dwChrCnt;

    if (!s.bInSentence) {
        if (c == '$') {
            s.iLen = 0;
            s.bInSentence = true;
            s.szLine[0] = '$';
            s.szLine[1] = '\0';
        }
        return 0;
    }

    if (c == '\r' || c == '\n') {
        s.szLine[s.iLen + 1] = '\0';
        s.bInSentence = false;
        if (s.iLen >= 1 && s.szLine[1] == '>') ++s.dwReplyCnt;
        if (observer) observer(s.szLine);
        if (NmeaDecodeLine(instance, s.szLine) & NMEA_TICK_GOOD) s.dwGoodMsgTick = TimerTick();
        return 1;
    }

    if (++s.iLen > NMEA_PARSE_MAX_LINE) {
        dropLine(s);
        return 0;
    }
    s.szLine[s.iLen] = c;
    if (s.iLen == 3 && std::memcmp(s.szLine, "$BIN", 4) == 0) dropLine(s);
    return 0;
}

extern "C" uint32_t dwNmeaParseGetGoodMsgTick(int instance)
{
    return validInstance(instance) ? states[instance].dwGoodMsgTick : 0;
}

extern "C" uint32_t dwNmeaParseGetChrCnt(int instance)
{
    return validInstance(instance) ? states[instance].dwChrCnt : 0;
}

extern "C" uint32_t dwNmeaParseGetReplyCnt(int instance)
{
    return validInstance(instance) ? states[instance].dwReplyCnt : 0;
}

extern "C" void NmeaSetNmeaFoundCallback(void (*callback)(const char* line))
{
    observer = callback;
}
