#pragma once
// Translation of the receiver's binary messages into the GPS database.
//
// Each translator works on the frame in RxBuf of the binary parser's current
// instance (QelParse.h), just after its checksum was found right:
//   1   position, GPS time, velocity, quality: the source of position while
//       it flows (the NMEA position sentences take over when it stops); it
//       also sets the program clock and runs the database's new-position
//       processing.
//   2   satellite masks, GPS-minus-UTC seconds, HDOP/VDOP/PDOP, SBAS PRNs.
//   99  per-channel satellite data of 12 GPS channels.
// 97 and 98 are framed and checked but not translated. A message whose data
// length is shorter than its layout is not translated either: its missing
// fields would be read from whatever the buffer held before.

// Data length each translated message needs.
#define BIN_MSG1_LENGTH 52
#define BIN_MSG2_LENGTH 16
#define BIN_MSG99_CHANNELS 12
#define BIN_MSG99_FIRST_BLOCK 12
#define BIN_MSG99_BLOCK 24
#define BIN_MSG99_LENGTH (BIN_MSG99_FIRST_BLOCK + BIN_MSG99_CHANNELS * BIN_MSG99_BLOCK)

// Dispatches by message number.
void GpsTranslateBinMsg();
void GpsTranslateBinMsg1();
void GpsTranslateBinMsg2();
void GpsTranslateBinMsg99();

// Message 1 counts as flowing for this long after the last one (a receiver
// sends it at 1 Hz or faster).
#define BIN_MSG1_QUIET_MS 3000u

// Forgets the instance's last message 1 (QelParseInitVars calls it).
void GpsTranslateBinMsgInit(int instance);
// A message 1 has given a position within the last BIN_MSG1_QUIET_MS: it is
// the source of position, and the NMEA position sentences are not.
bool bGpsBinaryPositionsFlowing(int instance);

// GPS minus UTC since 2017-01-01, for a receiver that has not sent message 2.
#define BIN_DEFAULT_GPS_UTC_DIFF 18
// GPS-minus-UTC seconds of `instance`: its last message 2's, else the default.
int iGpsBinGpsUtcDiff(int instance);
