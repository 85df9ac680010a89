// Fuzz target: the answer parser of the Microhard register writes (and of the
// fixed commands that share it: enter and leave command mode, save), with the
// typed setters fed arbitrary arguments.
//
// The first byte of the input picks the command (FuzzCheck::pick); the rest
// is what the radio sent after the write ("ATS105=42\r\n" answered
//   \r\nOK\r\n
// for instance), and its first four bytes also give the argument handed to
// the typed setter (kept inside the range of the setter's type).
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

#include <iterator>
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
    static const bool freshRendersNothing = rendersNothing(command);  // the same for every input
    FUZZ_CHECK(freshRendersNothing);
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

// The echo command completes on any byte, without touching the status.
void echo(const CharVector& data, uint32_t raw)
{
    MicrohardSetEchoCommand echo;
    static const bool freshRendersNothing = rendersNothing(echo);
    FUZZ_CHECK(freshRendersNothing);
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
}

#define WRITE(Command, setter) [](const CharVector& d, uint32_t raw) { write(d, raw, &Command::setter); }

void (*const cases[])(const CharVector&, uint32_t) = {
    WRITE(MicrohardSetOperatingModeCommand, setOperatingMode),
    WRITE(MicrohardSetSerialBaudRateCommand, setSerialBaudRate),
    WRITE(MicrohardSetWirelessBaudRateCommand, setWirelessBaudRate),
    WRITE(MicrohardL400SetWirelessBaudRateCommand, setWirelessBaudRate),
    WRITE(MicrohardSetNetworkAddressCommand, setNetworkAddress),
    WRITE(MicrohardSetUnitAddressCommand, setUnitAddress),
    WRITE(MicrohardSetStaticMaskCommand, setStaticMask),
    WRITE(MicrohardSetOutputPowerCommand, setOutputPower),
    WRITE(MicrohardSetHopIntervalCommand, setHopInterval),
    WRITE(MicrohardSetSerialPortDataFormatCommand, setSerialPortDataFormat),
    WRITE(MicrohardSetMaxPacketSizeCommand, setMaxPacketSize),
    WRITE(MicrohardSetPacketRetransmissionsCommand, setPacketRetransmissions),
    WRITE(MicrohardSetRepeatIntervalCommand, setRepeatInterval),
    WRITE(MicrohardSetCharacterTimeoutCommand, setCharacterTimeout),
    WRITE(MicrohardSetRoamingCommand, setRoaming),
    WRITE(MicrohardSetQuickEnterCommandModeCommand, setQuickEnterCommandMode),
    WRITE(MicrohardL400SetBandwidthCommand, setBandwidth),
    WRITE(MicrohardL400SetTxFrequencyCommand, setFrequency),
    WRITE(MicrohardL400SetRxFrequencyCommand, setFrequency),
    WRITE(MicrohardSetNetworkTypeCommand, setNetworkType),
    WRITE(MicrohardSetDestinationAddressCommand, setDestinationAddress),
    WRITE(MicrohardSetRepeatersCommand, setRepeaters),
    WRITE(MicrohardSetSerialChannelModeCommand, setSerialChannelMode),
    WRITE(MicrohardSetSleepModeCommand, setSleepMode),
    WRITE(MicrohardSetSleepTimeCommand, setSleepTime),
    WRITE(MicrohardSetWakeTimeCommand, setWakeTime),
    WRITE(MicrohardSetLEDBrightnessCommand, setLEDBrightness),
    WRITE(MicrohardSetSyncModeCommand, setSyncMode),
    WRITE(MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout),
    WRITE(MicrohardSetAddressTagCommand, setAddressTag),
    WRITE(MicrohardSetFECModeCommand, setFECMode),
    WRITE(MicrohardSetProtocolTypeCommand, setProtocolType),
    WRITE(MicrohardSetChannelRequestModeCommand, setChannelRequestMode),
    WRITE(MicrohardSetSniffTimeoutCommand, setSniffTimeout),
    WRITE(MicrohardSetMasterHopAllocationTimeoutCommand, setMasterHopAllocationTimeout),
    WRITE(MicrohardSetFactorySettingsCommand, setFactorySettings),
    [](const CharVector& d, uint32_t) {
        MicrohardEnterCommandModeCommand enter;
        RadioAnswerCheck::tokenParse(enter, d, "\r\nNO CARRIER\r\nOK\r\n");
    },
    [](const CharVector& d, uint32_t) {
        MicrohardExitCommandModeCommand exit;
        RadioAnswerCheck::tokenParse(exit, d, "OK\r\n");
    },
    [](const CharVector& d, uint32_t) {
        MicrohardSaveConfigurationCommand save;
        RadioAnswerCheck::tokenParse(save, d, "OK");
    },
    echo,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const FuzzCheck::Picked input = FuzzCheck::pick(std::size(cases), bytes, size);
    const CharVector data(std::string(reinterpret_cast<const char*>(input.data), input.size));
    uint32_t raw = 0;
    for (std::size_t k = 0; k < 4 && k < input.size; ++k) raw = raw << 8 | input.data[k];
    cases[input.index](data, raw);
    return 0;
}
