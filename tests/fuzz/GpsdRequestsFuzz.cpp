// Fuzz target: the requests of gpsd clients, as gnssmon --listen answers them.
//
// The input is what one client sends, handed over in reads whose size the
// first byte gives (1 to 256 bytes), as a socket may cut it anywhere.
//
// Invariants besides "no crash, no sanitizer report":
// - every answer is whole lines, each a JSON object with a "class", ending in
//   CR LF;
// - while the client is kept, what is left unanswered is never longer than
//   the longest request allowed;
// - a watch never streams anything but JSON.

#include "tests/gnssmon/GpsdSampleContext.h"
#include "tests/fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const std::size_t chunk = data[0] + 1u;
    const GpsdContext context = SampleGpsdContext();
    GpsdWatch watch;
    std::string pending;
    for (std::size_t at = 1; at < size; at += chunk) {
        pending.append(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at));
        std::string out;
        const bool keep = GpsdAnswerRequests(pending, watch, context, out);
        for (std::size_t line = 0; line < out.size();) {
            const std::size_t end = out.find("\r\n", line);
            FUZZ_CHECK(end != std::string::npos);
            const auto object = nlohmann::json::parse(out.substr(line, end - line), nullptr, false);
            FUZZ_CHECK(object.is_object() && object.contains("class"));
            line = end + 2;
        }
        if (!keep) return 0;
        FUZZ_CHECK(pending.size() <= kGpsdRequestMax);
        FUZZ_CHECK(!watch.nmea && watch.raw == 0);
    }
    return 0;
}
