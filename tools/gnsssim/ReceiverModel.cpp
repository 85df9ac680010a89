#include "tools/gnsssim/ReceiverModel.h"

#include "tools/gnsssim/Messages.h"
#include "tools/gnssproto/NmeaEncode.h"

#include <cstdio>
#include <cstdlib>

namespace GnssSim {

namespace {

// This port's name in port arguments ("$JBAUD,57600,PORTD" addresses port D).
constexpr const char* kThisPort = "PORTA";

const char* const kAppNames[3] = {"", "RTK", "OMNISTAR"};

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    out.push_back(cur);
    return out;
}

bool isValidBaud(long b) {
    return b == 4800 || b == 9600 || b == 19200 || b == 38400 || b == 57600 || b == 115200;
}

// A port argument at `index` that names another port makes the command
// irrelevant to this line.
bool forOtherPort(const std::vector<std::string>& t, std::size_t index) {
    return t.size() > index && !t[index].empty() && t[index] != kThisPort && t[index] != "THIS";
}

// Makes a framed sentence or binary frame fail its checksum.
void corrupt(std::string& bytes) {
    if (bytes.compare(0, 4, "$BIN") == 0) {
        // The checksum follows the N data bytes: offset 8 + N.
        if (bytes.size() < 8) return;
        const std::size_t at = 8 + (static_cast<unsigned char>(bytes[6]) | (static_cast<unsigned char>(bytes[7]) << 8));
        if (at < bytes.size()) bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        return;
    }
    const std::size_t star = bytes.rfind('*');
    if (star == std::string::npos || star + 3 > bytes.size()) return;
    const unsigned old = static_cast<unsigned>(std::strtoul(bytes.substr(star + 1, 2).c_str(), nullptr, 16));
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", (old ^ 0x5Au) & 0xFFu);
    bytes[star + 1] = hex[0];
    bytes[star + 2] = hex[1];
}

} // namespace

ReceiverModel::ReceiverModel(const ModelConfig& config)
    : cfg(config), drive(config.drive), currentBaud(config.baud), slot(config.appSlot == 2 ? 2 : 1) {
    streams = {
        {"1", true}, {"2", true}, {"99", true},
        {"GPGGA", false}, {"GPVTG", false}, {"GPGST", false}, {"GPGSV", false},
        {"HEROT", false}, {"HEHDG", false}, {"D1", false}, {"GPALM", false},
    };
    if (cfg.ignoreCommands) find("GPGGA", false)->rate = 5.0;
}

bool ReceiverModel::talking(double now) const {
    if (cfg.silent || now < cfg.startTalkingAfter) return false;
    return cfg.stopTalkingAfter < 0 || now < cfg.stopTalkingAfter;
}

double ReceiverModel::rate(const std::string& name) const {
    for (const Stream& s : streams)
        if (name == s.name) return s.rate;
    return 0.0;
}

ReceiverModel::Stream* ReceiverModel::find(const std::string& name, bool binary) {
    for (Stream& s : streams)
        if (s.binary == binary && name == s.name) return &s;
    return nullptr;
}

Output ReceiverModel::frame(const std::string& bytes) const {
    Output o;
    o.bytes = bytes;
    o.corrupted = cfg.corruptChecksums;
    if (o.corrupted) corrupt(o.bytes);
    return o;
}

void ReceiverModel::reply(std::vector<Output>& out, const std::string& text) const {
    Output o;
    o.bytes = GnssProto::nmeaReply(text);
    out.push_back(o);
}

void ReceiverModel::emit(std::vector<Output>& out, std::size_t i, const Fix& fix) const {
    const std::string name = streams[i].name;
    if (name == "1") {
        Output o = frame(bin1Frame(fix, cfg.navMode));
        o.hasPosition = true;
        o.fix = fix;
        out.push_back(o);
    } else if (name == "2") {
        out.push_back(frame(bin2Frame(fix, sbasPrn1, sbasPrn2)));
    } else if (name == "99") {
        out.push_back(frame(bin99Frame(fix)));
    } else if (name == "GPGGA") {
        out.push_back(frame(GnssProto::nmeaSentence(ggaBody(fix))));
    } else if (name == "GPVTG") {
        out.push_back(frame(GnssProto::nmeaSentence(vtgBody(fix))));
    } else if (name == "GPGST") {
        out.push_back(frame(GnssProto::nmeaSentence(gstBody(fix))));
    } else if (name == "GPGSV") {
        for (const std::string& b : gsvBodies(fix)) out.push_back(frame(GnssProto::nmeaSentence(b)));
    } else if (name == "HEROT") {
        out.push_back(frame(GnssProto::nmeaSentence(herotBody(fix))));
    } else if (name == "HEHDG") {
        out.push_back(frame(GnssProto::nmeaSentence(hehdgBody(fix))));
    } else if (name == "D1") {
        out.push_back(frame(GnssProto::nmeaSentence(rd1Body(fix))));
    } else if (name == "GPALM") {
        for (const std::string& b : almBodies(fix)) out.push_back(frame(GnssProto::nmeaSentence(b)));
    }
}

std::vector<Output> ReceiverModel::due(double now) {
    std::vector<Output> out;
    bool haveFix = false;
    Fix fix{};
    for (std::size_t i = 0; i < streams.size(); ++i) {
        Stream& s = streams[i];
        if (s.rate <= 0.0 || now < s.next) continue;
        if (!haveFix) {
            fix = drive.at(now);
            haveFix = true;
        }
        emit(out, i, fix);
        const double period = 1.0 / s.rate;
        s.next += period;
        if (s.next <= now) s.next = now + period;  // fell behind: do not burst
    }
    return out;
}

std::vector<Output> ReceiverModel::onLine(const std::string& rawLine, double now) {
    std::vector<Output> out;
    if (cfg.ignoreCommands) return out;
    std::string line = rawLine;
    const std::size_t star = line.find('*');
    if (star != std::string::npos) line.erase(star);
    if (line.size() < 2 || line[0] != '$') return out;
    const std::vector<std::string> t = split(line.substr(1));
    const std::string& cmd = t[0];
    const std::size_t args = t.size() - 1;

    if (cmd == "JI") {
        reply(out, "$>JI,8120431,1,7,01012024,01/01/1900,01/01/3000,1.5Sim,0");
    } else if (cmd == "JT") {
        reply(out, "$>JT,SIM325");
    } else if (cmd == "JK" && args == 0) {
        reply(out, "$>JK,01/01/3000,0F");
    } else if (cmd == "JAPP") {
        if (args == 0) {
            const int other = 3 - slot;
            reply(out, std::string("$>JAPP,") + kAppNames[slot] + "," + kAppNames[other] + "," +
                           std::to_string(slot) + "," + std::to_string(other));
        } else if (t[1] == "1" || t[1] == "2") {
            slot = t[1] == "1" ? 1 : 2;
        } else if (t[1] == "OTHER") {
            slot = 3 - slot;
        }
    } else if (cmd == "JSHOW") {
        reply(out, "$>JSHOW,BAUD," + std::to_string(currentBaud));
        char rateText[32];
        for (const Stream& s : streams) {
            if (s.rate <= 0.0) continue;
            std::snprintf(rateText, sizeof rateText, "%.1f", s.rate);
            reply(out, std::string("$>JSHOW,") + (s.binary ? "BIN," : "ASC,") + s.name + "," + rateText);
        }
        reply(out, "$>JSHOW,DIFF," + diffType);
        reply(out, "$>JSHOW,ALT,NEVER");
        reply(out, "$>JSHOW,MASK,10");
    } else if (cmd == "JBAUD") {
        if (args >= 1 && !forOtherPort(t, 2)) {
            const long b = std::strtol(t[1].c_str(), nullptr, 10);
            if (isValidBaud(b)) currentBaud = static_cast<unsigned>(b);
        }
    } else if (cmd == "JOFF") {
        if (!forOtherPort(t, 1))
            for (Stream& s : streams) s.rate = 0.0;
    } else if (cmd == "JBIN" || cmd == "JASC") {
        const bool binary = cmd == "JBIN";
        Stream* s = args >= 1 ? find(t[1], binary) : nullptr;
        if (s && !forOtherPort(t, 3)) {
            if (args == 1) {
                if (!binary && t[1] == "GPALM") emit(out, static_cast<std::size_t>(s - streams.data()), drive.at(now));
            } else {
                const double r = std::strtod(t[2].c_str(), nullptr);
                s->rate = (r > 0.0 && r <= 100.0) ? r : 0.0;
                s->next = now;
            }
        }
    } else if (cmd == "JDIFF") {
        if (args == 0)
            reply(out, "$>JDIFF," + diffType);
        else if (args == 1)
            diffType = t[1];
    } else if (cmd == "JOMS") {
        reply(out, "$>JOMS,1557.8450,1200,OK,VBS,Active,31/12/2030,HP,Active");
    } else if (cmd == "JGEO") {
        reply(out, "$>JGEO,Sent=1575.4200,Used=1575.4200,PRN=" + std::to_string(sbasPrn1) + ",Lon=-98,Elev=30.4,AZ=165.0");
    } else if (cmd == "JWAASPRN") {
        if (args == 0) {
            reply(out, "$>JWAASPRN," + std::to_string(sbasPrn1) + "," + std::to_string(sbasPrn2));
        } else {
            sbasPrn1 = std::atoi(t[1].c_str());
            sbasPrn2 = args >= 2 ? std::atoi(t[2].c_str()) : 0;
        }
    } else if (cmd == "JNMEA" && args >= 1 && t[1] == "GGAALLGNSS") {
        if (args == 1)
            reply(out, std::string("$>JNMEA,GGAALLGNSS,") + (ggaAllGnss ? "YES" : "NO"));
        else
            ggaAllGnss = t[2] == "YES";
    }
    return out;
}

} // namespace GnssSim
