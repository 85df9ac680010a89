#pragma once
// NMEA sentence parser.
//
// Takes the receiver's byte stream one character at a time, cuts out the text
// lines that begin with "$", hands each complete line to an optional observer
// and decodes the lines it knows into the GPS database: the receiver's replies
// to "$J" commands ("$>JSHOW", "$>JAPP", "$>JI", "$>JT", "$>JOMS", "$>JK",
// "$>JRTK", "$>JWAASPRN"), the radio diagnostic line "$RD1", GPALM and PVRN,
// and from any GNSS talker (GP, GL, GA, GB, BD, GQ, QZ, PQ, GI, IN, GN) the
// sentences VTG, GST, GSV, GSA, GGA, RMC, GNS and GLL, from any heading
// talker (HE, HC, SD, AP) ROT and HDG. Positions come from binary message 1
// while it flows, else from GGA, RMC, GNS and GLL (NmeaPositions.cpp). An
// NMEA sentence is decoded only with its checksum right.
//
// A line is "$" followed by at most NMEA_PARSE_MAX_LINE characters and ends at
// CR or LF. A longer line is dropped without a call of the observer; a line
// that starts "$BIN" is the header of a binary message and is dropped at its
// fourth character; a "$" inside a line is data (it does not restart it).
//
// Four receiver instances, 0 to 3, with the same numbering as the GPS
// database and the binary parser. Calls with another instance number are
// ignored (getters give 0). Not re-entrant: the observer must not feed
// characters back into the parser.

#include "gnssmon/Buffer.h"
#include "gnssmon/NmeaFields.h"

#include <cstdint>

#define NMEA_PARSE_INSTANCES 4
// Characters a line may hold after its "$".
#define NMEA_PARSE_MAX_LINE 127
// Capacity of each instance's request queue.
#define NMEA_PARSE_CMD_QUEUE 32

// Request codes posted to NmeaParseCmdBuffer.
// A "$>JSHOW,DIFF" line reported AUTO or RTK before the subscription was
// known: the receiver's subscription ("$JK") is worth asking for.
#define NMEA_PARSE_CMD_DIFF_NOSUB 1
// A "$>JRTK" reply carried "10" and "OK".
#define NMEA_PARSE_CMD_RTK_OK 2

struct _NMEA_PARSE_STATE {
    uint32_t dwChrCnt;                    // characters received
    uint32_t dwGoodMsgTick;               // tick of the last accepted line, 0 after init
    uint32_t dwReplyCnt;                  // "$>" replies to "$J" commands received
    char szLine[NMEA_PARSE_MAX_LINE + 2]; // "$", up to 127 characters, NUL
    unsigned char CmdStorage[NMEA_PARSE_CMD_QUEUE];
    int32_t iLen;                         // characters collected after the "$"
    bool bInSentence;                     // inside a line
};

// One request queue per instance, over that instance's CmdStorage.
extern _BUFFER NmeaParseCmdBuffer[NMEA_PARSE_INSTANCES];

extern "C" {
// The first call ever resets all four instances; every call resets `instance`.
void NmeaParseInit(int instance);
// Feeds one character. Result 1 when it completed a line (CR or LF inside a
// line), else 0.
int NmeaParseProcessChrIn(int instance, char c);
// Tick of the last line that set the good-message tick (0 = none yet).
uint32_t dwNmeaParseGetGoodMsgTick(int instance);
// Characters fed to the instance since its reset.
uint32_t dwNmeaParseGetChrCnt(int instance);
// Replies to "$J" commands (lines that begin "$>", whatever follows) since
// the instance's reset: a receiver that never gives one does not take "$J".
uint32_t dwNmeaParseGetReplyCnt(int instance);
// Installs the observer, called with every complete line (from the "$",
// without CR/LF) before it is decoded. One for all instances; null removes it.
void NmeaSetNmeaFoundCallback(void (*callback)(const char* line));
}

// Counters, line state and request queue of `instance` back to their start.
void NmeaParseInitVars(int instance);

// SBAS system named by the last "$>JWAASPRN" reply: "WAAS", "EGNOS", or ""
// when none has been recognised yet.
const char* szNmeaParseGetSbasSystem();
