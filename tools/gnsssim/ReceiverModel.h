#pragma once
// The simulated GNSS receiver's behaviour, free of any I/O: it takes the
// "$J" command lines the host sends and answers them in the receiver's "$>"
// reply shapes, and it produces the binary messages and NMEA sentences that
// the host switched on, at their rates, along the simulated drive.
//
// Commands understood (a port argument other than this port's is accepted
// and has no effect on this line):
//   $JI $JT $JK $JAPP $JSHOW $JOMS $JGEO $JDIFF $JWAASPRN $JNMEA,GGAALLGNSS  queries
//   $JBAUD,<rate>            this port's baud rate (the front end switches at once)
//   $JBIN,1|2|99,<rate>      binary message output, rate in Hz, 0 = off
//   $JASC,<sentence>,<rate>  NMEA output: GPGGA GPVTG GPGST GPGSV HEROT HEHDG D1;
//                            "$JASC,GPALM" without a rate sends the almanac once
//   $JOFF                    every output of this port off
//   $JAPP,1|2|OTHER          switch application slot
//   $JDIFF,<type>  $JWAASPRN,<a>,<b>[,<c>]  $JNMEA,GGAALLGNSS,YES|NO
// Anything else is accepted silently. With ignoreCommands, nothing is
// understood: every line is dropped unanswered.

#include "tools/gnsssim/Drive.h"

#include <string>
#include <vector>

namespace GnssSim {

struct ModelConfig {
    unsigned baud = 57600;           // rate the receiver talks at when powered on
    bool silent = false;             // never sends anything
    double stopTalkingAfter = -1.0;  // seconds after start; negative: never
    double startTalkingAfter = 0.0;  // seconds after start before it sends anything (a late starter)
    bool corruptChecksums = false;   // every NMEA and binary checksum is wrong
    bool ignoreCommands = false;     // takes no "$J" command, answers none, and sends GPGGA at 5 Hz from the start
    int appSlot = 1;                 // running application, 1 or 2
    std::uint8_t navMode = 2;        // navigation mode byte of message 1
    DriveConfig drive;
};

// One piece of output: the bytes to write and, for a binary message 1, the
// fix it carries (so the front end can log what actually went out).
struct Output {
    std::string bytes;
    bool hasPosition = false;
    Fix fix{};
    bool corrupted = false;  // its checksum is wrong on purpose
};

class ReceiverModel {
public:
    explicit ReceiverModel(const ModelConfig& config);

    // One command line from the host, without CR LF, e.g. "$JBIN,1,10".
    std::vector<Output> onLine(const std::string& line, double now);
    // Periodic output that is due at `now` (seconds since start).
    std::vector<Output> due(double now);

    // Faults switched on and off while running.
    void setSilent(bool on) { cfg.silent = on; }
    void setCorruptChecksums(bool on) { cfg.corruptChecksums = on; }

    unsigned baud() const { return currentBaud; }
    bool talking(double now) const;
    int appSlot() const { return slot; }
    // Rate of an output by its command name ("1", "2", "99", "GPGGA", ...); 0 when off.
    double rate(const std::string& name) const;

private:
    struct Stream {
        const char* name;     // as in $JBIN / $JASC
        bool binary;
        double rate = 0.0;    // Hz
        double next = 0.0;    // seconds since start
    };

    void emit(std::vector<Output>& out, std::size_t stream, const Fix& fix) const;
    Output frame(const std::string& bytes) const;
    Stream* find(const std::string& name, bool binary);
    void reply(std::vector<Output>& out, const std::string& text) const;

    ModelConfig cfg;
    Drive drive;
    unsigned currentBaud;
    int slot;
    std::string diffType = "WAAS";
    int sbasPrn1 = 122, sbasPrn2 = 134;
    bool ggaAllGnss = false;
    std::vector<Stream> streams;
};

} // namespace GnssSim
