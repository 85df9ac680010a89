#pragma once
// The mode keywords of the l400 and 920a commands and the driver modes they
// stand for: what the command line takes and what --query prints.

#include <cstddef>
#include <string>

#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardL400Radio.h"

namespace Veltrio::Radio {

template <class Mode>
struct ModeKeyword {
    const char* text;
    Mode mode;
};

constexpr ModeKeyword<MICROHARD_L400_MODE> l400Modes[] = {
    {"PC1", MICROHARD_L400_MODE_PC1}, {"PC2", MICROHARD_L400_MODE_PC2}, {"PC3", MICROHARD_L400_MODE_PC3},
    {"PC4", MICROHARD_L400_MODE_PC4}, {"VLTR", MICROHARD_L400_MODE_VLTR},
};
constexpr ModeKeyword<MICROHARD_920A_MODE> mh920aModes[] = {
    {"SLOW", MICROHARD_920A_MODE_SLOW}, {"SLOW2", MICROHARD_920A_MODE_SLOW2}, {"FAST", MICROHARD_920A_MODE_FAST},
};

// Whole, case-sensitive keywords, in table order.
template <class Mode, std::size_t N>
bool findMode(const ModeKeyword<Mode> (&table)[N], const std::string& text, Mode& mode) {
    for (const auto& k : table)
        if (text == k.text) {
            mode = k.mode;
            return true;
        }
    return false;
}

template <class Mode, std::size_t N>
const char* keywordOf(const ModeKeyword<Mode> (&table)[N], Mode mode) {
    for (const auto& k : table)
        if (k.mode == mode) return k.text;
    return "";
}

} // namespace Veltrio::Radio
