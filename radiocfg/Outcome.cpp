#include "radiocfg/Outcome.h"

#include <iostream>

#include <nlohmann/json.hpp>

#include "radiocfg/FailureLine.h"

using Veltrio::Radio::RADIO_TYPE;

const char* const notSettable = "not-settable:";

namespace {

// The command that programs a radio of this type ("--satel").
const char* radioCommand(RADIO_TYPE type) {
    switch (type) {
    case Veltrio::Radio::RADIO_TYPE_SATEL: return "satel";
    case Veltrio::Radio::RADIO_TYPE_MICROHARD_920A: return "920a";
    case Veltrio::Radio::RADIO_TYPE_MICROHARD_L400: return "l400";
    default: return "";
    }
}

// Every value as it would be typed after its option, always a string.
nlohmann::ordered_json jsonSettings(const Settings& settings) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Setting& s : settings) object[s.option] = s.value;
    return object;
}

} // namespace

const char* radioTypeName(RADIO_TYPE type) {
    switch (type) {
    case Veltrio::Radio::RADIO_TYPE_SATEL: return "Satel";
    case Veltrio::Radio::RADIO_TYPE_MICROHARD_920A: return "Microhard 920A";
    case Veltrio::Radio::RADIO_TYPE_MICROHARD_L400: return "Microhard L400";
    default: return "not detected";
    }
}

void Outcome::fail(const std::string& message, const std::string& listing) {
    failure = Failure::Message;
    error = message;
    usage = listing;
}

void Outcome::verify(const Settings& read, const Settings& alongside) {
    readBack = read;
    Settings written = settings;
    written.insert(written.end(), alongside.begin(), alongside.end());
    for (const Setting& asked : written)
        for (const Setting& got : read)
            if (got.option == asked.option && got.value != asked.value)
                differences.push_back({asked.option, asked.value, got.value, asked.isOption});
    if (!differences.empty()) {
        failure = Failure::Differences;
        error = "Read back differs from what was written";
    }
}

void printText(const Outcome& outcome, std::ostream& out) {
    switch (outcome.failure) {
    case Failure::None:
        if (outcome.baud) out << "Baud: " << *outcome.baud << "\n";
        if (outcome.command == "detect") {
            out << "Radio Type: " << radioTypeName(*outcome.radio) << "\n";
        } else if (outcome.command == "query") {
            out << "--" << radioCommand(*outcome.radio);
            for (const Setting& s : outcome.settings) {
                if (s.isOption) out << " --" << s.option;
                out << " " << s.value;
            }
            out << "\n";
        }
        break;
    case Failure::Message:
        out << failureLine(outcome.error) << "\n";
        if (!outcome.usage.empty()) out << outcome.usage << "\n";
        break;
    case Failure::MessageWithoutLineEnd:
        out << outcome.error;
        break;
    case Failure::Differences:
        for (const Difference& d : outcome.differences)
            out << "Read back differs: " << (d.isOption ? "--" : "") << d.option << " asked " << d.asked << ", read "
                << d.read << "\n";
        break;
    }
    out.flush();
}

void printJson(const Outcome& outcome, std::ostream& out) {
    nlohmann::ordered_json json;
    if (!outcome.command.empty()) json["command"] = outcome.command;
    if (outcome.baud) json["baud"] = *outcome.baud;
    if (outcome.radio) json["radio"] = radioTypeName(*outcome.radio);
    if (!outcome.settings.empty()) json["settings"] = jsonSettings(outcome.settings);
    if (!outcome.readBack.empty()) json["read"] = jsonSettings(outcome.readBack);
    if (!outcome.differences.empty()) {
        json["differences"] = nlohmann::ordered_json::array();
        for (const Difference& d : outcome.differences)
            json["differences"].push_back(
                {{"option", d.option}, {"asked", d.asked}, {"read", d.read}});
    }
    if (outcome.failure != Failure::None) json["error"] = outcome.error;
    // A radio's answer quoted in an error need not be UTF-8: such bytes become U+FFFD.
    out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
}

int report(const Outcome& outcome, bool json) {
    if (json)
        printJson(outcome, std::cout);
    else
        printText(outcome, std::cout);
    return outcome.failure == Failure::None ? 0 : 1;
}
