#pragma once
// The GNSS daemon's client protocol, as far as the position clients on Linux
// use it (gpspipe, cgps, the Python module gps, libgps): requests from the
// client, JSON objects back, one per line, each line ending in CR LF.
//
//   on connect                             VERSION
//   ?WATCH={"enable":true,"json":true};    DEVICES, WATCH; then every TPV and SKY
//   ?WATCH={"enable":false};               DEVICES, WATCH; the stream stops
//   ?WATCH;                                DEVICES, WATCH (the watch as it is)
//   ?POLL;                                 POLL with the newest TPV and SKY
//   ?DEVICES;                              DEVICES
//   ?VERSION;                              VERSION
//   anything else                          ERROR
//
// A request ends at ";" or at the line end (clients send either or both); a
// WATCH object may leave out any attribute: "enable" is then true, and a
// watch that is enabled with no other output asked for gets JSON. A request
// longer than kGpsdRequestMax bytes (the daemon's own limit) is refused by
// closing the client.
//
// Pure text in, text out: the server (GpsdServer.h) does the I/O.

#include <cstddef>
#include <string>

constexpr std::size_t kGpsdRequestMax = 80;

// What one client asked to be sent; `raw` is a level (0 to 2), the rest
// switches. Only JSON is served: a watch asking for NMEA or raw data is
// answered with those off.
struct GpsdWatch {
    bool enable = false;
    bool json = false;
    bool nmea = false;
    int raw = 0;
    bool scaled = false;
    bool timing = false;
    bool split24 = false;
    bool pps = false;

    // TPV and SKY go to this client as they are made.
    bool streams() const { return enable && json; }
};

// What the answers tell of the receiver and its newest reports.
struct GpsdContext {
    std::string device;  // the receiver's port
    unsigned int bps = 0;
    std::string now;     // the time of the request, as TPV writes times
    std::string tpv;     // the newest TPV object; empty before the first
    std::string sky;     // the newest SKY object; empty before the first
};

// The VERSION object a client gets when it connects, with its line end.
std::string GpsdVersionLine();

// Answers the requests complete at the front of `pending` (the bytes the
// client sent that are not yet answered) into `out`, removes them from
// `pending` and updates `watch`. False when the client must be closed: a
// request, or the unfinished rest, is longer than kGpsdRequestMax.
bool GpsdAnswerRequests(std::string& pending, GpsdWatch& watch, const GpsdContext& context, std::string& out);
