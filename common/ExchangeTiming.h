#pragma once
// How an exchange with a radio waits on its serial line: handed to the command
// engine, and its read deadline to the serial device, when a flow builds them.
// Drivers and the bytes they send do not depend on it.
//
// Each mode is one row of exchangeModes below; the engine reads only the
// row's fields, never the mode's name.
//
// patient  A read returns on its first bytes, and the engine examines an
//          answer only after a whole read deadline of silence, which also
//          leaves the line quiet long enough before a Hayes escape.
// fast     The engine examines every read. Once the command's parse accepts
//          the answer, it finishes as soon as the command recognises the
//          answer's end (a Microhard final "OK" or "ERROR" line, the line end
//          of a Satel answer); while that end is still missing it waits for
//          it as the patient exchange would; where the command has no end to
//          recognise (an L400 dealer prompt, a Satel answer without a line
//          end) once the line has been quiet for `quietGap`; and where more
//          lines may or may not follow (an L400 table entry answered with
//          fewer lines than it has fields, ESC answered without a result
//          line) once no more came for `followGap`. A command that must find
//          the line quiet before it (the Hayes escape, Command.h) is written
//          only after `escapeGuard` of quiet line.

namespace Veltrio {
namespace Common {

enum class ExchangeMode { Patient, Fast };

struct ExchangeTiming {
    ExchangeMode mode = ExchangeMode::Patient;
    // False: an answer is examined only once a read brought nothing. True:
    // every read is examined, and the answer's end decides.
    bool examinesEveryRead = false;
    // One serial read waits this long for its first byte, in milliseconds.
    unsigned int readDeadline = 2500;
    // How long the line must be quiet after an answer whose end the command
    // cannot tell (ms).
    unsigned int quietGap = 0;
    // How long to wait for lines that may follow an answer's first ones (ms).
    unsigned int followGap = 0;
    // 0: no explicit wait. Otherwise a command that needs a quiet line before
    // it is written only once the line has been quiet this long (ms).
    unsigned int escapeGuard = 0;

    static ExchangeTiming of(ExchangeMode mode);
    static ExchangeTiming fast() { return of(ExchangeMode::Fast); }
};

// clang-format off
inline constexpr ExchangeTiming exchangeModes[] = {
    //  mode                  every read  deadline  quiet gap  follow gap  escape guard
    {ExchangeMode::Patient,   false,      2500,     0,         0,          0},
    {ExchangeMode::Fast,      true,       2500,     100,       300,        1000},
};
// clang-format on

inline ExchangeTiming ExchangeTiming::of(ExchangeMode mode) {
    for (const ExchangeTiming& row : exchangeModes)
        if (row.mode == mode) return row;
    return ExchangeTiming();
}

} // namespace Common
} // namespace Veltrio
