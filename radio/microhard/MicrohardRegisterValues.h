#pragma once
// How a typed value travels as the text of an S-register. Each kind below
// turns a setter's argument into register text (after checking it, and
// throwing the register's exception when the radio could not hold it) and the
// first answer line of a read back into a typed value.
//
// A kind names the shape it is used with (ReadBase, WriteBase); the command
// table (MicrohardRegisterCommands.h) only combines a register number, a kind
// and an accessor name.

#include <string>

#include "common/PortConfig.h"
#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardAnswer.h"
#include "radio/microhard/MicrohardBaseCommands.h"
#include "radio/microhard/MicrohardBaudCodes.h"
#include "radio/microhard/MicrohardTypes.h"

namespace Veltrio {
namespace Radio {
namespace MicrohardValue {

// Rejections: what a setter throws for a value outside its register's range.
template <typename E>
struct Throw {
    [[noreturn]] static void raise(long long) { throw E(); }
};
template <typename E>
struct ThrowValue { // extra text: the rejected value in decimal
    [[noreturn]] static void raise(long long value) { throw E(std::to_string(value)); }
};
struct ThrowInvalidBaud {
    [[noreturn]] static void raise(long long) { throw InvalidSerialPortConfigException("Invalid baud"); }
};
struct ThrowInvalidDataFormat {
    [[noreturn]] static void raise(long long) {
        throw InvalidSerialPortConfigException("MicrohardSetSerialPortDataFormatCommand");
    }
};
struct ThrowInvalidPower {
    [[noreturn]] static void raise(long long) { throw InvalidPowerException("MicrohardSetOutputPowerCommand"); }
};

// A decimal number read back as T (narrowed: an unsigned short keeps the low
// 16 bits).
template <typename T>
struct Decimal {
    using ReadBase = MicrohardBaseClassGetIntValueCommand;
    static T decode(const ReadBase& command) { return static_cast<T>(command.getIntValue()); }
};

// A decimal number written when Min <= value <= Max.
template <typename T, T Min, T Max, typename Reject>
struct Range {
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, T value) {
        if (!WriteBase::inRange<T>(value, Min, Max)) Reject::raise(static_cast<long long>(value));
        command.setIntValue(static_cast<int>(value));
    }
};

// An unsigned 32-bit number; written and read as unsigned decimal, so that
// values above 2147483647 survive both ways.
template <unsigned int Max, typename Reject>
struct Unsigned {
    using ReadBase = MicrohardBaseClassGetIntValueCommand;
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, unsigned int value) {
        if (!WriteBase::inRange<unsigned int>(value, 0u, Max)) Reject::raise(static_cast<long long>(value));
        command.setStrValue(std::to_string(value));
    }
    static unsigned int decode(const ReadBase& command) { return microhardUnsigned(command.getStrValue()); }
};

// S118: 1 to 254, or 65535.
struct Roaming {
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, unsigned int value) {
        if (!WriteBase::inRange<unsigned int>(value, 1u, 254u) && value != 65535u) throw InvalidRoamingException();
        command.setIntValue(static_cast<int>(value));
    }
};

// A register holding one of the values of an enumeration. Reads of any other
// number raise UnknownResponseException.
template <typename Enum, typename Reject>
struct Enumerated {
    using ReadBase = MicrohardBaseClassGetIntValueCommand;
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, Enum value) {
        if (!isMicrohardValue<Enum>(value)) Reject::raise(static_cast<long long>(value));
        command.setIntValue(static_cast<int>(value));
    }
    static Enum decode(const ReadBase& command) {
        const int number = command.getIntValue();
        if (!isMicrohardValue<Enum>(number)) throw UnknownResponseException();
        return static_cast<Enum>(number);
    }
};

// A value the radio is trusted with as it is (factory set, L400 bandwidth).
template <typename Enum>
struct AnyValue {
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, Enum value) { command.setIntValue(static_cast<int>(value)); }
};

// A switch: 1 or 0 written, anything but 0 read as on.
struct Switch {
    using ReadBase = MicrohardBaseClassGetIntValueCommand;
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, bool on) { command.setIntValue(on ? 1 : 0); }
    static bool decode(const ReadBase& command) { return command.getIntValue() != 0; }
};

// A baud rate stored as a code of one of the code tables.
template <const MicrohardBaudTable& Table>
struct BaudCode {
    using ReadBase = MicrohardBaseClassGetIntValueCommand;
    using WriteBase = MicrohardBaseClassSetIntValueCommand;
    static void encode(WriteBase& command, Veltrio::Common::PORT_CONFIG_BAUD rate) {
        int code = 0;
        if (!Table.codeOf(rate, code)) ThrowInvalidBaud::raise(rate);
        command.setIntValue(code);
    }
    static Veltrio::Common::PORT_CONFIG_BAUD decode(const ReadBase& command) {
        Veltrio::Common::PORT_CONFIG_BAUD rate = Veltrio::Common::BAUD_9600;
        if (!Table.rateOf(command.getIntValue(), rate)) throw UnknownResponseException();
        return rate;
    }
};

// S107 static mask: up to 16 characters, written and read unchanged.
struct StaticMask {
    using ReadBase = MicrohardBaseClassGetStrValueCommand;
    using WriteBase = MicrohardBaseClassSetStrValueCommand;
    static void encode(WriteBase& command, const std::string& mask) {
        if (mask.size() > 16) throw InvalidStaticMaskException();
        command.setStrValue(mask);
    }
    static std::string decode(const ReadBase& command) { return command.getStrValue(); }
};

// L400 S131 and S132 reads: the table entry's frequency in MHz, given in Hz.
struct L400Frequency {
    using ReadBase = MicrohardBaseClassGetStrValueCommand;
    static unsigned int decode(const ReadBase& command) { return microhardL400Frequency(command.getStrValue()); }
};

} // namespace MicrohardValue
} // namespace Radio
} // namespace Veltrio
