#pragma once
// Translation of the receiver's binary messages into the GPS database.
//
// Each translator works on the frame in RxBuf of the binary parser's current
// instance (QelParse.h), just after its checksum was found right:
//   1   position, GPS time, velocity, quality: the only source of position;
//       it also sets the program clock and runs the database's new-position
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
