#pragma once
// The radios radiosim can be: one row per personality in Personalities.cpp.

#include <memory>
#include <string>
#include <vector>

#include "tools/radiosim/Personality.h"

namespace RadioSim {

// A radio of the named type in its factory state, or null for an unknown name.
std::unique_ptr<Personality> makePersonality(const std::string& type);

// The names makePersonality knows, in table order.
std::vector<std::string> personalityNames();

} // namespace RadioSim
