#include "tools/radiosim/SatelPersonality.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace RadioSim {

namespace {

const std::string ok = "OK\r\n";
const std::string error = "ERROR\r\n";

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// "500" -> 500; at most nine digits, nothing else.
bool readUnsigned(const std::string& text, unsigned int& value) {
    if (!allDigits(text) || text.size() > 9) return false;
    value = static_cast<unsigned int>(std::stoul(text));
    return true;
}

// "-110" -> -110.
bool readSigned(const std::string& text, int& value) {
    const bool negative = !text.empty() && text[0] == '-';
    unsigned int magnitude = 0;
    if (!readUnsigned(negative ? text.substr(1) : text, magnitude)) return false;
    value = negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return true;
}

// "438.12500" -> 438125000 Hz, in integers so that no digit is lost: at most
// five decimals (the radio's 10 Hz step).
bool readMegahertz(const std::string& text, unsigned int& hz) {
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (!allDigits(whole) || whole.size() > 3) return false;
    if (point != std::string::npos && (!allDigits(fraction) || fraction.size() > 5)) return false;
    fraction.resize(6, '0');
    hz = static_cast<unsigned int>(std::stoul(whole) * 1000000 + std::stoul(fraction));
    return true;
}

// 438125000 -> "438.12500"
std::string megahertzText(unsigned int hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%05u", hz / 1000000, (hz % 1000000) / 10);
    return text;
}

// "ffff" -> "FFFF": one to four hex digits, kept as four upper-case digits.
bool readAddress(const std::string& text, std::string& address) {
    if (text.empty() || text.size() > 4) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    address = std::string(4 - text.size(), '0') + text;
    std::transform(address.begin(), address.end(), address.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return true;
}

// Where the command at the front of `text` (which starts with neither CR
// nor LF) ends, or npos when more bytes may still belong to it. A command
// ends at a line end, where the next "SL" begins, after the "?" of a query or
// the ">" of a flash command, and after "SL+++" / "SL++O".
std::size_t commandEnd(const std::string& text) {
    const std::size_t limit = std::min(text.find_first_of("\r\n"), text.find("SL", 1));
    if (text.compare(0, 2, "SL") == 0) {
        if (text.compare(0, 5, "SL+++") == 0 || text.compare(0, 5, "SL++O") == 0) return 5;
        const std::size_t mark = text.find_first_of("?>", 2);
        if (mark != std::string::npos && mark < limit) return mark + 1;
    }
    return limit;
}

} // namespace

SatelPersonality::SatelPersonality(SatelSettings initial) : current(std::move(initial)) {}

std::vector<std::string> SatelPersonality::takeCommands(std::string& input, bool idle) {
    std::vector<std::string> commands;
    for (;;) {
        input.erase(0, std::min(input.find_first_not_of("\r\n"), input.size()));
        if (input.empty()) break;
        std::size_t end = commandEnd(input);
        if (end == std::string::npos) {
            if (!idle) break;
            end = input.size();
        }
        commands.push_back(input.substr(0, end));
        input.erase(0, end);
    }
    return commands;
}

std::string SatelPersonality::errorAnswer() const { return error; }

std::string SatelPersonality::echoOf(const std::string& command) const {
    const bool answered = command.compare(0, 2, "SL") == 0 && (commandMode || command == "SL+++");
    return echoesEveryCommand() && answered ? command + "\r\n" : std::string();
}

std::string SatelPersonality::answer(const std::string& command) {
    const std::string echo = echoOf(command);
    const std::string answer = reply(command);
    return answer.empty() ? answer : echo + answer;
}

std::string SatelPersonality::reply(const std::string& command) {
    if (command.compare(0, 2, "SL") != 0) return std::string(); // not for this radio
    if (command == "SL+++") {
        commandMode = true;
        return ok;
    }
    if (!commandMode) return std::string(); // data for the air, not a command
    if (command == "SL++O") {
        commandMode = false;
        return ok;
    }
    if (command == "SL**>") {
        ++flashWrites;
        unsavedChanges = false;
        return ok;
    }
    if (command == "SL*R>") {
        current = SatelSettings();
        unsavedChanges = true;
        return ok;
    }
    const std::size_t equals = command.find('=');
    if (equals != std::string::npos) {
        if (!apply(command.substr(0, equals), command.substr(equals + 1))) return error;
        unsavedChanges = true;
        return ok;
    }
    return query(command);
}

bool SatelPersonality::apply(const std::string& name, const std::string& value) {
    // The setting of state() each setter changes.
    static const std::pair<const char*, const char*> settingOf[] = {
        {"SL&F", "frequency"},  {"SL&F", "rx_frequency"},   {"SL&W", "channel_spacing"},
        {"SL@P", "power"},      {"SL#I", "tx_address"},     {"SL#I", "rx_address"},
        {"SL&D", "operation_mode"}, {"SL@T", "signal_threshold"}, {"SL%B", "serial"},
    };
    SatelSettings next = current;
    if (name == "SL&F") {
        if (!readMegahertz(value, next.frequency)) return false;
        if (next.frequency < lowestFrequency || next.frequency > highestFrequency) return false;
        next.rxFrequency = next.frequency;
    } else if (name == "SL&W") {
        unsigned int tens = 0;
        if (!readUnsigned(value, tens) || (tens != 1250 && tens != 2000 && tens != 2500)) return false;
        next.channelSpacing = tens * 10;
    } else if (name == "SL@P") {
        if (!readUnsigned(value, next.power)) return false;
        if (std::find(std::begin(powerLevels), std::end(powerLevels), next.power) == std::end(powerLevels))
            return false;
    } else if (name == "SL#I") {
        if (!readAddress(value, next.txAddress)) return false;
        next.rxAddress = next.txAddress;
    } else if (name == "SL&D") {
        if (value != "D" && value != "R" && value != "S") return false;
        next.operationMode = value[0];
    } else if (name == "SL@T") {
        if (!readSigned(value, next.signalThreshold)) return false;
        if (next.signalThreshold < lowestThreshold || next.signalThreshold > highestThreshold) return false;
    } else if (name == "SL%B") {
        // 19200,8,N,1
        unsigned int baud = 0, bits = 0, stop = 0;
        char parity = 0;
        char tail = 0;
        if (std::sscanf(value.c_str(), "%u,%u,%c,%u%c", &baud, &bits, &parity, &stop, &tail) != 4) return false;
        const unsigned int rates[] = {1200, 2400, 4800, 9600, 19200, 38400};
        if (std::find(std::begin(rates), std::end(rates), baud) == std::end(rates)) return false;
        if (bits < 7 || bits > 9 || (parity != 'E' && parity != 'N' && parity != 'O') || stop < 1 || stop > 2)
            return false;
        next.baud = baud;
        next.bits = bits;
        next.parity = parity;
        next.stopBits = stop;
    } else {
        return false;
    }
    for (const auto& [command, setting] : settingOf)
        if (name == command && keeps(setting)) return true; // acknowledged, not applied
    current = next;
    return true;
}

std::string SatelPersonality::query(const std::string& command) const {
    const SatelSettings& s = current;
    if (command == "SL&F?") {
        return "TX " + megahertzText(s.frequency) + " MHz, RX " + megahertzText(s.rxFrequency) + " MHz\r\n";
    }
    if (command == "SL&C?") return megahertzText((lowestFrequency + highestFrequency) / 2) + " MHz\r\n";
    if (command == "SL&W?") {
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u kHz\r\n", s.channelSpacing / 1000, (s.channelSpacing % 1000) / 100);
        return text;
    }
    if (command == "SL@P?") return std::to_string(s.power) + " mW\r\n";
    if (command == "SL#I?") return s.txAddress + ";" + s.rxAddress;
    if (command == "SL&D?") return std::string(1, s.operationMode) + "\r\n";
    if (command == "SL@R?") return "-97 dBm\r\n";
    if (command == "SL@F?") return "<-118 dBm\r\n";
    if (command == "SL@T?") return std::to_string(s.signalThreshold) + " dBm\r\n";
    if (command == "SL%B?")
        return std::to_string(s.baud) + "," + std::to_string(s.bits) + "," + s.parity + "," +
               std::to_string(s.stopBits) + "\r\n";
    if (command == "SL%V?") return "V07.22.2\r\n";
    if (command == "SL%D?") return "RADIOSIM UHF\r\n";
    if (command == "SL%S?") return "250400117\r\n";
    if (command == "SL%H?") return "LB-SIM-3\r\n";
    if (command == "SL%C?") return "PN-0417-SIM\r\n";
    if (command == "SL!H?") return "HW:2.1\r\n";
    return error;
}

bool SatelPersonality::preset(const std::string& setting, const std::string& value) {
    unsigned int* const target = setting == "frequency"         ? &current.frequency
                                 : setting == "rx_frequency"    ? &current.rxFrequency
                                 : setting == "channel_spacing" ? &current.channelSpacing
                                 : setting == "power"           ? &current.power
                                                                : nullptr;
    return target != nullptr && readUnsigned(value, *target);
}

State SatelPersonality::state() const {
    const SatelSettings& s = current;
    return {
        {"command_mode", commandMode ? "yes" : "no"},
        {"frequency", std::to_string(s.frequency)},
        {"rx_frequency", std::to_string(s.rxFrequency)},
        {"channel_spacing", std::to_string(s.channelSpacing)},
        {"power", std::to_string(s.power)},
        {"tx_address", s.txAddress},
        {"rx_address", s.rxAddress},
        {"operation_mode", std::string(1, s.operationMode)},
        {"signal_threshold", std::to_string(s.signalThreshold)},
        {"serial", std::to_string(s.baud) + "," + std::to_string(s.bits) + "," + s.parity + "," +
                       std::to_string(s.stopBits)},
        {"flash_writes", std::to_string(flashWrites)},
        {"unsaved_changes", unsavedChanges ? "yes" : "no"},
    };
}

} // namespace RadioSim
