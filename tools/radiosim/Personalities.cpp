#include "tools/radiosim/Personalities.h"

#include "tools/radiosim/MicrohardPersonality.h"
#include "tools/radiosim/SatelPersonality.h"

namespace RadioSim {

namespace {

struct PersonalityRow {
    const char* name;
    std::unique_ptr<Personality> (*make)();
};

const PersonalityRow personalities[] = {
    {"satel", [] { return std::unique_ptr<Personality>(new SatelPersonality()); }},
    {"l400", [] { return std::unique_ptr<Personality>(new MicrohardPersonality(MicrohardModel::L400)); }},
    {"920a", [] { return std::unique_ptr<Personality>(new MicrohardPersonality(MicrohardModel::MHX920A)); }},
    // A Microhard radio of a kind radiocfg does not configure.
    {"microhard-other",
     [] { return std::unique_ptr<Personality>(new MicrohardPersonality(MicrohardModel::MHX920A, "MHX-SIM")); }},
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
