// Fuzz target: the answer parser of the Microhard register writes (and of the
// fixed commands that share it: enter and leave command mode, save), with the
// typed setters fed arbitrary arguments.
//
// The input is what the radio sent after a write ("ATS105=42\r\n" answered
//   \r\nOK\r\n
// for instance); its first four bytes also give the argument handed to every
// typed setter (kept inside the range of the setter's type).
//
// Invariants besides "no crash, no sanitizer report":
// - a setter either takes its argument, and the command then renders
//   "ATS<n>=<decimal>\r\n" (the static mask: its text), or refuses it with one
//   of the system's exceptions and renders nothing (DataNotSetException);
// - parse follows the token rules exactly: "ERROR" before the first NUL
//   completes with COMMAND_STATUS_ERROR at its place, else the response token
//   anywhere completes with COMMAND_STATUS_OK at its place, else it returns
//   false and leaves status, start and length alone;
// - every parse consumes the value: rendering again needs a new one;
// - the echo command completes on any byte, without touching the status.

#include "common/CharVector.h"
#include "common/Exception.h"
#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardCommands.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/RadioAnswerCheck.h"

#include <string>
#include <type_traits>

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;

namespace {

bool rendersNothing(Command& command)
{
    CharVector out;
    try {
        command.buildCmdStr(out);
    } catch (const DataNotSetException&) {
        return true;
    }
    return false;
}

// The argument for a setter taking T, inside T's range (an enumeration's
// range is that of the smallest bit field holding all its enumerators).
template <typename T>
T argument(uint32_t raw)
{
    if constexpr (std::is_same_v<T, bool>) {
        return raw & 1;
    } else if constexpr (std::is_enum_v<T>) {
        uint32_t mask = 1;
        while (mask < 340000u) mask = mask * 2 + 1;  // PORT_CONFIG_BAUD, the widest
        if constexpr (!std::is_same_v<T, Veltrio::Common::PORT_CONFIG_BAUD>) {
            long long largest = 0;
            for (T value : MicrohardEnumValues<T>::values) largest = std::max<long long>(largest, value);
            mask = 1;
            while (mask < largest) mask = mask * 2 + 1;
        }
        return static_cast<T>(raw & mask);
    } else {
        return static_cast<T>(raw);
    }
}

template <typename Command, typename Arg>
void write(const CharVector& data, uint32_t raw, void (Command::*setter)(Arg))
{
    using Value = std::remove_const_t<std::remove_reference_t<Arg>>;
    Command command;
    FUZZ_CHECK(rendersNothing(command));
    bool accepted = true;
    try {
        if constexpr (std::is_same_v<Value, std::string>) {
            const std::string all = data.str();
            (command.*setter)(all.substr(0, raw % 24));
        } else {
            (command.*setter)(argument<Value>(raw));
        }
    } catch (const Veltrio::Common::Exception&) {
        accepted = false;
    }
    if (accepted) {
        CharVector out;
        command.buildCmdStr(out);
        const std::string text = out.str();
        FUZZ_CHECK(text.size() >= 6 && text.compare(0, 2, "AT") == 0);
        FUZZ_CHECK(text.compare(text.size() - 2, 2, "\r\n") == 0);
        if constexpr (!std::is_same_v<Value, std::string>) {
            // After "=", or after the "&F" of the factory set.
            std::size_t from = text.find_first_of("=&") + 1;
            if (text[from - 1] == '&') ++from;
            const std::string value = text.substr(from, text.size() - 2 - from);
            FUZZ_CHECK(!value.empty() && value.find_first_not_of("0123456789") == std::string::npos);
        }
    } else {
        FUZZ_CHECK(rendersNothing(command));
    }
    RadioAnswerCheck::tokenParse(command, data, "OK");
    FUZZ_CHECK(rendersNothing(command));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const CharVector data(std::string(reinterpret_cast<const char*>(bytes), size));
    uint32_t raw = 0;
    for (std::size_t k = 0; k < 4 && k < size; ++k) raw = raw << 8 | bytes[k];

    write(data, raw, &MicrohardSetOperatingModeCommand::setOperatingMode);
    write(data, raw, &MicrohardSetSerialBaudRateCommand::setSerialBaudRate);
    write(data, raw, &MicrohardSetWirelessBaudRateCommand::setWirelessBaudRate);
    write(data, raw, &MicrohardL400SetWirelessBaudRateCommand::setWirelessBaudRate);
    write(data, raw, &MicrohardSetNetworkAddressCommand::setNetworkAddress);
    write(data, raw, &MicrohardSetUnitAddressCommand::setUnitAddress);
    write(data, raw, &MicrohardSetStaticMaskCommand::setStaticMask);
    write(data, raw, &MicrohardSetOutputPowerCommand::setOutputPower);
    write(data, raw, &MicrohardSetHopIntervalCommand::setHopInterval);
    write(data, raw, &MicrohardSetSerialPortDataFormatCommand::setSerialPortDataFormat);
    write(data, raw, &MicrohardSetMaxPacketSizeCommand::setMaxPacketSize);
    write(data, raw, &MicrohardSetPacketRetransmissionsCommand::setPacketRetransmissions);
    write(data, raw, &MicrohardSetRepeatIntervalCommand::setRepeatInterval);
    write(data, raw, &MicrohardSetCharacterTimeoutCommand::setCharacterTimeout);
    write(data, raw, &MicrohardSetRoamingCommand::setRoaming);
    write(data, raw, &MicrohardSetQuickEnterCommandModeCommand::setQuickEnterCommandMode);
    write(data, raw, &MicrohardL400SetBandwidthCommand::setBandwidth);
    write(data, raw, &MicrohardL400SetTxFrequencyCommand::setFrequency);
    write(data, raw, &MicrohardL400SetRxFrequencyCommand::setFrequency);
    write(data, raw, &MicrohardSetNetworkTypeCommand::setNetworkType);
    write(data, raw, &MicrohardSetDestinationAddressCommand::setDestinationAddress);
    write(data, raw, &MicrohardSetRepeatersCommand::setRepeaters);
    write(data, raw, &MicrohardSetSerialChannelModeCommand::setSerialChannelMode);
    write(data, raw, &MicrohardSetSleepModeCommand::setSleepMode);
    write(data, raw, &MicrohardSetSleepTimeCommand::setSleepTime);
    write(data, raw, &MicrohardSetWakeTimeCommand::setWakeTime);
    write(data, raw, &MicrohardSetLEDBrightnessCommand::setLEDBrightness);
    write(data, raw, &MicrohardSetSyncModeCommand::setSyncMode);
    write(data, raw, &MicrohardSetFastSyncTimeoutCommand::setFastSyncTimeout);
    write(data, raw, &MicrohardSetAddressTagCommand::setAddressTag);
    write(data, raw, &MicrohardSetFECModeCommand::setFECMode);
    write(data, raw, &MicrohardSetProtocolTypeCommand::setProtocolType);
    write(data, raw, &MicrohardSetChannelRequestModeCommand::setChannelRequestMode);
    write(data, raw, &MicrohardSetSniffTimeoutCommand::setSniffTimeout);
    write(data, raw, &MicrohardSetMasterHopAllocationTimeoutCommand::setMasterHopAllocationTimeout);
    write(data, raw, &MicrohardSetFactorySettingsCommand::setFactorySettings);

    MicrohardEnterCommandModeCommand enter;
    RadioAnswerCheck::tokenParse(enter, data, "\r\nNO CARRIER\r\nOK\r\n");
    MicrohardExitCommandModeCommand exit;
    RadioAnswerCheck::tokenParse(exit, data, "OK\r\n");
    MicrohardSaveConfigurationCommand save;
    RadioAnswerCheck::tokenParse(save, data, "OK");

    MicrohardSetEchoCommand echo;
    FUZZ_CHECK(rendersNothing(echo));
    echo.setEcho(raw & 1);
    CharVector out;
    echo.buildCmdStr(out);
    FUZZ_CHECK(out.str() == ((raw & 1) ? "ATE1\r\n" : "ATE0\r\n"));
    echo.setStatus(COMMAND_STATUS_SENT);
    unsigned int start = 12345, length = 67890;
    const bool done = echo.parse(data, start, length);
    if (!data.empty()) FUZZ_CHECK(done);
    FUZZ_CHECK(echo.getStatus() == COMMAND_STATUS_SENT);
    if (done) FUZZ_CHECK(start == 0 && length == data.size());
    return 0;
}
