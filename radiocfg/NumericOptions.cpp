#include "radiocfg/NumericOptions.h"

#include "radiocfg/Flows.h"

#include <limits>

namespace {

struct NumericOption {
    const char* name;
    unsigned int minimum;
    unsigned int maximum;
};
constexpr unsigned int anyNumber = std::numeric_limits<unsigned int>::max();
constexpr NumericOption numericOptions[] = {
    {"baud", 0, anyNumber},         {"satel_freq", 0, anyNumber}, {"satel_spacing", 0, anyNumber},
    {"satel_power", 0, anyNumber},  {"920a_channel", 0, 99},      {"920a_address", 2, 65534},
    {"l400_freq", 0, anyNumber},    {"l400_power", 0, anyNumber},
};

const NumericOption* findOption(const std::string& name) {
    for (const NumericOption& option : numericOptions)
        if (name == option.name) return &option;
    return nullptr;
}

bool readNumber(const std::string& text, unsigned long long& value) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoull(text);
    return true;
}

bool accepted(const NumericOption& option, const std::string& text) {
    unsigned long long value = 0;
    return readNumber(text, value) && value >= option.minimum && value <= option.maximum;
}

} // namespace

bool numberAccepted(const std::string& name, const std::string& text) {
    const NumericOption* option = findOption(name);
    return option == nullptr || accepted(*option, text);
}

void checkNumbers(const boost::program_options::parsed_options& parsed) {
    for (const boost::program_options::option& given : parsed.options) {
        const NumericOption* option = findOption(given.string_key);
        if (option == nullptr || given.value.empty() || accepted(*option, given.value.front())) continue;
        if (given.string_key == "baud" && given.value.front() == automaticBaud) continue;
        std::string message = "Invalid --" + given.string_key + ": " + given.value.front();
        if (option->maximum != anyNumber)
            message += " (" + std::to_string(option->minimum) + " to " + std::to_string(option->maximum) + ")";
        throw boost::program_options::error(message);
    }
}
