#include "tests/gnssmon/GpsdSampleContext.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace {

// Every request a client may send, what it is answered with (the classes of
// the objects, in order), whether the client then gets the stream, and
// whether it stays connected. `contains` is a piece of the answer that must
// be there.
TEST(GpsdProtocol, RequestsAndTheirAnswers) {
    const std::string longest = "?" + std::string(kGpsdRequestMax - 1, 'A');  // an unknown request, answered
    const struct {
        const char* name;
        std::string sent;
        bool streaming;  // before
        const char* classes;
        bool streamsAfter;
        bool keep;
        const char* contains;
        std::string left;  // not yet whole
    } rows[] = {
        {"version", "?VERSION;", false, "VERSION", false, true, R"("proto_major":3,"proto_minor":14})", ""},
        {"devices", "?DEVICES;\r\n", false, "DEVICES", false, true,
         R"({"class":"DEVICE","path":"/dev/ttyO1","driver":"gnssmon","flags":1,"bps":57600,"parity":"N","stopbits":1})", ""},
        {"libgps watch", R"(?WATCH={"enable":true,"json":true};)", false, "DEVICES WATCH", true, true,
         R"({"class":"WATCH","enable":true,"json":true,"nmea":false)", ""},
        {"python watch, no ;", "?WATCH={\"enable\":true,\"json\":true}\n", false, "DEVICES WATCH", true, true, "", ""},
        {"enable implies json", "?WATCH={}\n", false, "DEVICES WATCH", true, true, R"("enable":true,"json":true)", ""},
        {"disable", R"(?WATCH={"enable":false};)", true, "DEVICES WATCH", false, true, R"("enable":false)", ""},
        {"state alone", "?WATCH;", true, "DEVICES WATCH", true, true, R"("enable":true)", ""},
        {"NMEA is not served", R"(?WATCH={"enable":true,"nmea":true};)", false, "DEVICES WATCH", false, true,
         R"("json":false,"nmea":false)", ""},
        {"own device", R"(?WATCH={"device":"/dev/ttyO1"};)", false, "DEVICES WATCH", true, true, "", ""},
        {"poll", "?POLL;", false, "POLL", false, true,
         R"({"class":"POLL","time":"2026-12-08T09:00:00.000Z","active":1,"tpv":[{"class":"TPV","mode":3}],"sky":[{"class":"SKY"}]})",
         ""},
        {"two in one read", "?VERSION;?POLL;\n", false, "VERSION POLL", false, true, "", ""},
        {"unknown", "?FOO;", true, "ERROR", true, true, R"({"class":"ERROR","message":"Unrecognized request '?FOO'"})", ""},
        {"not a request", "hello\n", false, "ERROR", false, true, "'hello'", ""},
        {"bad JSON keeps the watch", R"(?WATCH={"enable":fals};)", true, "ERROR", true, true, "Invalid WATCH", ""},
        {"unknown attribute", R"(?WATCH={"enable":true,"colour":1};)", false, "ERROR", false, true, "colour", ""},
        {"wrong type", R"(?WATCH={"enable":1};)", false, "ERROR", false, true, "Invalid WATCH", ""},
        {"other device", R"(?WATCH={"device":"/dev/x;y"};)", false, "ERROR", false, true, "No such device as /dev/x;y", ""},
        {"bytes that are not UTF-8", "?\xff\xfe;", false, "ERROR", false, true, "Unrecognized", ""},
        {"not whole yet", R"(?VERSION;?WATCH={"enable":true)", false, "VERSION", false, true, "", R"(?WATCH={"enable":true)"},
        {"longest request", longest + ";", false, "ERROR", false, true, "", ""},
        {"one byte too long", longest + "A;", false, "", false, false, "", ""},
        {"too long and not whole", longest + "A", false, "", false, false, "", ""},
    };
    const GpsdContext context = SampleGpsdContext();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        GpsdWatch watch;
        watch.enable = watch.json = r.streaming;
        std::string pending = r.sent, out;
        EXPECT_EQ(r.keep, GpsdAnswerRequests(pending, watch, context, out));
        if (!r.keep) continue;
        EXPECT_EQ(r.left, pending);
        EXPECT_EQ(r.streamsAfter, watch.streams());
        EXPECT_NE(std::string::npos, out.find(r.contains)) << out;
        std::string classes;
        for (std::size_t at = 0; at < out.size();) {
            const std::size_t end = out.find("\r\n", at);
            ASSERT_NE(std::string::npos, end) << "every object ends in CR LF: " << out;
            const auto object = nlohmann::json::parse(out.substr(at, end - at));
            classes += (classes.empty() ? "" : " ") + object.at("class").get<std::string>();
            at = end + 2;
        }
        EXPECT_EQ(r.classes, classes);
    }
}

// A POLL before any report has empty lists, and a device that has not given
// a position has no "flags".
TEST(GpsdProtocol, NothingReportedYet) {
    GpsdContext context;
    context.device = "/dev/ttyO1";
    context.now = "2026-12-08T09:00:00.000Z";
    GpsdWatch watch;
    std::string pending = "?POLL;?DEVICES;", out;
    ASSERT_TRUE(GpsdAnswerRequests(pending, watch, context, out));
    EXPECT_NE(std::string::npos, out.find(R"("active":0,"tpv":[],"sky":[]})")) << out;
    EXPECT_EQ(std::string::npos, out.find("flags")) << out;
}

} // namespace
