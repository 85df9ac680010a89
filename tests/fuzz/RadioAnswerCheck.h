#pragma once
// Checks shared by the radio answer harnesses.

#include "common/CharVector.h"
#include "radio/Command.h"
#include "tests/fuzz/FuzzCheck.h"

#include <string>

namespace RadioAnswerCheck {

// The token answer of every setter and mode command, exactly: "ERROR" before
// the first NUL completes with COMMAND_STATUS_ERROR at its place; else the
// response token anywhere completes with
// COMMAND_STATUS_OK at its place (an empty token needs at least one byte);
// else parse returns false and leaves status, start and length alone.
inline void tokenParse(Veltrio::Radio::Command& command, const Veltrio::Common::CharVector& data,
                       const std::string& token)
{
    using namespace Veltrio::Radio;
    command.setStatus(COMMAND_STATUS_SENT);
    unsigned int start = 12345, length = 67890;
    const bool done = command.parse(data, start, length);
    const std::string all = data.str();
    const std::string text = all.substr(0, all.find('\0'));
    const std::size_t error = text.find("ERROR");
    const std::size_t ok = all.empty() ? std::string::npos : all.find(token);
    if (error != std::string::npos) {
        FUZZ_CHECK(done && command.getStatus() == COMMAND_STATUS_ERROR);
        FUZZ_CHECK(start == error && length == 5);
    } else if (ok != std::string::npos) {
        FUZZ_CHECK(done && command.getStatus() == COMMAND_STATUS_OK);
        FUZZ_CHECK(start == ok && length == token.size());
    } else {
        FUZZ_CHECK(!done && command.getStatus() == COMMAND_STATUS_SENT);
        FUZZ_CHECK(start == 12345 && length == 67890);
    }
}

// The received data as the engine offers it: growing prefixes, eight steps
// and then the whole. Calls `offer(prefix)` until it returns true; the result
// is whether any did.
template <typename Offer>
bool growing(const Veltrio::Common::CharVector& data, Offer offer)
{
    const std::size_t step = data.size() / 8 + 1;
    for (std::size_t cut = 0;; cut += step) {
        if (cut > data.size()) cut = data.size();
        const Veltrio::Common::CharVector prefix(std::string(data.begin(), data.begin() + static_cast<long>(cut)));
        if (offer(prefix)) return true;
        if (cut == data.size()) return false;
    }
}

} // namespace RadioAnswerCheck
