#include "tools/radiosim/Personalities.h"

#include "tools/radiosim/SatelPersonality.h"

namespace RadioSim {

namespace {

struct PersonalityRow {
    const char* name;
    std::unique_ptr<Personality> (*make)();
};

const PersonalityRow personalities[] = {
    {"satel", [] { return std::unique_ptr<Personality>(new SatelPersonality()); }},
};

} // namespace

std::unique_ptr<Personality> makePersonality(const std::string& type) {
    for (const auto& row : personalities)
        if (type == row.name) return row.make();
    return nullptr;
}

std::vector<std::string> personalityNames() {
    std::vector<std::string> names;
    for (const auto& row : personalities) names.push_back(row.name);
    return names;
}

} // namespace RadioSim
