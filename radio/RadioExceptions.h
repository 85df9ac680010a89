#pragma once
// Every exception of the radio drivers. Thrown by value, caught by reference.
// The messages are fixed texts that the user sees (with ": " and the extra
// information where there is one); they are kept exactly as the field tools
// print them, "repsonse" and the "Invalid address" of the operation mode
// included.
//
// One row per class:
//   VELTRIO_RADIO_EXCEPTION(Name, message)             no extra information
//   VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(Name, message)  one string of extra information

#include <string>

#include "common/Exception.h"
#include "common/StopRequest.h"

namespace Veltrio {
namespace Radio {

#define VELTRIO_RADIO_EXCEPTION(Name, text)                              \
    class Name : public Veltrio::Common::Exception {                     \
    public:                                                              \
        Name() : Veltrio::Common::Exception(text) {}                     \
    }

#define VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(Name, text)                                       \
    class Name : public Veltrio::Common::ExceptionWithExtraInfo {                            \
    public:                                                                                  \
        explicit Name(const std::string& extraInfo)                                          \
            : Veltrio::Common::ExceptionWithExtraInfo(text, extraInfo) {}                    \
    }

// Raised by the engine. Extra: the command text as written.
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(CommandException, "Command error");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(CommandTimeoutException, "Timeout waiting for repsonse");

// Raised by the engine when the run was asked to stop (StopRequest.h), once
// the exchange under way is finished and the radio is out of command mode:
//   Stopped by SIGINT after ATS104?\r\n: nothing was saved
// `lastCommand` is the last command written (empty: none was); `saved` says
// that a command storing the settings in the radio had completed before.
class StoppedException : public Veltrio::Common::Exception {
public:
    StoppedException(int signal, const std::string& lastCommand, bool saved)
        : Exception(std::string("Stopped by ") + Veltrio::Common::signalName(signal) +
                    (lastCommand.empty() ? " before the first command" : " after " + lastCommand) +
                    (saved ? ": the settings written before it were saved" : ": nothing was saved")) {}
};

// Raised by commands: a value getter before an answer was parsed; a setter
// command rendered before its value was set (extra: the command class name).
VELTRIO_RADIO_EXCEPTION(DataNotReadyException, "Data not ready");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(DataNotSetException, "Data for command not set");
VELTRIO_RADIO_EXCEPTION(UnknownResponseException, "Unknown response");

// Argument validation; the extra information is the rejected value.
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidFrequencyException, "Invalid frequency");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidPowerException, "Invalid power");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidAddressException, "Invalid address");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidChannelSpacingException, "Invalid channel spacing");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidOperationModeException, "Invalid address");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidSignalThresholdException, "Invalid threshold");
VELTRIO_RADIO_EXCEPTION_WITH_EXTRA(InvalidSerialPortConfigException, "Invalid serial port config");

// Microhard register values out of range.
VELTRIO_RADIO_EXCEPTION(InvalidNetworkAddressException, "Invalid Network Address");
VELTRIO_RADIO_EXCEPTION(InvalidUnitAddressException, "Invalid Unit Address");
VELTRIO_RADIO_EXCEPTION(InvalidStaticMaskException, "Invalid Static Mask");
VELTRIO_RADIO_EXCEPTION(InvalidHopIntervalException, "Invalid Hop Interval");
VELTRIO_RADIO_EXCEPTION(InvalidMaxPacketSizeException, "Invalid Max Packet Size");
VELTRIO_RADIO_EXCEPTION(InvalidPacketRetransmissionsException, "Invalid Packet Retransmissions");
VELTRIO_RADIO_EXCEPTION(InvalidRepeatIntervalException, "Invalid Repeat Interval");
VELTRIO_RADIO_EXCEPTION(InvalidCharacterTimeoutException, "Invalid Character Timeout");
VELTRIO_RADIO_EXCEPTION(InvalidRoamingException, "Invalid Roaming Timeout");
VELTRIO_RADIO_EXCEPTION(InvalidNetworkTypeException, "Invalid Network Type");
VELTRIO_RADIO_EXCEPTION(InvalidSerialChannelModeException, "Invalid Serial Channel Mode");
VELTRIO_RADIO_EXCEPTION(InvalidSleepModeException, "Invalid Sleep Mode");
VELTRIO_RADIO_EXCEPTION(InvalidSleepTimeException, "Invalid Sleep Time");
VELTRIO_RADIO_EXCEPTION(InvalidWakeTimeException, "Invalid Wake Time");
VELTRIO_RADIO_EXCEPTION(InvalidLEDBrightnessException, "Invalid LED Brightness");
VELTRIO_RADIO_EXCEPTION(InvalidSyncModeException, "Invalid Sync Mode");
VELTRIO_RADIO_EXCEPTION(InvalidFastSyncTimeoutException, "Invalid Fast Sync Timeout");
VELTRIO_RADIO_EXCEPTION(InvalidFECModeException, "Invalid FEC Mode");
VELTRIO_RADIO_EXCEPTION(InvalidProtocolTypeException, "Invalid Protocol Type");
VELTRIO_RADIO_EXCEPTION(InvalidSniffTimeoutException, "Invalid Sniff Timeout");
VELTRIO_RADIO_EXCEPTION(InvalidChannelRequestModeException, "Invalid Channel Request Mode");
VELTRIO_RADIO_EXCEPTION(InvalidMasterHopAllocationTimeoutException, "Invalid Master Hop Allocation Timeout");
VELTRIO_RADIO_EXCEPTION(InvalidDestinationAddressException, "Invalid Destination Address");
VELTRIO_RADIO_EXCEPTION(InvalidTableEntryException, "Invalid Table Entry");

#undef VELTRIO_RADIO_EXCEPTION
#undef VELTRIO_RADIO_EXCEPTION_WITH_EXTRA

} // namespace Radio
} // namespace Veltrio
