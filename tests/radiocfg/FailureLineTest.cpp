// A failure message is printed on one line, with the control bytes it quotes
// from the wire written out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "radiocfg/FailureLine.h"
#include "radiocfg/Outcome.h"

TEST(FailureLineTest, ControlBytesAreWrittenOutAndTheRestKept) {
    const struct {
        std::string message;
        std::string line;
    } cases[] = {
        {"Timeout waiting for repsonse: SL+++", "Timeout waiting for repsonse: SL+++"},
        {"Command error: ATS102=1\r\n", "Command error: ATS102=1\\r\\n"},
        {"Timeout waiting for repsonse: \r\nATA\r\n", "Timeout waiting for repsonse: \\r\\nATA\\r\\n"},
        {"Timeout waiting for repsonse: \x1b", "Timeout waiting for repsonse: \\x1b"},
        {"Timeout waiting for repsonse: 42\r450125000\r1\r2\r",
         "Timeout waiting for repsonse: 42\\r450125000\\r1\\r2\\r"},
        {std::string("a\0b\tc\x7f" "d", 7), "a\\x00b\\tc\\x7fd"},
        {"Can not open file: No such file or directory", "Can not open file: No such file or directory"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(failureLine(c.message), c.line);
}

// With --json the same failure is one JSON object holding the message as it
// is, also when the radio's bytes it quotes are not text at all.
TEST(FailureLineTest, AsJsonTheMessageIsKeptWhole) {
    Outcome outcome;
    outcome.command = "query";
    outcome.fail("Command error: ATS102=1\r\n\xff\xfe");
    std::ostringstream out;
    printJson(outcome, out);
    EXPECT_EQ(out.str().find('\n'), out.str().size() - 1) << out.str();
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["command"], "query");
    EXPECT_EQ(json["error"], "Command error: ATS102=1\r\n\xef\xbf\xbd\xef\xbf\xbd"); // U+FFFD for each
}
