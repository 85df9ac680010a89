#pragma once
// MicrohardL400Radio: the Microhard L400 (product code "L400"), a UHF modem
// whose frequency is chosen through a frequency table. saveConfig writes
// table entry 42 in the radio's password-protected dealer mode and points the
// transmit (S131) and receive (S132) frequency registers at it.

#include <map>

#include "radio/microhard/MicrohardRadio.h"

namespace Veltrio {
namespace Radio {

// Link modes of the L400, each a pair of wireless rate (S103) and FEC mode
// (S158). The pairs are distinct, so a mode can be read back from the radio.
// Int-based, so that any number a caller hands over is a value of the type
// and saveConfig can refuse it.
enum MICROHARD_L400_MODE : int {
    MICROHARD_L400_MODE_PC1 = 0,  // 9600 bit/s, FEC 1
    MICROHARD_L400_MODE_PC2 = 1,  // 14400 bit/s, FEC 1
    MICROHARD_L400_MODE_PC3 = 2,  // 9600 bit/s, FEC 0
    MICROHARD_L400_MODE_PC4 = 3,  // 14400 bit/s, FEC 0
    MICROHARD_L400_MODE_VLTR = 4, // 16000 bit/s, FEC 0
};

// The registers saveConfig sets, as the radio holds them: no table is
// applied, so a value that no saveConfig argument produces is still seen as
// it is.
struct MicrohardL400Registers {
    unsigned int frequency = 0;   // Hz: S131, the frequency of the transmit table entry
    unsigned int rxFrequency = 0; // Hz: S132, the frequency of the receive table entry
    int outputPower = 0;          // S108, dBm
    int wirelessRateCode = 0;     // S103
    int fecMode = 0;              // S158
    // The registers of MicrohardL400Fixed::registers, by number (S131 and
    // S132: the table entry they point at).
    std::map<int, int> fixed;
};

class MicrohardL400Radio : public MicrohardRadio {
public:
    MicrohardL400Radio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                       Veltrio::Common::DeviceCommInterface* device, Veltrio::Common::DeviceCommInterface* gpsDevice);

    RADIO_TYPE getType() const override;

    // Accepts the milliwatt values of the power table (100 to 5000); anything
    // else: InvalidPowerException with the value in decimal.
    void validateOutputPower(unsigned int milliwatts) override;

    // Reads back frequency (Hz), power (mW) and mode. `mode` is left as it was
    // when the radio's rate and FEC pair is not one of the modes; `power` is
    // 1000 when S108 holds a value outside the power table.
    virtual void getConfig(unsigned int& frequency, unsigned int& power, MICROHARD_L400_MODE& mode);

    // Every register saveConfig sets, in one exchange, unconverted: those
    // getConfig reads, then S132, then the other fixed registers. Only an
    // answer that holds no number fails (ConversionException).
    void readRegisters(MicrohardL400Registers& registers);
    // The link mode whose rate code and FEC mode the registers hold; false
    // when no mode has that pair.
    static bool modeOf(const MicrohardL400Registers& registers, MICROHARD_L400_MODE& mode);

    // Factory setting 2, then the link parameters, frequency table entry 42
    // (through the dealer mode), power and bandwidth, saved with "AT&W"; one
    // exchange. Every value is checked before the first byte is written:
    // a frequency outside 406.1 to 473 MHz or off the 12.5 kHz grid raises
    // InvalidFrequencyException, a power that is not in the power table
    // InvalidPowerException, a mode outside the enumeration
    // InvalidOperationModeException (each with the value in decimal). A
    // dealer-mode answer with "ERROR" in it stops the exchange there with
    // CommandException.
    virtual void saveConfig(unsigned int frequency, unsigned int power, MICROHARD_L400_MODE mode);

    // 406100000 <= hertz <= 473000000 and a multiple of 12500, else
    // InvalidFrequencyException with the value in decimal.
    static void validateFrequency(unsigned int hertz);
};

} // namespace Radio
} // namespace Veltrio
