// Writes the seed corpus of fuzz_gnss_stream: what the simulated receiver
// puts on the wire when the monitor configures it, one file per kind of
// output, plus a mixed stream, a stream with corrupted checksums and a few
// frames at the edges of the framing rules.
//
//   fuzz_make_gnss_seeds tests/fuzz/corpus/gnss_stream
//
// The files are kept in the repository; run this again only when the wire
// formats change.

#include "tools/gnssproto/BinEncode.h"
#include "tools/gnssproto/NmeaEncode.h"
#include "tools/gnsssim/ReceiverModel.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace GnssSim;

namespace {

std::string join(const std::vector<Output>& outputs)
{
    std::string bytes;
    for (const Output& o : outputs) bytes += o.bytes;
    return bytes;
}

// Replies of a receiver to the given command lines.
std::string replies(ReceiverModel& model, const std::vector<std::string>& commands)
{
    std::string bytes;
    for (const std::string& c : commands) bytes += join(model.onLine(c, 0.0));
    return bytes;
}

// Periodic output over `seconds` after switching on the given outputs.
std::string output(const ModelConfig& config, const std::vector<std::string>& switches, double seconds)
{
    ReceiverModel model(config);
    for (const std::string& s : switches) model.onLine(s, 0.0);
    std::string bytes;
    for (double t = 0.0; t <= seconds; t += 0.05) bytes += join(model.due(t));
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_gnss_seeds <corpus folder>\n";
        return 2;
    }
    const std::string dir = argv[1];
    int written = 0;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
        ++written;
    };

    ModelConfig config;
    {
        ReceiverModel model(config);
        write("replies-identity", replies(model, {"$JI", "$JT", "$JK", "$JAPP", "$JOMS"}));
        model.onLine("$JBIN,1,10", 0.0);
        model.onLine("$JASC,GPVTG,1", 0.0);
        write("replies-show", replies(model, {"$JSHOW", "$JWAASPRN", "$JDIFF"}));
        model.onLine("$JAPP,2", 0.0);
        model.onLine("$JDIFF,RTK", 0.0);
        write("replies-rtk-slot2", replies(model, {"$JAPP", "$JSHOW", "$JK"}));
        write("alm", join(model.onLine("$JASC,GPALM", 0.0)));
    }
    write("bin1", output(config, {"$JBIN,1,10"}, 0.3));
    write("bin2", output(config, {"$JBIN,2,1"}, 0.0));
    write("bin99", output(config, {"$JBIN,99,1"}, 0.0));
    const std::vector<std::string> nmea = {"$JASC,GPGGA,1", "$JASC,GPVTG,1", "$JASC,GPGST,1",
                                           "$JASC,GPGSV,1", "$JASC,HEROT,1", "$JASC,HEHDG,1",
                                           "$JASC,D1,1"};
    write("nmea", output(config, nmea, 0.0));
    std::vector<std::string> all = nmea;
    all.insert(all.end(), {"$JBIN,1,10", "$JBIN,2,1", "$JBIN,99,1"});
    write("mixed", output(config, all, 0.25));
    ModelConfig corrupt = config;
    corrupt.corruptChecksums = true;
    write("mixed-bad-checksums", output(corrupt, all, 0.25));
    ModelConfig rtk = config;
    rtk.navMode = 6;
    rtk.drive.speed = 0.3;
    write("bin1-rtk-slow", output(rtk, {"$JBIN,1,10"}, 0.1));

    // Edges of the framing rules.
    write("bin97-longest", GnssProto::binFrame(97, std::string(502, '\x5a')));
    write("bin98-empty", GnssProto::binFrame(98, std::string()));
    write("bin1-short", GnssProto::binFrame(1, std::string(12, '\x01')));
    write("nmea-longest-line", "$" + std::string(127, 'A') + "\r\n$" + std::string(128, 'B') + "\r\n");
    write("nmea-checked", GnssProto::nmeaSentence("$PVRN,HPR,1,12.5,-3.25,0.5") +
                              GnssProto::nmeaSentenceBadChecksum("$HEROT,12.5,A") +
                              GnssProto::nmeaReply("$>JSHOW,BIN,1,20.0") +
                              GnssProto::nmeaReply("$>JSHOW,DIFF,AUTO") + GnssProto::nmeaReply("$>JK,x,FFFF") +
                              GnssProto::nmeaReply("$>JRTK,10,OK"));
    std::cout << written << " seeds written to " << dir << "\n";
    return 0;
}
