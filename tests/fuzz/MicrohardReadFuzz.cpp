// Fuzz target: the answer parser of the Microhard register reads, and every
// typed getter applied to the value it took.
//
// The input is what the radio sent after a read ("ATS104?\r\n" answered
//   \r\n101\r\n\r\nOK\r\n
// for instance). As the engine does, each command's parse is offered the
// received bytes as they grow (eight growing prefixes, then the whole) until
// it reports a complete answer; then its typed getter (and the plain text and
// number getters) are applied. Every read class, the identification commands,
// the L400 dealer-mode commands and the table command share this parser.
//
// Invariants besides "no crash, no sanitizer report":
// - only the system's own exceptions (Veltrio::Common::Exception) ever leave
//   parse or a getter;
// - an incomplete answer returns false and leaves start and length alone;
//   a complete one has status COMMAND_STATUS_OK (COMMAND_STATUS_ERROR for an
//   answer line "ERROR", and for a dealer-mode step whose answer holds
//   "ERROR"), start 0 and length the
//   whole data, and its value is one line: non-empty, without CR, LF or NUL,
//   found in the data;
// - once complete, a longer answer still completes with the same value;
// - enumerated getters only give values of their enumeration, switches agree
//   with the number, narrowed numbers agree with the number.

#include "common/CharVector.h"
#include "common/Exception.h"
#include "radio/microhard/MicrohardCommands.h"
#include "tests/fuzz/FuzzCheck.h"

#include <string>
#include <type_traits>

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;

namespace {

FuzzCheck::Sink* sink = nullptr;

// Offers the growing data to the command's parse; true once complete.
bool answer(MicrohardBaseClassGetStrValueCommand& command, const CharVector& data)
{
    command.setStatus(COMMAND_STATUS_SENT);
    const std::size_t step = data.size() / 8 + 1;
    std::string value;
    bool complete = false;
    for (std::size_t cut = 0;; cut += step) {
        if (cut > data.size()) cut = data.size();
        const CharVector prefix(std::string(data.begin(), data.begin() + static_cast<long>(cut)));
        unsigned int start = 12345, length = 67890;
        const bool done = command.parse(prefix, start, length);
        if (!done) {
            FUZZ_CHECK(!complete);
            FUZZ_CHECK(start == 12345 && length == 67890);
        } else {
            // A dealer-mode step is an error answer when "ERROR" came
            // before the first NUL; every other read when its line is "ERROR".
            const std::string text = prefix.str().substr(0, prefix.str().find('\0'));
            const bool refused = command.getStrValue() == "ERROR" ||
                                 (dynamic_cast<MicrohardL400DealerStepCommand*>(&command) != nullptr &&
                                  text.find("ERROR") != std::string::npos);
            FUZZ_CHECK(command.getStatus() == (refused ? COMMAND_STATUS_ERROR : COMMAND_STATUS_OK));
            FUZZ_CHECK(start == 0 && length == prefix.size());
            const std::string line = command.getStrValue();
            FUZZ_CHECK(!line.empty());
            FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
            FUZZ_CHECK(prefix.str().find(line) != std::string::npos);
            if (complete) FUZZ_CHECK(line == value);
            value = line;
            complete = true;
        }
        if (cut == data.size()) break;
    }
    return complete;
}

// A getter may refuse the value with one of the system's exceptions only.
template <typename Get>
void apply(Get get)
{
    try {
        sink->take(get());
    } catch (const Veltrio::Common::Exception& e) {
        sink->str(e.what());
    }
}

template <typename Command, typename Getter>
void read(const CharVector& data, Getter getter)
{
    Command command;
    CharVector out;
    command.buildCmdStr(out);
    if (!answer(command, data)) return;
    apply([&] { return (command.*getter)(); });
    sink->str(command.getStrValue());
}

template <typename Command, typename Getter>
void readNumber(const CharVector& data, Getter getter)
{
    Command command;
    if (!answer(command, data)) return;
    int number = 0;
    bool isNumber = true;
    try {
        number = command.getIntValue();
    } catch (const Veltrio::Common::ConversionException&) {
        isNumber = false;
    }
    try {
        const auto typed = (command.*getter)();
        sink->take(typed);
        using Typed = decltype(typed);
        if constexpr (std::is_same_v<Typed, const bool>) {
            FUZZ_CHECK(isNumber && typed == (number != 0));
        } else if constexpr (std::is_enum_v<std::remove_const_t<Typed>> &&
                             !std::is_same_v<Typed, const Veltrio::Common::PORT_CONFIG_BAUD>) {
            FUZZ_CHECK(isNumber && typed == number);
            FUZZ_CHECK(isMicrohardValue<std::remove_const_t<Typed>>(number));
        } else if constexpr (std::is_same_v<Typed, const unsigned short>) {
            FUZZ_CHECK(isNumber && typed == static_cast<unsigned short>(number));
        }
    } catch (const Veltrio::Common::Exception& e) {
        sink->str(e.what());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const CharVector data(std::string(reinterpret_cast<const char*>(bytes), size));
    FuzzCheck::Sink localSink;
    sink = &localSink;

    // Enumerated, switch and narrowed reads: the typed value is checked
    // against the number.
    readNumber<MicrohardGetOperatingModeCommand>(data, &MicrohardGetOperatingModeCommand::getOperatingMode);
    readNumber<MicrohardGetSerialBaudRateCommand>(data, &MicrohardGetSerialBaudRateCommand::getSerialBaudRate);
    readNumber<MicrohardGetWirelessBaudRateCommand>(data, &MicrohardGetWirelessBaudRateCommand::getWirelessBaudRate);
    readNumber<MicrohardL400GetWirelessBaudRateCommand>(data, &MicrohardL400GetWirelessBaudRateCommand::getWirelessBaudRate);
    readNumber<MicrohardGetOutputPowerCommand>(data, &MicrohardGetOutputPowerCommand::getOutputPower);
    readNumber<MicrohardGetHopIntervalCommand>(data, &MicrohardGetHopIntervalCommand::getHopInterval);
    readNumber<MicrohardGetSerialPortDataFormatCommand>(data, &MicrohardGetSerialPortDataFormatCommand::getSerialPortFormat);
    readNumber<MicrohardGetQuickEnterCommandModeCommand>(data, &MicrohardGetQuickEnterCommandModeCommand::getQuickEnterCommandMode);
    readNumber<MicrohardGetNetworkTypeCommand>(data, &MicrohardGetNetworkTypeCommand::getNetworkType);
    readNumber<MicrohardGetDestinationAddressCommand>(data, &MicrohardGetDestinationAddressCommand::getDestinationAddress);
    readNumber<MicrohardGetRepeatersCommand>(data, &MicrohardGetRepeatersCommand::getRepeaters);
    readNumber<MicrohardGetSerialChannelModeCommand>(data, &MicrohardGetSerialChannelModeCommand::getSerialChannelMode);
    readNumber<MicrohardGetSleepModeCommand>(data, &MicrohardGetSleepModeCommand::getSleepMode);
    readNumber<MicrohardGetSyncModeCommand>(data, &MicrohardGetSyncModeCommand::getSyncMode);
    readNumber<MicrohardGetAddressTagCommand>(data, &MicrohardGetAddressTagCommand::getAddressTag);
    readNumber<MicrohardGetFECModeCommand>(data, &MicrohardGetFECModeCommand::getFECMode);
    readNumber<MicrohardGetProtocolTypeCommand>(data, &MicrohardGetProtocolTypeCommand::getProtocolType);
    readNumber<MicrohardGetChannelRequestModeCommand>(data, &MicrohardGetChannelRequestModeCommand::getChannelRequestMode);

    // The other reads.
    read<MicrohardGetNetworkAddressCommand>(data, &MicrohardGetNetworkAddressCommand::getNetworkAddress);
    read<MicrohardGetUnitAddressCommand>(data, &MicrohardGetUnitAddressCommand::getUnitAddress);
    read<MicrohardGetStaticMaskCommand>(data, &MicrohardGetStaticMaskCommand::getStaticMask);
    read<MicrohardGetMaxPacketSizeCommand>(data, &MicrohardGetMaxPacketSizeCommand::getMaxPacketSize);
    read<MicrohardGetPacketRetransmissionsCommand>(data, &MicrohardGetPacketRetransmissionsCommand::getPacketRetransmissions);
    read<MicrohardGetRepeatIntervalCommand>(data, &MicrohardGetRepeatIntervalCommand::getRepeatInterval);
    read<MicrohardGetCharacterTimeoutCommand>(data, &MicrohardGetCharacterTimeoutCommand::getCharacterTimeout);
    read<MicrohardGetRoamingCommand>(data, &MicrohardGetRoamingCommand::getRoaming);
    read<MicrohardGetAverageRSSICommand>(data, &MicrohardGetAverageRSSICommand::getAverageRSSI);
    read<MicrohardL400GetFrequencyCommand>(data, &MicrohardL400GetFrequencyCommand::getFrequency);
    read<MicrohardGetSleepTimeCommand>(data, &MicrohardGetSleepTimeCommand::getSleepTime);
    read<MicrohardGetWakeTimeCommand>(data, &MicrohardGetWakeTimeCommand::getWakeTime);
    read<MicrohardGetLEDBrightnessCommand>(data, &MicrohardGetLEDBrightnessCommand::getLEDBrightness);
    read<MicrohardGetFastSyncTimeoutCommand>(data, &MicrohardGetFastSyncTimeoutCommand::getFastSyncTimeout);
    read<MicrohardGetSniffTimeoutCommand>(data, &MicrohardGetSniffTimeoutCommand::getSniffTimeout);
    read<MicrohardGetMasterHopAllocationTimeoutCommand>(data, &MicrohardGetMasterHopAllocationTimeoutCommand::getMasterHopAllocationTimeout);
    read<MicrohardGetProductCodeCommand>(data, &MicrohardGetProductCodeCommand::getProductCode);
    read<MicrohardGetSerialNumberCommand>(data, &MicrohardGetSerialNumberCommand::getSerialNumber);
    read<MicrohardL400EnterDealerModeCommand>(data, &MicrohardL400EnterDealerModeCommand::getStrValue);
    read<MicrohardL400SendDealerPasswordCommand>(data, &MicrohardL400SendDealerPasswordCommand::getStrValue);
    read<MicrohardL400ExitDealerModeCommand>(data, &MicrohardL400ExitDealerModeCommand::getStrValue);

    // The table command renders only once its four fields are set.
    MicrohardL400SetTableFrequencyCommand table;
    table.setEntry(42);
    table.setFrequency(450125000);
    table.setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    table.setDirection(MICROHARD_L400_DIRECTION_2);
    CharVector out;
    table.buildCmdStr(out);
    FUZZ_CHECK(out.str() == "42\r450125000\r1\r2\r");
    if (answer(table, data)) sink->str(table.getStrValue());

    sink = nullptr;
    return 0;
}
