#pragma once
// Microhard920ARadio: the Microhard 920A (product code "MHX920A"). Its link
// is chosen by a channel number, kept in the network address register S104
// as channel + 101 (channels 0 to 99 are addresses 101 to 200), and one of
// three link modes.

#include <map>

#include "radio/microhard/MicrohardRadio.h"

namespace Veltrio {
namespace Radio {

// Link modes of the 920A: wireless rate (S103), maximum packet size (S112),
// retransmissions (S113) and FEC mode (S158).
// Int-based, so that any number a caller hands over is a value of the type
// and saveConfig can refuse it.
enum MICROHARD_920A_MODE : int {
    MICROHARD_920A_MODE_SLOW = 0,  // 19200 bit/s, 30 bytes, 0 retransmissions, FEC 7
    MICROHARD_920A_MODE_SLOW2 = 1, // 19200 bit/s, 35 bytes, 2 retransmissions, FEC 0
    MICROHARD_920A_MODE_FAST = 2,  // 115200 bit/s, 25 bytes, 5 retransmissions, FEC 0
};

// The registers saveConfig sets, as the radio holds them: no table is
// applied, so a value that no saveConfig argument produces is still seen as
// it is.
struct Microhard920ARegisters {
    unsigned int networkAddress = 0;  // S104: the channel + 101
    unsigned int unitAddress = 0;     // S105
    int wirelessRateCode = 0;         // S103
    unsigned int maxPacketSize = 0;   // S112
    unsigned int retransmissions = 0; // S113
    int fecMode = 0;                  // S158
    std::map<int, int> fixed;         // the registers of Microhard920AFixed::registers, by number
};

class Microhard920ARadio : public MicrohardRadio {
public:
    Microhard920ARadio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                       Veltrio::Common::DeviceCommInterface* device, Veltrio::Common::DeviceCommInterface* gpsDevice);

    RADIO_TYPE getType() const override;

    // Accepts 100 to 1000 mW in the steps of the power table; anything else:
    // InvalidPowerException with the value in decimal.
    void validateOutputPower(unsigned int milliwatts) override;

    // Reads back channel and mode. A network address outside 101 to 200 reads
    // as channel 0; `mode` is left as it was when the radio's rate and packet
    // size pair is not one of the modes.
    virtual void getConfig(unsigned int& channel, MICROHARD_920A_MODE& mode);

    // Every register saveConfig sets, in one exchange, unconverted: those it
    // sets from its three values (S104, S105, S103, S112, S113, S158), then
    // the fixed ones. Only an answer that holds no number fails
    // (ConversionException); a network address above 4000000000 is an
    // InvalidNetworkAddressException.
    void readRegisters(Microhard920ARegisters& registers);
    // The channel that the network address stands for; false outside 101 to 200.
    static bool channelOf(const Microhard920ARegisters& registers, unsigned int& channel);
    // The link mode whose four registers these are; false when no mode has
    // all four.
    static bool modeOf(const Microhard920ARegisters& registers, MICROHARD_920A_MODE& mode);

    // Factory setting 5, the fixed link set-up, channel, mode and unit
    // address, saved with "AT&W"; one exchange. Every value is checked before
    // the first byte is written: a channel outside 0 to 99 raises
    // InvalidNetworkAddressException, a unit address outside 2 to 65534
    // InvalidUnitAddressException, a mode outside the enumeration
    // InvalidOperationModeException (extra: the value in decimal).
    virtual void saveConfig(unsigned int channel, MICROHARD_920A_MODE mode, unsigned int address);
};

} // namespace Radio
} // namespace Veltrio
