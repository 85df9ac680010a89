#include "tools/radiosim/MicrohardPersonality.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>

namespace RadioSim {

namespace {

const std::string ok = "\r\nOK\r\n";
const std::string error = "\r\nERROR\r\n";
const std::string escapeAnswer = "\r\nNO CARRIER\r\nOK\r\n";
const char escapeByte = '\x1b';

// Plain decimal digits with an optional leading minus, nothing else.
bool readNumber(const std::string& text, long long& value) {
    const std::size_t digits = (!text.empty() && text[0] == '-') ? 1 : 0;
    if (text.size() == digits || text.size() > digits + 12) return false;
    if (!std::all_of(text.begin() + static_cast<long>(digits), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
    value = std::stoll(text);
    return true;
}

bool within(const std::string& text, long long low, long long high) {
    long long value = 0;
    return readNumber(text, value) && value >= low && value <= high;
}

bool oneOf(const std::string& text, std::initializer_list<long long> values) {
    long long value = 0;
    return readNumber(text, value) && std::find(values.begin(), values.end(), value) != values.end();
}

using Accepts = bool (*)(const std::string& value, MicrohardModel model);

// The S-registers: factory value per model (null: the model has no such
// register) and the values a write may set (null: read-only).
struct RegisterRow {
    int number;
    const char* l400Factory;
    const char* mhx920aFactory;
    Accepts accepts;
};

// clang-format off
const RegisterRow registerRows[] = {
    {101, "2",        "2",        [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {102, "7",        "7",        [](const std::string& v, MicrohardModel) { return within(v, 0, 14); }},
    {103, "5",        "0",        [](const std::string& v, MicrohardModel m) {
                                      return m == MicrohardModel::L400 ? oneOf(v, {5, 6, 8}) : within(v, 0, 5); }},
    {104, "1234",     "1234",     [](const std::string& v, MicrohardModel) { return within(v, 0, 4000000000LL); }},
    {105, "2",        "2",        [](const std::string& v, MicrohardModel) { return within(v, 2, 65534); }},
    {107, "FFFFFFFF", "FFFFFFFF", [](const std::string& v, MicrohardModel) { return v.size() <= 16; }},
    {108, "30",       "30",       [](const std::string& v, MicrohardModel m) {
                                      return within(v, 20, 30) || (m == MicrohardModel::L400 && oneOf(v, {33, 35, 37})); }},
    {109, "3",        "3",        [](const std::string& v, MicrohardModel) { return within(v, 0, 19); }},
    {110, "1",        "1",        [](const std::string& v, MicrohardModel) { return within(v, 1, 10); }},
    {112, "256",      "256",      [](const std::string& v, MicrohardModel) { return within(v, 0, 65536); }},
    {113, "3",        "3",        [](const std::string& v, MicrohardModel) { return within(v, 0, 255); }},
    {115, "3",        "3",        [](const std::string& v, MicrohardModel) { return within(v, 1, 255); }},
    {116, "5",        "5",        [](const std::string& v, MicrohardModel) { return within(v, 0, 254); }},
    {118, "65535",    "65535",    [](const std::string& v, MicrohardModel) { return within(v, 1, 254) || v == "65535"; }},
    {119, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 1); }},
    {123, "-87",      "-87",      nullptr},
    {125, "1",        nullptr,    [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {131, "0",        nullptr,    [](const std::string& v, MicrohardModel) { return within(v, 0, 64); }},
    {132, "0",        nullptr,    [](const std::string& v, MicrohardModel) { return within(v, 0, 64); }},
    {133, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {140, "1",        "1",        [](const std::string& v, MicrohardModel) { return within(v, 1, 65535); }},
    {141, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 1); }},
    {142, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {143, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 5); }},
    {144, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 65535); }},
    {145, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 65535); }},
    {149, "100",      "100",      [](const std::string& v, MicrohardModel) { return within(v, 0, 100); }},
    {150, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {151, "1000",     "1000",     [](const std::string& v, MicrohardModel) { return within(v, 100, 65000); }},
    {153, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 1); }},
    {158, "1",        "0",        [](const std::string& v, MicrohardModel) { return oneOf(v, {0, 1, 2, 3, 5, 6, 7}); }},
    {217, "0",        "0",        [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {224, "0",        "0",        nullptr}, // channel request mode: read here, written through S244
    {237, "10",       "10",       [](const std::string& v, MicrohardModel) { return within(v, 1, 255); }},
    {244, nullptr,    nullptr,    [](const std::string& v, MicrohardModel) { return within(v, 0, 2); }},
    {251, "10",       "10",       [](const std::string& v, MicrohardModel) { return within(v, 1, 254); }},
};
// clang-format on

const RegisterRow* findRow(int number) {
    for (const auto& row : registerRows)
        if (row.number == number) return &row;
    return nullptr;
}

// Where a write lands: the channel request mode is written to S244 and read
// from S224.
int storedIn(int number) { return number == 244 ? 224 : number; }

// "450125000" Hz -> "450.1250" MHz
std::string megahertzText(unsigned long hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu.%04lu", hz / 1000000, (hz % 1000000) / 100);
    return text;
}

// "ATS108?" -> 108 and '?'; "ATS108=30" -> 108, '=' and "30".
bool splitRegisterCommand(const std::string& command, int& number, char& operation, std::string& value) {
    if (command.compare(0, 3, "ATS") != 0) return false;
    const std::size_t mark = command.find_first_of("?=", 3);
    if (mark == std::string::npos || mark == 3 || mark > 6) return false;
    long long parsed = 0;
    if (!readNumber(command.substr(3, mark - 3), parsed) || parsed < 0) return false;
    number = static_cast<int>(parsed);
    operation = command[mark];
    value = command.substr(mark + 1);
    return operation == '=' || value.empty();
}

} // namespace

MicrohardPersonality::MicrohardPersonality(MicrohardModel which, std::string code)
    : model(which),
      productCode(!code.empty() ? std::move(code) : which == MicrohardModel::L400 ? "L400" : "MHX920A") {
    restoreFactory();
    saved = registers;
}

void MicrohardPersonality::restoreFactory() {
    registers.clear();
    for (const auto& row : registerRows) {
        const char* factory = model == MicrohardModel::L400 ? row.l400Factory : row.mhx920aFactory;
        if (factory != nullptr) registers[row.number] = factory;
    }
    table.clear();
    if (model == MicrohardModel::L400) table[0].frequency = 450000000;
}

std::vector<std::string> MicrohardPersonality::takeCommands(std::string& input, bool idle) {
    std::vector<std::string> commands;
    for (;;) {
        if (mode == Mode::Dealer) {
            // Fields end in a lone CR (an LF after it is skipped); ESC stands
            // alone. Each one is answered before the next is framed, since it
            // may end the dialogue.
            input.erase(0, std::min(input.find_first_not_of('\n'), input.size()));
            if (input.empty()) break;
            if (input[0] == escapeByte) {
                commands.emplace_back(1, escapeByte);
                input.erase(0, 1);
                break;
            }
            const std::size_t end = input.find('\r');
            if (end == std::string::npos) break;
            commands.push_back(input.substr(0, end));
            input.erase(0, end + 1);
            break;
        }
        input.erase(0, std::min(input.find_first_not_of("\r\n"), input.size()));
        if (input.empty()) break;
        // The escape is only recognised after a quiet guard time.
        if (input.compare(0, 3, "+++") == 0 && (input.size() > 3 || idle)) {
            commands.emplace_back("+++");
            input.erase(0, 3);
            continue;
        }
        const std::size_t end = input.find_first_of("\r\n");
        if (end != std::string::npos) {
            commands.push_back(input.substr(0, end));
            input.erase(0, end + 1);
            if (commands.back() == "ATP0=") break; // dealer mode frames differently
            continue;
        }
        if (!idle || input == "+" || input == "++") break;
        // Data without a line end (a Satel "SL+++" probe, say): one piece.
        commands.push_back(input);
        input.clear();
    }
    return commands;
}

std::string MicrohardPersonality::errorAnswer() const { return error; }

std::string MicrohardPersonality::answer(const std::string& command) {
    switch (mode) {
    case Mode::Data:
        if (command != "+++") return std::string(); // data for the air
        mode = Mode::Command;
        return escapeAnswer;
    case Mode::Command:
        return commandAnswer(command);
    case Mode::Dealer: {
        const std::string echoed = echoOf(command);
        const std::string reply = dealerAnswer(command);
        return reply.empty() ? reply : echoed + reply;
    }
    }
    return std::string();
}

std::string MicrohardPersonality::echoOf(const std::string& command) const {
    if (mode == Mode::Command)
        return (echo || echoesEveryCommand()) && command.compare(0, 2, "AT") == 0 ? command + "\r\n" : std::string();
    if (mode == Mode::Dealer && echoesEveryCommand() && command != std::string(1, escapeByte)) return command + "\r\n";
    return std::string();
}

bool MicrohardPersonality::answerDealerInOneLine() {
    if (model != MicrohardModel::L400) return false;
    oneLineDealer = true;
    return true;
}

std::string MicrohardPersonality::commandAnswer(const std::string& command) {
    if (command == "+++") return escapeAnswer;                  // already in command mode
    if (command.compare(0, 2, "AT") != 0) return std::string(); // not for this radio
    const std::string echoed = echoOf(command);
    if (command == "ATE0" || command == "ATE1") {
        echo = command == "ATE1";
        return echoed + ok;
    }
    if (command == "ATI1") return echoed + "\r\n" + productCode + "\r\n" + ok;
    if (command == "ATI7") return echoed + "\r\nSN " + (model == MicrohardModel::L400 ? "400123" : "920456") + "\r\n" + ok;
    if (command == "ATA") {
        mode = Mode::Data;
        return echoed + ok;
    }
    if (command == "AT&W") {
        saved = registers;
        ++saves;
        return echoed + ok;
    }
    if (command.compare(0, 4, "AT&F") == 0 && command.size() <= 5) {
        const std::string digit = command.substr(4);
        if (!digit.empty() && !std::isdigit(static_cast<unsigned char>(digit[0]))) return echoed + error;
        restoreFactory();
        factorySet = digit.empty() ? 0 : digit[0] - '0';
        return echoed + ok;
    }
    if (command == "ATP0=" && model == MicrohardModel::L400) {
        mode = Mode::Dealer;
        step = DealerStep::Password;
        return echoed + "\r\nPassword:\r\n";
    }
    int number = 0;
    char operation = 0;
    std::string value;
    if (splitRegisterCommand(command, number, operation, value)) {
        if (operation == '=') return echoed + (writeRegister(number, value) ? ok : error);
        const std::string text = readRegister(number);
        return echoed + (text.empty() ? error : "\r\n" + text + "\r\n" + ok);
    }
    return echoed + error;
}

// The dealer dialogue, one prompt line per step:
//   ATP0=      -> Password:
//   kest%al    -> Table entry:
//   42         -> Frequency (Hz):
//   450125000  -> Bandwidth:
//   1          -> Direction:
//   2          -> Entry 42 stored, then Table entry: again
//   ESC        -> OK, back in command mode
// In one-line dealer mode the entry, frequency and bandwidth get no prompt,
// the direction only "Entry 42 stored", and ESC "Dealer mode closed".
std::string MicrohardPersonality::dealerAnswer(const std::string& command) {
    if (command == std::string(1, escapeByte)) {
        mode = Mode::Command;
        return oneLineDealer ? "\r\nDealer mode closed\r\n" : ok;
    }
    const auto prompt = [this](const std::string& line) { return oneLineDealer ? std::string() : line; };
    long long number = 0;
    const bool numeric = readNumber(command, number);
    switch (step) {
    case DealerStep::Password:
        if (command != dealerPassword) {
            mode = Mode::Command;
            return "\r\nPassword rejected\r\n";
        }
        step = DealerStep::Entry;
        return "\r\nTable entry:\r\n";
    case DealerStep::Entry:
        if (!numeric || number < 0 || number > 64) return "\r\nInvalid entry\r\n";
        pendingEntry = static_cast<unsigned int>(number);
        step = DealerStep::Frequency;
        return prompt("\r\nFrequency (Hz):\r\n");
    case DealerStep::Frequency:
        if (!numeric || number < 406100000 || number > 473000000 || number % 12500 != 0)
            return "\r\nInvalid frequency\r\n";
        pendingFields.frequency = static_cast<unsigned long>(number);
        step = DealerStep::Bandwidth;
        return prompt("\r\nBandwidth:\r\n");
    case DealerStep::Bandwidth:
        if (!numeric || number < 0 || number > 2) return "\r\nInvalid bandwidth\r\n";
        pendingFields.bandwidth = static_cast<unsigned int>(number);
        step = DealerStep::Direction;
        return prompt("\r\nDirection:\r\n");
    case DealerStep::Direction:
        if (!numeric || number < 0 || number > 2) return "\r\nInvalid direction\r\n";
        pendingFields.direction = static_cast<unsigned int>(number);
        table[pendingEntry] = pendingFields;
        step = DealerStep::Entry;
        return "\r\nEntry " + std::to_string(pendingEntry) + " stored\r\n" + prompt("\r\nTable entry:\r\n");
    }
    return std::string();
}

bool MicrohardPersonality::writeRegister(int number, const std::string& value) {
    const RegisterRow* row = findRow(number);
    const int target = storedIn(number);
    if (row == nullptr || row->accepts == nullptr || registers.count(target) == 0) return false;
    if (!row->accepts(value, model)) return false;
    if (!keeps("S" + std::to_string(target))) registers[target] = value;
    return true;
}

std::string MicrohardPersonality::readRegister(int number) const {
    const auto held = registers.find(number);
    if (held == registers.end()) return std::string();
    if (number == 131 || number == 132) {
        // The transmit or receive frequency entry and its frequency in MHz.
        const unsigned int entry = static_cast<unsigned int>(std::stoul(held->second));
        const auto programmed = table.find(entry);
        return held->second + " - " + megahertzText(programmed == table.end() ? 0 : programmed->second.frequency);
    }
    return held->second;
}

bool MicrohardPersonality::preset(const std::string& setting, const std::string& value) {
    long long number = 0;
    if (setting.compare(0, 1, "S") != 0 || !readNumber(setting.substr(1), number)) return false;
    const auto held = registers.find(static_cast<int>(number));
    const RegisterRow* row = findRow(static_cast<int>(number));
    // A register holds 16 bits at least, also values no write may set (a unit
    // address of 1, say).
    const bool holds = row != nullptr && (row->accepts == nullptr || row->accepts(value, model) ||
                                          within(value, 0, 65535));
    if (held == registers.end() || !holds) return false;
    held->second = saved[held->first] = value;
    return true;
}

std::string MicrohardPersonality::registerValue(int number) const {
    const auto held = registers.find(number);
    return held == registers.end() ? std::string() : held->second;
}

State MicrohardPersonality::state() const {
    static const char* const modeNames[] = {"data", "command", "dealer"};
    State state = {
        {"mode", modeNames[static_cast<int>(mode)]},
        {"echo", echo ? "on" : "off"},
        {"product_code", productCode},
        {"factory_set", factorySet < 0 ? "none" : std::to_string(factorySet)},
        {"saves", std::to_string(saves)},
        {"unsaved_changes", registers != saved ? "yes" : "no"},
    };
    for (const auto& [number, value] : registers) state.emplace_back("S" + std::to_string(number), value);
    for (const auto& [entry, fields] : table)
        state.emplace_back("table_" + std::to_string(entry), std::to_string(fields.frequency) + "," +
                                                                 std::to_string(fields.bandwidth) + "," +
                                                                 std::to_string(fields.direction));
    return state;
}

} // namespace RadioSim
