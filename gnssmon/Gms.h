#pragma once
// Receiver manager: owns the serial link to the GNSS receiver.
//
// Given a serial and rate set-up it finds the baud rate the receiver talks at
// (probing with "$JI" and stepping through 4800, 9600, 19200, 38400, 57600,
// 115200), moves the receiver to the wanted rate (unless it answers no "$J"
// request: then it is left as it is, see bGmsReceiverIgnoresCommands), stops
// its outputs and saves, asks for its identity and configuration, switches on
// the messages the caller asked for, applies the operating mode and then
// watches the link: 30 s without an accepted NMEA or binary message starts the
// whole sequence again.
//
// Polled, never blocking: each GmsProcess call drains the UART into the NMEA
// parser and the binary parser (which fill the GPS database) and runs at most
// one configuration step; the pauses between steps are kept as a scheduled
// tick. Every command is a line of the receiver's "$J" language, written with
// UartPutString (a lone LF goes out as CR LF).
//
// One link buffer: one receiver at a time, claimed by iGmsInit for the life of
// the process. Single-threaded; static tables, not re-entrant. Callbacks run
// on the thread that calls GmsProcess (or the operation).

#include <cstdint>

#define GMS_RECEIVERS 4
#define GMS_LINK_BUFFERS 1
#define GMS_BUFFER_SIZE 512
// iStep once the configuration sequence has finished.
#define GMS_STEP_DONE 9999
// No accepted message for this long after configuration restarts the sequence.
#define GMS_WATCHDOG_MS 30000u
// Most bytes one GmsProcess call takes from the UART, those it discards when
// asked to flush included: 4096 bytes per 5 ms pass is 800 kB/s, some seventy
// times what a 115200 baud line carries.
#define GMS_MAX_BYTES_PER_PASS 4096

// The caller's serial and rate set-up, copied whole by iGmsInit. The device
// path is not copied: the caller keeps that string alive.
struct _GPS_MGR_SERIAL_SETUP {
    int32_t iPort;          // UART number, 1 or 2
    const char* pszDevice;  // device path of the UART
    uint32_t dwBaud;        // wanted baud rate
    char cParity;           // "N"
    int32_t iDataBits;      // 8
    int32_t iStopBits;      // 1
    int32_t iBin1Rate;      // output rates; 0 or less: no command
    int32_t iBin2Rate;
    float fGgaRate;
    int32_t iVtgRate;
    int32_t iGstRate;
    int32_t iHerotRate;
    int32_t iHehdgRate;
    int32_t iAlmRate;       // carried; no command uses these three
    int32_t iJomsRate;
    int32_t iJdiffRate;
};

// Differential-correction operating mode. Fixed underlying type: values out
// of the list are representable (GmsSetOperatingMode maps them).
enum gpsmode_t : int {
    GPSMODE_LBAND = 0,  // application slot 2, OmniSTAR L-band
    GPSMODE_RTK = 1,    // slot 1, RTK corrections
    GPSMODE_WAAS = 2,   // slot 2, SBAS
    GPSMODE_NONE = 3,   // nothing applied
};

// Per-receiver record.
struct _GPS_MGR_STATE {
    unsigned char* pRxBuf;       // receive storage of the link buffer
    unsigned char* pTxBuf;       // transmit storage of the link buffer
    uint32_t dwLastGoodMsgTick;  // newest good-message tick of either parser; 0 = none since restart
    uint32_t dwNextActionTick;   // earliest tick for the next configuration step
    uint32_t dwCurrentBaud;      // rate the UART is set to now
    bool bFlushRx;               // discard pending input at the next GmsProcess
    int32_t iStep;               // 0 to 16, or GMS_STEP_DONE
    int32_t iProbe;              // step 0: 0 probe, 1 change rate, 2 start over;
                                 // step 1: 0 check for replies, 1 after the second probe
    bool bIgnoresCommands;       // heard, but answered no "$J" request: left as it is
    _GPS_MGR_SERIAL_SETUP Setup;
};

// Claims the link buffer for `receiver` (0 to 3), resets its record, the GPS
// database instance and both parsers, and opens the UART at the wanted rate.
// Every call first sets the operating mode to GPSMODE_NONE and removes the
// operating-mode callback. Returns 0, or 1 for a receiver out of range, a
// null set-up, no free link buffer, or a UART that does not open. A UART
// failure leaves the buffer claimed: GmsProcess keeps searching, reopening the
// port at each rate.
int iGmsInit(int receiver, const _GPS_MGR_SERIAL_SETUP* setup);

// Gives the link buffer of `receiver` back (its UART stays as it is), so
// that a later iGmsInit claims a buffer again: for a process that runs the
// whole program more than once. Nothing for a receiver without one.
void GmsRelease(int receiver);

// Services every claimed link once: flush if asked, drain the UART into both
// parsers (at most GMS_MAX_BYTES_PER_PASS bytes each, and up to the end of
// the first binary frame accepted, so that a caller that looks after each
// call sees every position), take the newest
// good-message tick, run the watchdog, then at most one configuration step.
void GmsProcess();

// For a caller that sleeps between GmsProcess calls: the tick by which
// GmsProcess must run again if no byte arrives first. That is the earliest,
// over the claimed links, of the next configuration step or, once configured,
// of the link watchdog; a tick already reached when a call has work at once (a
// step without pause, received bytes still waiting in the receive ring).
// Returns false, with *tick untouched, when no link is claimed: nothing is
// ever due. Ask again after every GmsProcess call and every operation below.
bool bGmsGetNextActionTick(uint32_t* tick);

// Descriptor of the receiver's UART, for the caller to poll() for input
// (readable: run GmsProcess); -1 when the receiver has no link or its port is
// not open. The manager reopens the port to change its baud rate, so ask
// again before every wait.
int iGmsGetUartFd(int receiver);

// A receiver that was heard (a sentence with a right checksum) but answered
// none of the "$J" requests, a second "$JI" included, is not configured: it
// stays at the rate it was heard at, its output is decoded as it comes, and
// the link watchdog still starts a new search when it falls silent. True
// while `receiver` is monitored so; false for any other receiver number.
bool bGmsReceiverIgnoresCommands(int receiver);
// The baud rate `receiver`'s UART is set to now; 0 for a receiver without a
// link.
uint32_t dwGmsGetLineBaud(int receiver);

// Why the receiver's UART is not open: the errno of its last failed set-up
// (ENOENT, EACCES, ENOTTY for a path that is not a terminal ...); 0 while it
// is open, or for a receiver without a link.
int iGmsGetUartError(int receiver);

// Stores the mode (values above GPSMODE_NONE are stored as GPSMODE_WAAS) and
// switches receiver 0 to the mode's application slot (RTK: 1; LBAND, WAAS: 2),
// which restarts the configuration sequence; its step 15 sends the mode's
// commands. Returns whether the application change was accepted; GPSMODE_NONE
// and negative values change no application and return false.
bool GmsSetOperatingMode(gpsmode_t mode);
gpsmode_t GmsGetOperatingMode();
// Called after a mode's commands have been sent; null removes it.
void GmsSetOperatingModeCallback(void (*callback)());
// Observer of every complete NMEA line (handed to the NMEA parser).
void GmsSetNmeaFoundCallback(void (*callback)(const char* line));

// Stores the OmniSTAR autoseed flag (used by every later LBAND application)
// and sends it to receiver 0 at once.
void GmsSetOmnistarAutoseed(bool on);
// Switches the receiver's GGAALLGNSS option (GLONASS satellites in GGA).
void GmsReportGlonassSatellitesInGGA(bool on);

// Writes `text` to the receiver's UART (receiver 0 to 3; others ignored).
void GmsSendCmdString(int receiver, const char* text);

// Switches the receiver to its other application and restarts its sequence
// (first action after 3 s, pending input flushed).
void GmsChangeQelApp(int receiver);
// Switches receiver 0 to application slot 1 or 2 ("$JAPP,<slot>" only when it
// is not already running there) and restarts its sequence. False for any
// other slot, with nothing sent.
bool GmsChangeApplicationBySlot(unsigned char slot);

// High-speed logging of raw data to the receiver's flash file.
void GmsEnableHSLogging(int receiver);
void GmsDisableHSLogging(int receiver);

// SBAS satellites: query, and selection. The selection line is composed in a
// 52-byte buffer; a line that would not fit is refused and nothing is sent.
void GmsSendQueryWAASPRN();
void GmsSendUpdateWAASPRN(const char* prn1, const char* prn2, const char* prn3);

// Once configured, sends the next query of the rotation GPALM, JOMS, JGEO,
// JDIFF, JAPP, JI, JNMEA,GGAALLGNSS to receiver 0; before that, nothing (and
// the rotation does not advance).
void GmsCallPeriodicPolls();
