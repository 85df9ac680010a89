#include "gnssmon/GpsdProtocol.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

// The protocol version the clients of Debian's daemon (3.22) expect.
constexpr int kProtoMajor = 3;
constexpr int kProtoMinor = 14;

// A request echoed in an ERROR may hold any bytes: what is not UTF-8 is replaced.
std::string line(const Json& object) { return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\r\n"; }

std::string error(const std::string& message) {
    Json e;
    e["class"] = "ERROR";
    e["message"] = message;
    return line(e);
}

// {"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/ttyO1",
//  "driver":"gnssmon","flags":1,"bps":57600,"parity":"N","stopbits":1}]}
// "flags" 1: a position has been seen on it.
std::string devices(const GpsdContext& context) {
    Json device;
    device["class"] = "DEVICE";
    device["path"] = context.device;
    device["driver"] = "gnssmon";
    if (!context.tpv.empty()) device["flags"] = 1;
    device["bps"] = context.bps;
    device["parity"] = "N";
    device["stopbits"] = 1;
    Json all;
    all["class"] = "DEVICES";
    all["devices"] = Json::array({device});
    return line(all);
}

// One row per WATCH attribute: its name and where it lives.
struct Switch {
    const char* name;
    bool GpsdWatch::*field;
};
const Switch kSwitches[] = {
    {"enable", &GpsdWatch::enable}, {"json", &GpsdWatch::json},     {"nmea", &GpsdWatch::nmea},
    {"scaled", &GpsdWatch::scaled}, {"timing", &GpsdWatch::timing}, {"split24", &GpsdWatch::split24},
    {"pps", &GpsdWatch::pps},
};

std::string watchObject(const GpsdWatch& watch) {
    Json w;
    w["class"] = "WATCH";
    for (const Switch& s : kSwitches) w[s.name] = watch.*s.field;
    w["raw"] = watch.raw;
    return line(w);
}

// Applies `text`, the object after "?WATCH=", to `watch`; the ERROR line
// when it cannot, with `watch` as it was.
std::string applyWatch(const std::string& text, GpsdWatch& watch, const GpsdContext& context) {
    const Json request = Json::parse(text, nullptr, false);
    if (!request.is_object()) return error("Invalid WATCH: not a JSON object");
    GpsdWatch changed = watch;
    changed.enable = true;
    bool outputAsked = false;
    for (const auto& [name, value] : request.items()) {
        const Switch* s = nullptr;
        for (const Switch& row : kSwitches)
            if (name == row.name) s = &row;
        if (s != nullptr && value.is_boolean()) {
            changed.*s->field = value.get<bool>();
            outputAsked = outputAsked || s->field == &GpsdWatch::json || s->field == &GpsdWatch::nmea;
        } else if (name == "raw" && value.is_number_integer() && value.get<int>() >= 0 && value.get<int>() <= 2) {
            changed.raw = value.get<int>();
            outputAsked = true;
        } else if (name == "device" && value.is_string()) {
            if (value.get<std::string>() != context.device) return error("No such device as " + value.get<std::string>());
        } else {
            return error("Invalid WATCH: bad attribute " + name);
        }
    }
    if (changed.enable && !outputAsked) changed.json = true;
    // Only JSON is served.
    changed.nmea = false;
    changed.raw = 0;
    watch = changed;
    return {};
}

// {"class":"POLL","time":"...","active":1,"tpv":[{...}],"sky":[{...}]}
std::string poll(const GpsdContext& context) {
    const bool active = !context.tpv.empty() || !context.sky.empty();
    std::string p = R"({"class":"POLL","time":")" + context.now + R"(","active":)" + (active ? "1" : "0");
    p += R"(,"tpv":[)" + context.tpv + R"(],"sky":[)" + context.sky + "]}\r\n";
    return p;
}

// The answer to one request, without its ";" or line end.
std::string answer(const std::string& request, GpsdWatch& watch, const GpsdContext& context) {
    if (request == "?VERSION") return GpsdVersionLine();
    if (request == "?DEVICES") return devices(context);
    if (request == "?POLL") return poll(context);
    if (request == "?WATCH") return devices(context) + watchObject(watch);
    if (request.rfind("?WATCH=", 0) == 0) {
        const std::string refused = applyWatch(request.substr(7), watch, context);
        return refused.empty() ? devices(context) + watchObject(watch) : refused;
    }
    return error("Unrecognized request '" + request + "'");
}

// Where the request starting at `from` ends: its ";" or line end outside a
// JSON string; npos while it has not come whole.
std::size_t requestEnd(const std::string& text, std::size_t from) {
    bool inString = false, escaped = false;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (escaped) escaped = false;
        else if (inString && c == '\\') escaped = true;
        else if (c == '"') inString = !inString;
        else if (c == '\n' || (!inString && c == ';')) return i;
    }
    return std::string::npos;
}

} // namespace

std::string GpsdVersionLine() {
    Json v;
    v["class"] = "VERSION";
    v["release"] = "gnssmon";
    v["rev"] = "gnssmon";
    v["proto_major"] = kProtoMajor;
    v["proto_minor"] = kProtoMinor;
    return line(v);
}

bool GpsdAnswerRequests(std::string& pending, GpsdWatch& watch, const GpsdContext& context, std::string& out) {
    std::size_t at = 0;
    for (;;) {
        at = pending.find_first_not_of(" \t\r\n;", at);
        if (at == std::string::npos) {
            pending.clear();
            return true;
        }
        const std::size_t end = requestEnd(pending, at);
        if (end == std::string::npos) break;
        std::string request = pending.substr(at, end - at);
        request.erase(request.find_last_not_of(" \t\r") + 1);
        if (request.size() > kGpsdRequestMax) return false;
        out += answer(request, watch, context);
        at = end + 1;
    }
    pending.erase(0, at);
    return pending.size() <= kGpsdRequestMax;
}
