#include "tests/support/ScriptedDevice.h"

#include <algorithm>

namespace TestSupport {

void ScriptedDevice::answer(const std::string& text, std::vector<std::string> pieces) {
    answers.emplace_back(text, std::move(pieces));
}

void ScriptedDevice::deliver(std::vector<std::string> pieces) {
    toDeliver.insert(toDeliver.end(), pieces.begin(), pieces.end());
}

void ScriptedDevice::stream(const std::string& piece) { endless = piece; }

void ScriptedDevice::dataIn() {
    ++readCount;
    std::string piece;
    if (!toDeliver.empty()) {
        piece = toDeliver.front();
        toDeliver.pop_front();
    } else {
        piece = endless;
    }
    injectData(piece.data(), static_cast<unsigned int>(piece.size()));
    if (onRead) onRead(piece.empty());
}

void ScriptedDevice::dataOut(const char* data, unsigned int length) {
    removeData();
    const std::string text(data, length);
    written.push_back(text);
    const auto match = std::find_if(answers.begin(), answers.end(),
                                    [&text](const auto& entry) { return entry.first == text; });
    if (match == answers.end()) return;
    toDeliver.insert(toDeliver.end(), match->second.begin(), match->second.end());
    answers.erase(match);
}

} // namespace TestSupport
