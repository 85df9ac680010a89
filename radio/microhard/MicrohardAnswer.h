#pragma once
// Pure helpers that read the values out of a Microhard radio's answers. No
// I/O: they see the bytes the engine has collected so far.

#include <string>

#include "common/CharVector.h"
#include "radio/Command.h"

namespace Veltrio {
namespace Radio {

enum class MicrohardLine {
    Complete,   // a whole first line was found
    NoText,     // nothing but line ends (or nothing) so far
    Unfinished, // the first line has started but its line end has not arrived
};

// The first line of a register answer. With echo off the radio answers
// "ATS104?\r\n" with
//     \r\n101\r\n\r\nOK\r\n
// Leading CR/LF are skipped, the line runs up to the next CR or LF and the
// line end is not part of it: here `line` becomes "101". Only the bytes before
// the first NUL count. `line` is written only for Complete.
MicrohardLine microhardFirstLine(const Veltrio::Common::CharVector& data, std::string& line);

// Where a command-mode answer ends: at its final result line, "OK" or
// "ERROR", with its line end. "\r\n101\r\n\r\nOK\r\n" is Whole; the same
// without its last line (the radio still sending) is Awaited.
AnswerEnd microhardResultEnd(const Veltrio::Common::CharVector& data);

// How many lines with text `data` holds: 2 in "\r\nFrequency:\r\n\r\nBandwidth:\r\n".
std::size_t microhardLineCount(const Veltrio::Common::CharVector& data);

// The serial number out of the "ATI7" answer line: what follows the first
// blank, or the whole line if it has none ("SN 123456" and "123456" both give
// "123456").
std::string microhardSerialNumber(const std::string& line);

// The L400 frequency out of the "ATS131?" answer line, which names the table
// entry and its frequency in MHz:
//     42 - 450.1250
// The number after the last "-" (the whole line without one) in MHz, in Hz,
// truncated toward zero: 450125000. ConversionException when there is no
// number or it does not fit 32 bits.
unsigned int microhardL400Frequency(const std::string& line);

// A decimal number read as unsigned 32-bit (leading blanks skipped, the rest
// after the digits ignored, like the signed conversion); ConversionException
// when there are no digits or the value does not fit.
unsigned int microhardUnsigned(const std::string& text);

} // namespace Radio
} // namespace Veltrio
