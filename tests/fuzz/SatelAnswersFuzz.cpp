// Fuzz target: every Satel query answer reader, and the token answer of the
// Satel setters and mode commands (the simple answer parser).
//
// The first byte of the input picks the command (FuzzCheck::pick); the rest
// is what the radio sent after it ("SL&F?" answered
//   TX 438.12500 MHz,RX 438.12500 MHz\r\n
// for instance). As the engine does, a query's parse is offered the bytes as
// they grow until it reports a complete answer; then its getters are read.
// The first four bytes of the rest also give the arguments of the setters.
//
// Invariants besides "no crash, no sanitizer report":
// - only the system's own exceptions (Veltrio::Common::Exception) leave a
//   parse, a getter or a setter;
// - a query's getters refuse (DataNotReadyException) until its parse
//   completed; a completed parse has COMMAND_STATUS_OK and a span inside the
//   received text (the address answer's span may run past it, see below);
//   the whole-text queries give exactly the received text;
// - the token answers follow the token rules exactly (RadioAnswerCheck.h);
// - a setter either takes its argument and the command renders its text
//   followed by the value, or refuses it and renders nothing; every answer
//   consumes the value.

#include "common/CharVector.h"
#include "common/Exception.h"
#include "radio/RadioExceptions.h"
#include "radio/satel/SatelCommands.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/RadioAnswerCheck.h"

#include <iterator>
#include <string>
#include <type_traits>

using namespace Veltrio::Radio;
using namespace Veltrio::Common;

namespace {

FuzzCheck::Sink* sink = nullptr;

template <typename Query, typename... Getters>
void query(const CharVector& data, Getters... getters)
{
    Query command;
    CharVector out;
    command.buildCmdStr(out);
    FUZZ_CHECK(out.size() == 5 && out.str().compare(0, 2, "SL") == 0);
    auto refused = [&](auto getter) {
        try {
            (command.*getter)();
        } catch (const DataNotReadyException&) {
            return true;
        }
        return false;
    };
    static const bool freshRefuses = (refused(getters) && ...);  // the same for every input
    FUZZ_CHECK(freshRefuses);

    command.setStatus(COMMAND_STATUS_SENT);
    std::string text;
    bool complete = false;
    try {
        complete = RadioAnswerCheck::growing(data, [&](const CharVector& prefix) {
            unsigned int start = 12345, length = 67890;
            const bool done = command.parse(prefix, start, length);
            text = prefix.str().substr(0, prefix.str().find('\0'));
            if (!done) {
                FUZZ_CHECK(start == 12345 && length == 67890);
            } else {
                FUZZ_CHECK(command.getStatus() == COMMAND_STATUS_OK);
                FUZZ_CHECK(start <= text.size());
                // The address answer's span is fixed at nine characters from
                // four before the ";", wherever the ";" stands: nothing reads
                // it, so it is left as the field tools have it.
                if (!std::is_same_v<Query, SatelGetAddressCommand>) FUZZ_CHECK(length <= text.size() - start);
            }
            return done;
        });
    } catch (const Veltrio::Common::Exception& e) {
        sink->str(e.what());
        return;
    }
    if (!complete) {
        FUZZ_CHECK((refused(getters) && ...));
        return;
    }
    (sink->take((command.*getters)()), ...);
}

template <typename Query, typename Getter>
void wholeText(const CharVector& data, Getter getter)
{
    Query command;
    command.setStatus(COMMAND_STATUS_SENT);
    std::string text;
    const bool complete = RadioAnswerCheck::growing(data, [&](const CharVector& prefix) {
        unsigned int start = 12345, length = 67890;
        text = prefix.str().substr(0, prefix.str().find('\0'));
        const bool done = command.parse(prefix, start, length);
        if (done) FUZZ_CHECK(start == 0 && length == text.size());
        return done;
    });
    if (complete) FUZZ_CHECK((command.*getter)() == text);
}

template <typename Setter, typename... Args>
void setter(const CharVector& data, void (Setter::*set)(Args...), Args... args)
{
    Setter command;
    auto rendersNothing = [&] {
        CharVector out;
        try {
            command.buildCmdStr(out);
        } catch (const DataNotSetException&) {
            return true;
        }
        return false;
    };
    static const bool freshRendersNothing = rendersNothing();  // the same for every input
    FUZZ_CHECK(freshRendersNothing);
    bool accepted = true;
    try {
        (command.*set)(args...);
    } catch (const Veltrio::Common::Exception& e) {
        sink->str(e.what());
        accepted = false;
    }
    if (accepted) {
        CharVector out;
        command.buildCmdStr(out);
        FUZZ_CHECK(out.size() > 5 && out.str().compare(0, 2, "SL") == 0 && out[4] == '=');
    } else {
        FUZZ_CHECK(rendersNothing());
    }
    RadioAnswerCheck::tokenParse(command, data, "OK");
    FUZZ_CHECK(rendersNothing());
}

#define TOKEN(Command, token) [](const CharVector& d, uint32_t) { Command c; RadioAnswerCheck::tokenParse(c, d, token); }

void (*const cases[])(const CharVector&, uint32_t) = {
    [](const CharVector& d, uint32_t) {
        query<SatelGetFrequencyCommand>(d, &SatelGetFrequencyCommand::getTxFrequency,
                                        &SatelGetFrequencyCommand::getRxFrequency);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetCenterFrequencyCommand>(d, &SatelGetCenterFrequencyCommand::getCenterFrequency);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetChannelSpacingCommand>(d, &SatelGetChannelSpacingCommand::getChannelSpacing);
    },
    [](const CharVector& d, uint32_t) { query<SatelGetPowerCommand>(d, &SatelGetPowerCommand::getPower); },
    [](const CharVector& d, uint32_t) {
        query<SatelGetSignalStrengthCommand>(d, &SatelGetSignalStrengthCommand::getSignalStrength);
    },
    [](const CharVector& d, uint32_t) { query<SatelGetNoiseLevelCommand>(d, &SatelGetNoiseLevelCommand::getNoiseLevel); },
    [](const CharVector& d, uint32_t) {
        query<SatelGetSignalThresholdCommand>(d, &SatelGetSignalThresholdCommand::getSignalThreshold);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetAddressCommand>(d, &SatelGetAddressCommand::getTxAddress, &SatelGetAddressCommand::getRxAddress);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetOperationModeCommand>(d, &SatelGetOperationModeCommand::getOperationMode);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetRadioSoftwareVersionCommand>(d, &SatelGetRadioSoftwareVersionCommand::getRadioSoftwareVersion);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetRadioBoardVersionCommand>(d, &SatelGetRadioBoardVersionCommand::getRadioBoardVersion);
    },
    [](const CharVector& d, uint32_t) {
        query<SatelGetSerialPortConfigCommand>(
            d, &SatelGetSerialPortConfigCommand::getBaud, &SatelGetSerialPortConfigCommand::getBits,
            &SatelGetSerialPortConfigCommand::getParity, &SatelGetSerialPortConfigCommand::getStopBits);
    },
    [](const CharVector& d, uint32_t) { wholeText<SatelGetModemTypeCommand>(d, &SatelGetModemTypeCommand::getModemType); },
    [](const CharVector& d, uint32_t) {
        wholeText<SatelGetSerialNumberCommand>(d, &SatelGetSerialNumberCommand::getSerialNumber);
    },
    [](const CharVector& d, uint32_t) {
        wholeText<SatelGetLogicBoardNameCommand>(d, &SatelGetLogicBoardNameCommand::getLogicBoardName);
    },
    [](const CharVector& d, uint32_t) {
        wholeText<SatelGetModemPartNumberCommand>(d, &SatelGetModemPartNumberCommand::getModemPartNumber);
    },
    TOKEN(SatelEnterCommandModeCommand, "OK"),
    TOKEN(SatelExitCommandModeCommand, "OK"),
    TOKEN(SatelWriteFlashCommand, ""),
    TOKEN(SatelRestoreDefaultsCommand, ""),
    // Setter arguments, each inside the range of its type (an enumeration's
    // range is that of the smallest bit field holding all its enumerators).
    [](const CharVector& d, uint32_t raw) { setter(d, &SatelSetFrequencyCommand::setFrequency, raw); },
    [](const CharVector& d, uint32_t raw) { setter(d, &SatelSetChannelSpacingCommand::setChannelSpacing, raw); },
    [](const CharVector& d, uint32_t raw) { setter(d, &SatelSetPowerCommand::setPower, raw); },
    [](const CharVector& d, uint32_t raw) {
        setter<SatelSetAddressCommand, const std::string&>(d, &SatelSetAddressCommand::setAddress,
                                                           d.str().substr(0, raw % 12));
    },
    [](const CharVector& d, uint32_t raw) {
        setter(d, &SatelSetSignalThresholdCommand::setSignalThreshold, static_cast<int>(raw));
    },
    [](const CharVector& d, uint32_t raw) {
        setter(d, &SatelSetOperationModeCommand::setOperationMode, static_cast<OPERATION_MODE>(raw & 127));
    },
    [](const CharVector& d, uint32_t raw) {
        setter(d, &SatelSetSerialPortConfigCommand::setSerialPortConfig, static_cast<PORT_CONFIG_BAUD>(raw & 0x7FFFF),
               static_cast<PORT_CONFIG_BITS>((raw >> 19) & 15), static_cast<PORT_CONFIG_PARITY>((raw >> 23) & 127),
               static_cast<PORT_CONFIG_STOPBITS>((raw >> 30) & 3));
    },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const FuzzCheck::Picked input = FuzzCheck::pick(std::size(cases), bytes, size);
    const CharVector data(std::string(reinterpret_cast<const char*>(input.data), input.size));
    FuzzCheck::Sink localSink;
    sink = &localSink;
    uint32_t raw = 0;
    for (std::size_t k = 0; k < 4 && k < input.size; ++k) raw = raw << 8 | input.data[k];
    cases[input.index](data, raw);
    sink = nullptr;
    return 0;
}
