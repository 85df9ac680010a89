#include "radiocfg/ReadSettings.h"

Settings queryLine(const Settings& read, const Settings& written) {
    Settings line;
    for (const Setting& got : read) {
        if (got.isOption) {
            line.push_back(got);
            continue;
        }
        for (const Setting& expected : written)
            if (expected.option == got.option && expected.value != got.value)
                line.push_back({got.option, notSettable + got.option + "=" + got.value, false});
    }
    return line;
}

std::string plainValue(const Settings& settings, const std::string& option) {
    const std::string marker = notSettable;
    for (const Setting& s : settings)
        if (s.option == option)
            return s.value.compare(0, marker.size(), marker) == 0 ? s.value.substr(marker.size()) : s.value;
    return std::string();
}
