// Fuzz target: the answer parser of the Microhard register reads, and every
// typed getter applied to the value it took.
//
// The first byte of the input picks the command (FuzzCheck::pick); the rest
// is what the radio sent after the read ("ATS104?\r\n" answered
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

#include <iterator>
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

// Enumerated, switch and narrowed reads check the typed value against the
// number; the others are read as they are.
#define READ_NUMBER(Command, getter) [](const CharVector& d) { readNumber<Command>(d, &Command::getter); }
#define READ(Command, getter) [](const CharVector& d) { read<Command>(d, &Command::getter); }

// The table command renders only once its four fields are set.
void table(const CharVector& data)
{
    MicrohardL400SetTableFrequencyCommand table;
    table.setEntry(42);
    table.setFrequency(450125000);
    table.setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    table.setDirection(MICROHARD_L400_DIRECTION_2);
    CharVector out;
    table.buildCmdStr(out);
    FUZZ_CHECK(out.str() == "42\r450125000\r1\r2\r");
    if (answer(table, data)) sink->str(table.getStrValue());
}

void (*const cases[])(const CharVector&) = {
    READ_NUMBER(MicrohardGetOperatingModeCommand, getOperatingMode),
    READ_NUMBER(MicrohardGetSerialBaudRateCommand, getSerialBaudRate),
    READ_NUMBER(MicrohardGetWirelessBaudRateCommand, getWirelessBaudRate),
    READ_NUMBER(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate),
    READ_NUMBER(MicrohardGetOutputPowerCommand, getOutputPower),
    READ_NUMBER(MicrohardGetHopIntervalCommand, getHopInterval),
    READ_NUMBER(MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat),
    READ_NUMBER(MicrohardGetQuickEnterCommandModeCommand, getQuickEnterCommandMode),
    READ_NUMBER(MicrohardGetNetworkTypeCommand, getNetworkType),
    READ_NUMBER(MicrohardGetDestinationAddressCommand, getDestinationAddress),
    READ_NUMBER(MicrohardGetRepeatersCommand, getRepeaters),
    READ_NUMBER(MicrohardGetSerialChannelModeCommand, getSerialChannelMode),
    READ_NUMBER(MicrohardGetSleepModeCommand, getSleepMode),
    READ_NUMBER(MicrohardGetSyncModeCommand, getSyncMode),
    READ_NUMBER(MicrohardGetAddressTagCommand, getAddressTag),
    READ_NUMBER(MicrohardGetFECModeCommand, getFECMode),
    READ_NUMBER(MicrohardGetProtocolTypeCommand, getProtocolType),
    READ_NUMBER(MicrohardGetChannelRequestModeCommand, getChannelRequestMode),
    READ(MicrohardGetNetworkAddressCommand, getNetworkAddress),
    READ(MicrohardGetUnitAddressCommand, getUnitAddress),
    READ(MicrohardGetStaticMaskCommand, getStaticMask),
    READ(MicrohardGetMaxPacketSizeCommand, getMaxPacketSize),
    READ(MicrohardGetPacketRetransmissionsCommand, getPacketRetransmissions),
    READ(MicrohardGetRepeatIntervalCommand, getRepeatInterval),
    READ(MicrohardGetCharacterTimeoutCommand, getCharacterTimeout),
    READ(MicrohardGetRoamingCommand, getRoaming),
    READ(MicrohardGetAverageRSSICommand, getAverageRSSI),
    READ(MicrohardL400GetFrequencyCommand, getFrequency),
    READ(MicrohardGetSleepTimeCommand, getSleepTime),
    READ(MicrohardGetWakeTimeCommand, getWakeTime),
    READ(MicrohardGetLEDBrightnessCommand, getLEDBrightness),
    READ(MicrohardGetFastSyncTimeoutCommand, getFastSyncTimeout),
    READ(MicrohardGetSniffTimeoutCommand, getSniffTimeout),
    READ(MicrohardGetMasterHopAllocationTimeoutCommand, getMasterHopAllocationTimeout),
    READ(MicrohardGetProductCodeCommand, getProductCode),
    READ(MicrohardGetSerialNumberCommand, getSerialNumber),
    READ(MicrohardL400EnterDealerModeCommand, getStrValue),
    READ(MicrohardL400SendDealerPasswordCommand, getStrValue),
    READ(MicrohardL400ExitDealerModeCommand, getStrValue),
    table,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const FuzzCheck::Picked input = FuzzCheck::pick(std::size(cases), bytes, size);
    const CharVector data(std::string(reinterpret_cast<const char*>(input.data), input.size));
    FuzzCheck::Sink localSink;
    sink = &localSink;
    cases[input.index](data);
    sink = nullptr;
    return 0;
}
