#pragma once
// Readers of the answers a Satel radio gives to its queries: pure functions
// over the received text, no I/O. The radio does not frame its answers, so
// each reader searches everything received since the command was written
// (an echo, a line end or noise around the answer does not matter) and says
// whether a complete answer is there yet:
//
//   true   the answer is complete; `value` and `span` (where the answer lies
//          in the text) are filled.
//   false  not (yet) an answer of this shape; `value` and `span` are left as
//          they were, and the engine offers the text again with more bytes.
//
// A few answers are refused outright by an exception (named per reader): a
// value the radio should never report, or a number that is not one.
//
// `text` is the received bytes up to the first NUL (answerText).

#include <string>

#include "common/CharVector.h"
#include "radio/Command.h"
#include "radio/satel/SatelTypes.h"

namespace Veltrio {
namespace Radio {
namespace SatelAnswers {

struct Span {
    unsigned int start = 0;
    unsigned int length = 0;
};

// The received bytes as text, up to the first NUL.
std::string answerText(const Common::CharVector& data);

// Every answer is one line: once accepted, it is Whole when it ends with a
// line end after some text ("500 mW\r\n", "OK\r\n"). Line ends alone are
// no answer yet (Awaited: "\r\n" may be followed by "ERROR\r\n"). Otherwise
// its end cannot be told (Unknown): the address answer has none, and a line
// may still be arriving.
AnswerEnd answerEnd(const Common::CharVector& data);

// TX 438.12500 MHz, RX 438.12500 MHz
// Needs "TX", then ",", then "RX", and "MHz" twice. Each number runs from the
// first to the last digit of its part; MHz are turned into Hz rounded to the
// nearest Hz. ConversionException for a number beyond 32 bits of Hz.
bool frequencies(const std::string& text, SatelFrequencies& value, Span& span);

// 438.00000 MHz  ->  438000000 Hz (rounded to the nearest Hz)
bool centerFrequency(const std::string& text, unsigned int& hz, Span& span);

// 12.5 kHz  ->  12500 Hz (rounded to the nearest Hz)
bool channelSpacing(const std::string& text, unsigned int& hz, Span& span);

// 500 mW
bool power(const std::string& text, unsigned int& mW, Span& span);

// -110 dBm
bool signalThreshold(const std::string& text, int& dBm, Span& span);

// <-118 dBm   (signal strength and noise level: a "<" or ">" before the
// number says the level lies beyond what the radio measures; the value is the
// number itself, the span starts at the marker)
bool signalLevel(const std::string& text, int& dBm, Span& span);

// 0001;0001   (TX;RX, exactly nine characters: an answer with a line end
// never completes). ConversionException when an address is not hexadecimal
// or ";" comes before a whole TX address.
bool addresses(const std::string& text, SatelAddresses& value, Span& span);

// S\r\n   (the first byte: D, R or S). InvalidOperationModeException, with the
// received text, for any other first byte.
bool operationMode(const std::string& text, OPERATION_MODE& value, Span& span);

// RADIOSIM UHF\r\n   (modem type, serial number, logic board name, part
// number): the whole received text, line end included, as soon as anything
// arrived.
bool wholeText(const std::string& text, std::string& value, Span& span);

// V07.22.2\r\n  ->  "V07.22.2": from the first "V" through the digits and
// points after it.
bool softwareVersion(const std::string& text, std::string& value, Span& span);

// HW:2.1\r\n  ->  "2.1\r\n": everything after "HW:".
bool radioBoardVersion(const std::string& text, std::string& value, Span& span);

// 19200,8,N,1\r\n   (baud, bits, parity, stop bits). Waits until four fields
// are there and the last one is not empty. InvalidSerialPortConfigException,
// with the received text, for values a Satel port cannot have;
// ConversionException for a field that holds no number.
bool serialPortConfig(const std::string& text, SatelSerialPortConfig& value, Span& span);

} // namespace SatelAnswers
} // namespace Radio
} // namespace Veltrio
