#include "radio/microhard/MicrohardL400Radio.h"

#include <list>
#include <string>

#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardFixedRegisters.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::PORT_CONFIG_BAUD;

namespace {

struct ModeRow {
    MICROHARD_L400_MODE mode;
    PORT_CONFIG_BAUD wirelessRate;
    unsigned int fecMode;
};
// PC2 and PC4 run at 14400 bit/s: the one L400 air rate that no other mode
// uses, so that every mode has its own pair and getConfig can tell all five
// apart.
constexpr ModeRow modeTable[] = {
    {MICROHARD_L400_MODE_PC1, Veltrio::Common::BAUD_9600, 1},
    {MICROHARD_L400_MODE_PC2, Veltrio::Common::BAUD_14400, 1},
    {MICROHARD_L400_MODE_PC3, Veltrio::Common::BAUD_9600, 0},
    {MICROHARD_L400_MODE_PC4, Veltrio::Common::BAUD_14400, 0},
    {MICROHARD_L400_MODE_VLTR, Veltrio::Common::BAUD_16000, 0},
};
static_assert(sizeof modeTable / sizeof modeTable[0] == MICROHARD_L400_MODE_VLTR + 1, "one row per mode");
static_assert(modeTable[MICROHARD_L400_MODE_PC4].mode == MICROHARD_L400_MODE_PC4, "rows in mode order");

const ModeRow& modeRow(MICROHARD_L400_MODE mode) {
    for (const ModeRow& row : modeTable)
        if (row.mode == mode) return row;
    throw InvalidOperationModeException(std::to_string(static_cast<int>(mode)));
}

// Values the L400 set-up always programs (those read back: MicrohardFixedRegisters.h).
constexpr unsigned int factorySetting = 2;
constexpr unsigned int direction = 2;
using MicrohardL400Fixed::bandwidth;
using MicrohardL400Fixed::characterTimeout;
using MicrohardL400Fixed::maxPacketSize;
using MicrohardL400Fixed::operatingMode;
using MicrohardL400Fixed::serialDataFormat;
using MicrohardL400Fixed::tableEntry;

// The reads of getConfig: "ATS103?", "ATS158?", "ATS108?", "ATS131?".
struct ConfigReads {
    MicrohardL400GetWirelessBaudRateCommand wirelessRate;
    MicrohardGetFECModeCommand fec;
    MicrohardGetOutputPowerCommand outputPower;
    MicrohardL400GetFrequencyCommand txFrequency;

    void run(RadioBase& radio) { radio.batch({&wirelessRate, &fec, &outputPower, &txFrequency}); }
};

} // namespace

MicrohardL400Radio::MicrohardL400Radio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                                       Veltrio::Common::DeviceCommInterface* device,
                                       Veltrio::Common::DeviceCommInterface* gpsDevice)
    : MicrohardRadio(timer, commandTimeout, device, gpsDevice) {}

RADIO_TYPE MicrohardL400Radio::getType() const { return RADIO_TYPE_MICROHARD_L400; }

void MicrohardL400Radio::validateOutputPower(unsigned int milliwatts) {
    unsigned int dBm = 0;
    if (!milliwattsToPower(milliwatts, dBm)) throw InvalidPowerException(std::to_string(milliwatts));
}

void MicrohardL400Radio::validateFrequency(unsigned int hertz) {
    if (hertz < 406100000u || hertz > 473000000u || hertz % 12500u != 0)
        throw InvalidFrequencyException(std::to_string(hertz));
}

void MicrohardL400Radio::saveConfig(unsigned int frequency, unsigned int power, MICROHARD_L400_MODE mode) {
    validateFrequency(frequency);
    // A power outside the table is refused: programming some other power
    // instead would leave the radio set differently from what was asked.
    validateOutputPower(power);
    const ModeRow& link = modeRow(mode);
    unsigned int dBm = 0;
    milliwattsToPower(power, dBm);

    // Every command gets its value here, before anything is sent: a value a
    // command refuses leaves with nothing written.
    MicrohardSetFactorySettingsCommand factory;
    factory.setFactorySettings(static_cast<MICROHARD_FACTORY_SETTING>(factorySetting));
    MicrohardSetOperatingModeCommand operating;
    operating.setOperatingMode(static_cast<MICROHARD_OPERATING_MODE>(operatingMode));
    MicrohardSetSerialBaudRateCommand serialRate;
    serialRate.setSerialBaudRate(Veltrio::Common::BAUD_115200); // code MicrohardL400Fixed::serialBaudCode
    MicrohardSetSerialPortDataFormatCommand dataFormat;
    dataFormat.setSerialPortDataFormat(static_cast<MICROHARD_SERIAL_PORT_DATA_FORMAT>(serialDataFormat));
    MicrohardL400SetWirelessBaudRateCommand wirelessRate;
    wirelessRate.setWirelessBaudRate(link.wirelessRate);
    MicrohardSetFECModeCommand fec;
    fec.setFECMode(static_cast<MICROHARD_FEC_MODE>(link.fecMode));
    MicrohardSetMaxPacketSizeCommand packetSize;
    packetSize.setMaxPacketSize(maxPacketSize);
    MicrohardSetCharacterTimeoutCommand charTimeout;
    charTimeout.setCharacterTimeout(characterTimeout);
    // Dealer mode: "ATP0=\r", the password line, the four fields of the table
    // entry (each ended by CR), ESC. Each step completes on the radio's next
    // line; an answer with "ERROR" in it stops the sequence there.
    MicrohardL400EnterDealerModeCommand enterDealer;
    MicrohardL400SendDealerPasswordCommand password;
    MicrohardL400SetTableFrequencyCommand table;
    table.setEntry(tableEntry);
    table.setFrequency(frequency);
    table.setBandwidth(static_cast<MICROHARD_L400_BANDWIDTH>(bandwidth));
    table.setDirection(static_cast<MICROHARD_L400_DIRECTION>(direction));
    MicrohardL400ExitDealerModeCommand exitDealer;
    MicrohardL400SetTxFrequencyCommand txFrequency;
    txFrequency.setFrequency(tableEntry);
    MicrohardL400SetRxFrequencyCommand rxFrequency;
    rxFrequency.setFrequency(tableEntry);
    MicrohardSetOutputPowerCommand outputPower;
    outputPower.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(dBm));
    MicrohardL400SetBandwidthCommand s125;
    s125.setBandwidth(static_cast<MICROHARD_L400_BANDWIDTH>(bandwidth));
    MicrohardSaveConfigurationCommand save;

    const std::list<Command*> sequence = {
        &factory,     &operating,   &serialRate,  &dataFormat, &wirelessRate, &fec,
        &packetSize,  &charTimeout, &enterDealer, &password,   &table,        &exitDealer,
        &txFrequency, &rxFrequency, &outputPower, &s125,       &save,
    };
    batch(sequence);
}

void MicrohardL400Radio::getConfig(unsigned int& frequency, unsigned int& power, MICROHARD_L400_MODE& mode) {
    ConfigReads reads;
    reads.run(*this);

    // The rate is converted first (a code other than 5, 6 or 8 is an
    // UnknownResponseException); the FEC mode only for a matching rate.
    const PORT_CONFIG_BAUD rate = reads.wirelessRate.getWirelessBaudRate();
    for (const ModeRow& row : modeTable)
        if (row.wirelessRate == rate && static_cast<unsigned int>(reads.fec.getFECMode()) == row.fecMode) {
            mode = row.mode;
            break;
        }

    frequency = reads.txFrequency.getFrequency();

    // The raw register value: one outside the power table reads as 1000 mW.
    power = 1000;
    powerToMilliwatts(static_cast<unsigned int>(reads.outputPower.getIntValue()), power);
}

void MicrohardL400Radio::readRegisters(MicrohardL400Registers& registers) {
    // getConfig's reads, S132, then the other fixed registers; S131 and S132
    // name their table entry on the line that gives its frequency.
    ConfigReads reads;
    MicrohardL400GetRxFrequencyCommand rxFrequency;
    std::list<Command*> sequence = {&reads.wirelessRate, &reads.fec, &reads.outputPower, &reads.txFrequency,
                                    &rxFrequency};
    MicrohardRegisterReads fixedReads;
    fixedReads.readBy(131, reads.txFrequency);
    fixedReads.readBy(132, rxFrequency);
    for (const MicrohardFixedRegister& fixed : MicrohardL400Fixed::registers)
        if (fixed.number != 131 && fixed.number != 132) fixedReads.add(fixed.number, sequence);
    batch(sequence);

    registers.frequency = reads.txFrequency.getFrequency();
    registers.rxFrequency = rxFrequency.getFrequency();
    registers.outputPower = reads.outputPower.getIntValue();
    registers.wirelessRateCode = reads.wirelessRate.getIntValue();
    registers.fecMode = reads.fec.getIntValue();
    registers.fixed = fixedReads.values();
}

bool MicrohardL400Radio::modeOf(const MicrohardL400Registers& registers, MICROHARD_L400_MODE& mode) {
    PORT_CONFIG_BAUD rate{};
    if (!microhardL400WirelessBaudCodes.rateOf(registers.wirelessRateCode, rate)) return false;
    for (const ModeRow& row : modeTable)
        if (row.wirelessRate == rate && static_cast<unsigned int>(registers.fecMode) == row.fecMode) {
            mode = row.mode;
            return true;
        }
    return false;
}

} // namespace Radio
} // namespace Veltrio
