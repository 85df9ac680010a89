#pragma once
// Every Satel "SL" command, one row each over the shapes of
// SatelCommandShapes.h. The checks and renderings of the setters, with wire
// examples, are in SatelCommands.cpp; the answer readers in SatelAnswers.h.
//
// Units: frequencies and channel spacing in Hz, power in mW, signal
// strength, noise level and threshold in dBm.

#include <string>

#include "common/PortConfig.h"
#include "radio/satel/SatelAnswers.h"
#include "radio/satel/SatelCommandShapes.h"
#include "radio/satel/SatelTypes.h"

namespace Veltrio {
namespace Radio {

#define VELTRIO_SATEL_COMMAND(Class, text, token)                                                                  \
    class Class : public SatelTokenCommand {                                                                       \
    public:                                                                                                        \
        Class() : SatelTokenCommand(text, token) {}                                                                \
    }

#define VELTRIO_SATEL_SETTER(Class, setter, Argument, Value, text, unsetName)                                     \
    class Class : public SatelSetter<Value> {                                                                      \
    public:                                                                                                        \
        Class() : SatelSetter<Value>(text, unsetName) {}                                                           \
        void setter(Argument value);                                                                               \
                                                                                                                   \
    private:                                                                                                       \
        std::string render(const Value& value) const override;                                                     \
    }

#define VELTRIO_SATEL_QUERY(Class, getter, Value, text, token, reader, incompleteIsError)                         \
    class Class : public SatelQuery<Value> {                                                                       \
    public:                                                                                                        \
        Class() : SatelQuery<Value>(text, token, reader, incompleteIsError) {}                                     \
        Value getter() const { return readValue(); }                                                               \
    }

// Commands answered by a token.
//                    class                          text     token
VELTRIO_SATEL_COMMAND(SatelEnterCommandModeCommand,  "SL+++", "OK");
VELTRIO_SATEL_COMMAND(SatelExitCommandModeCommand,   "SL++O", "OK");
VELTRIO_SATEL_COMMAND(SatelRestoreDefaultsCommand,   "SL*R>", "");

// Stores the settings in the radio's flash.
class SatelWriteFlashCommand : public SatelTokenCommand {
public:
    SatelWriteFlashCommand() : SatelTokenCommand("SL**>", "") {}
    bool savesSettings() const override { return true; }
};

// Setters of one value. The last column is the name DataNotSetException
// carries when the value was never set.
//                   class                            setter               argument            value         text     name
VELTRIO_SATEL_SETTER(SatelSetFrequencyCommand,        setFrequency,        unsigned int,       unsigned int, "SL&F=", "SatelSetFrequencyCommand");
VELTRIO_SATEL_SETTER(SatelSetChannelSpacingCommand,   setChannelSpacing,   unsigned int,       unsigned int, "SL&W=", "SatelSetChannelSpacingCommand");
VELTRIO_SATEL_SETTER(SatelSetPowerCommand,            setPower,            unsigned int,       unsigned int, "SL@P=", "SatelSetPowerCommand");
VELTRIO_SATEL_SETTER(SatelSetAddressCommand,          setAddress,          const std::string&, std::string,  "SL#I=", "SatelSetAddressCommand");
VELTRIO_SATEL_SETTER(SatelSetSignalThresholdCommand,  setSignalThreshold,  int,                int,          "SL@T=", "SatelSetSignalThresholdCommand");

// Queries of one value.
//                  class                                 getter                    value         text     token  reader                           incomplete = error
VELTRIO_SATEL_QUERY(SatelGetCenterFrequencyCommand,       getCenterFrequency,       unsigned int, "SL&C?", "MHz", SatelAnswers::centerFrequency,   true);
VELTRIO_SATEL_QUERY(SatelGetChannelSpacingCommand,        getChannelSpacing,        unsigned int, "SL&W?", "kHz", SatelAnswers::channelSpacing,    true);
VELTRIO_SATEL_QUERY(SatelGetPowerCommand,                 getPower,                 unsigned int, "SL@P?", "mW",  SatelAnswers::power,             false);
VELTRIO_SATEL_QUERY(SatelGetSignalStrengthCommand,        getSignalStrength,        int,          "SL@R?", "",    SatelAnswers::signalLevel,       false);
VELTRIO_SATEL_QUERY(SatelGetNoiseLevelCommand,            getNoiseLevel,            int,          "SL@F?", "",    SatelAnswers::signalLevel,       false);
VELTRIO_SATEL_QUERY(SatelGetSignalThresholdCommand,       getSignalThreshold,       int,          "SL@T?", "",    SatelAnswers::signalThreshold,   false);
VELTRIO_SATEL_QUERY(SatelGetRadioSoftwareVersionCommand,  getRadioSoftwareVersion,  std::string,  "SL%V?", "",    SatelAnswers::softwareVersion,   false);
VELTRIO_SATEL_QUERY(SatelGetModemTypeCommand,             getModemType,             std::string,  "SL%D?", "",    SatelAnswers::wholeText,         false);
VELTRIO_SATEL_QUERY(SatelGetSerialNumberCommand,          getSerialNumber,          std::string,  "SL%S?", "",    SatelAnswers::wholeText,         false);
VELTRIO_SATEL_QUERY(SatelGetLogicBoardNameCommand,        getLogicBoardName,        std::string,  "SL%H?", "",    SatelAnswers::wholeText,         false);
VELTRIO_SATEL_QUERY(SatelGetModemPartNumberCommand,       getModemPartNumber,       std::string,  "SL%C?", "",    SatelAnswers::wholeText,         false);
VELTRIO_SATEL_QUERY(SatelGetRadioBoardVersionCommand,     getRadioBoardVersion,     std::string,  "SL!H?", "",    SatelAnswers::radioBoardVersion, false);

#undef VELTRIO_SATEL_COMMAND
#undef VELTRIO_SATEL_SETTER
#undef VELTRIO_SATEL_QUERY

// The specials: an enumerated value, and queries and a setter of several.

// "SL&D=" + the mode letter. Holds OPERATION_MODE_S until set; unset, it
// carries the name "SatelSetAddressCommand", as the field tools report it.
class SatelSetOperationModeCommand : public SatelSetter<OPERATION_MODE> {
public:
    SatelSetOperationModeCommand() : SatelSetter("SL&D=", "SatelSetAddressCommand", OPERATION_MODE_S) {}
    void setOperationMode(OPERATION_MODE mode);

private:
    std::string render(const OPERATION_MODE& mode) const override;
};

class SatelGetOperationModeCommand : public SatelQuery<OPERATION_MODE> {
public:
    SatelGetOperationModeCommand() : SatelQuery("SL&D?", "", SatelAnswers::operationMode, false, OPERATION_MODE_S) {}
    OPERATION_MODE getOperationMode() const { return readValue(); }
};

// "SL%B=" + buildConfigStr(...). Unset, it carries the name
// "SatelSetFrequencyCommand", as the field tools report it.
class SatelSetSerialPortConfigCommand : public SatelSetter<SatelSerialPortConfig> {
public:
    SatelSetSerialPortConfigCommand() : SatelSetter("SL%B=", "SatelSetFrequencyCommand") {}
    void setSerialPortConfig(Common::PORT_CONFIG_BAUD baud, Common::PORT_CONFIG_BITS bits,
                             Common::PORT_CONFIG_PARITY parity, Common::PORT_CONFIG_STOPBITS stopBits);

private:
    std::string render(const SatelSerialPortConfig& config) const override;
};

class SatelGetSerialPortConfigCommand : public SatelQuery<SatelSerialPortConfig> {
public:
    SatelGetSerialPortConfigCommand() : SatelQuery("SL%B?", "", SatelAnswers::serialPortConfig, false) {}
    Common::PORT_CONFIG_BAUD getBaud() const { return readValue().baud; }
    Common::PORT_CONFIG_BITS getBits() const { return readValue().bits; }
    Common::PORT_CONFIG_PARITY getParity() const { return readValue().parity; }
    Common::PORT_CONFIG_STOPBITS getStopBits() const { return readValue().stopBits; }
};

// Transmit and receive frequency in one answer.
class SatelGetFrequencyCommand : public SatelQuery<SatelFrequencies> {
public:
    SatelGetFrequencyCommand() : SatelQuery("SL&F?", "MHz", SatelAnswers::frequencies, true) {}
    unsigned int getTxFrequency() const { return readValue().tx; }
    unsigned int getRxFrequency() const { return readValue().rx; }
};

class SatelGetAddressCommand : public SatelQuery<SatelAddresses> {
public:
    SatelGetAddressCommand() : SatelQuery("SL#I?", "", SatelAnswers::addresses, false) {}
    std::string getTxAddress() const { return readValue().tx; }
    std::string getRxAddress() const { return readValue().rx; }
};

} // namespace Radio
} // namespace Veltrio
