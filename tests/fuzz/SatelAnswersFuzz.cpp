// Fuzz target: every Satel query answer reader, and the token answer of the
// Satel setters and mode commands (the simple answer parser).
//
// The input is what the radio sent after a command ("SL&F?" answered
//   TX 438.12500 MHz,RX 438.12500 MHz\r\n
// for instance). As the engine does, each query's parse is offered the bytes
// as they grow until it reports a complete answer; then its getters are read.
// The first four bytes also give the arguments handed to the setters.
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
    FUZZ_CHECK((refused(getters) && ...));

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
    FUZZ_CHECK(rendersNothing());
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const CharVector data(std::string(reinterpret_cast<const char*>(bytes), size));
    FuzzCheck::Sink localSink;
    sink = &localSink;
    uint32_t raw = 0;
    for (std::size_t k = 0; k < 4 && k < size; ++k) raw = raw << 8 | bytes[k];

    query<SatelGetFrequencyCommand>(data, &SatelGetFrequencyCommand::getTxFrequency,
                                    &SatelGetFrequencyCommand::getRxFrequency);
    query<SatelGetCenterFrequencyCommand>(data, &SatelGetCenterFrequencyCommand::getCenterFrequency);
    query<SatelGetChannelSpacingCommand>(data, &SatelGetChannelSpacingCommand::getChannelSpacing);
    query<SatelGetPowerCommand>(data, &SatelGetPowerCommand::getPower);
    query<SatelGetSignalStrengthCommand>(data, &SatelGetSignalStrengthCommand::getSignalStrength);
    query<SatelGetNoiseLevelCommand>(data, &SatelGetNoiseLevelCommand::getNoiseLevel);
    query<SatelGetSignalThresholdCommand>(data, &SatelGetSignalThresholdCommand::getSignalThreshold);
    query<SatelGetAddressCommand>(data, &SatelGetAddressCommand::getTxAddress, &SatelGetAddressCommand::getRxAddress);
    query<SatelGetOperationModeCommand>(data, &SatelGetOperationModeCommand::getOperationMode);
    query<SatelGetRadioSoftwareVersionCommand>(data, &SatelGetRadioSoftwareVersionCommand::getRadioSoftwareVersion);
    query<SatelGetRadioBoardVersionCommand>(data, &SatelGetRadioBoardVersionCommand::getRadioBoardVersion);
    query<SatelGetSerialPortConfigCommand>(data, &SatelGetSerialPortConfigCommand::getBaud,
                                           &SatelGetSerialPortConfigCommand::getBits,
                                           &SatelGetSerialPortConfigCommand::getParity,
                                           &SatelGetSerialPortConfigCommand::getStopBits);
    wholeText<SatelGetModemTypeCommand>(data, &SatelGetModemTypeCommand::getModemType);
    wholeText<SatelGetSerialNumberCommand>(data, &SatelGetSerialNumberCommand::getSerialNumber);
    wholeText<SatelGetLogicBoardNameCommand>(data, &SatelGetLogicBoardNameCommand::getLogicBoardName);
    wholeText<SatelGetModemPartNumberCommand>(data, &SatelGetModemPartNumberCommand::getModemPartNumber);

    SatelEnterCommandModeCommand enter;
    RadioAnswerCheck::tokenParse(enter, data, "OK");
    SatelExitCommandModeCommand exit;
    RadioAnswerCheck::tokenParse(exit, data, "OK");
    SatelWriteFlashCommand flash;
    RadioAnswerCheck::tokenParse(flash, data, "");
    SatelRestoreDefaultsCommand defaults;
    RadioAnswerCheck::tokenParse(defaults, data, "");

    // Setter arguments, each inside the range of its type (an enumeration's
    // range is that of the smallest bit field holding all its enumerators).
    const std::string all = data.str();
    setter(data, &SatelSetFrequencyCommand::setFrequency, raw);
    setter(data, &SatelSetChannelSpacingCommand::setChannelSpacing, raw);
    setter(data, &SatelSetPowerCommand::setPower, raw);
    setter<SatelSetAddressCommand, const std::string&>(data, &SatelSetAddressCommand::setAddress,
                                                       all.substr(0, raw % 12));
    setter(data, &SatelSetSignalThresholdCommand::setSignalThreshold, static_cast<int>(raw));
    setter(data, &SatelSetOperationModeCommand::setOperationMode, static_cast<OPERATION_MODE>(raw & 127));
    setter(data, &SatelSetSerialPortConfigCommand::setSerialPortConfig,
           static_cast<PORT_CONFIG_BAUD>(raw & 0x7FFFF), static_cast<PORT_CONFIG_BITS>((raw >> 19) & 15),
           static_cast<PORT_CONFIG_PARITY>((raw >> 23) & 127), static_cast<PORT_CONFIG_STOPBITS>((raw >> 30) & 3));

    sink = nullptr;
    return 0;
}
