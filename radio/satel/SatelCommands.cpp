#include "radio/satel/SatelCommands.h"

#include "common/Conversions.h"
#include "common/Exception.h"

namespace Veltrio {
namespace Radio {

using Common::convertDoubleToStr;

// Rejected values are shown in decimal as they were given: an unsigned value
// above 2^31 must not turn negative in the message.

// SL&F=438.12500: MHz with five decimals, 1 MHz < frequency < 1000 MHz.
// The five decimals round to 10 Hz, so the upper bound is checked on the
// text that will be written: 999999995 Hz and above would go out as
// SL&F=1000.00000.
void SatelSetFrequencyCommand::setFrequency(unsigned int hz) {
    if (hz <= 1000000 || hz > 999999999 || Common::convertStrToDouble(render(hz)) >= 1000.0)
        throw InvalidFrequencyException(std::to_string(hz));
    store(hz);
}
std::string SatelSetFrequencyCommand::render(const unsigned int& hz) const { return convertDoubleToStr(hz / 1000000.0, 5); }

// SL&W=1250: tens of Hz; the radio has 12.5, 20 and 25 kHz channels.
void SatelSetChannelSpacingCommand::setChannelSpacing(unsigned int hz) {
    if (hz != 12500 && hz != 20000 && hz != 25000) throw InvalidChannelSpacingException(std::to_string(hz));
    store(hz);
}
std::string SatelSetChannelSpacingCommand::render(const unsigned int& hz) const { return std::to_string(hz / 10); }

// SL@P=500: mW, 2 to 9999 (four digits at most; 1 mW is refused).
void SatelSetPowerCommand::setPower(unsigned int mW) {
    if (mW < 2 || mW > 9999) throw InvalidPowerException(std::to_string(mW));
    store(mW);
}
std::string SatelSetPowerCommand::render(const unsigned int& mW) const { return std::to_string(mW); }

// SL#I=ffff: a 16-bit hexadecimal address, written exactly as given.
void SatelSetAddressCommand::setAddress(const std::string& address) {
    int value = 0;
    try {
        value = Common::convertHexStrToInt(address);
    } catch (const Common::ConversionException&) {
        throw InvalidAddressException(address);
    }
    if (value >= 0x10000) throw InvalidAddressException(address);
    store(address);
}
std::string SatelSetAddressCommand::render(const std::string& address) const { return address; }

// SL@T=-110: dBm, -999 to 99.
void SatelSetSignalThresholdCommand::setSignalThreshold(int dBm) {
    if (dBm < -999 || dBm > 99) throw InvalidSignalThresholdException(std::to_string(dBm));
    store(dBm);
}
std::string SatelSetSignalThresholdCommand::render(const int& dBm) const { return std::to_string(dBm); }

// SL&D=S: the mode letter D, R or S.
void SatelSetOperationModeCommand::setOperationMode(OPERATION_MODE mode) {
    if (mode != OPERATION_MODE_D && mode != OPERATION_MODE_R && mode != OPERATION_MODE_S)
        throw InvalidOperationModeException(std::string(1, static_cast<char>(mode)));
    store(mode);
}
std::string SatelSetOperationModeCommand::render(const OPERATION_MODE& mode) const {
    return std::string(1, static_cast<char>(mode));
}

// SL%B=19200,8,N,1: baud, bits, parity, stop bits.
void SatelSetSerialPortConfigCommand::setSerialPortConfig(Common::PORT_CONFIG_BAUD baud, Common::PORT_CONFIG_BITS bits,
                                                          Common::PORT_CONFIG_PARITY parity,
                                                          Common::PORT_CONFIG_STOPBITS stopBits) {
    if (!isSatelSerialPortConfig(baud, bits, static_cast<char>(parity), stopBits))
        throw InvalidSerialPortConfigException(buildConfigStr(baud, bits, parity, stopBits));
    store(SatelSerialPortConfig{baud, bits, parity, stopBits});
}
std::string SatelSetSerialPortConfigCommand::render(const SatelSerialPortConfig& config) const {
    return buildConfigStr(config.baud, config.bits, config.parity, config.stopBits);
}

} // namespace Radio
} // namespace Veltrio
