#pragma once
// How an exchange with a radio waits on its serial line: handed to the command
// engine, and its read deadline to the serial device, when a flow builds them.
// Drivers and the bytes they send do not depend on it.
//
// The default is the patient exchange: a read returns on its first bytes, and
// the engine examines an answer only after a whole read deadline of silence,
// which also leaves the line quiet long enough before a Hayes escape. The
// fast exchange examines every read. Once the command's parse accepts the
// answer, it finishes as soon as the command recognises the answer's end (a
// Microhard final "OK" or "ERROR" line, the line end of a Satel answer);
// while that end is still missing it waits for it as the patient exchange
// would; and where the command has no end to recognise (the L400 dealer
// prompts, a Satel answer without a line end) once the line has been quiet
// for `quietGap`. Before "+++" it waits explicitly for `escapeGuard` of quiet
// line.

namespace Veltrio {
namespace Common {

struct ExchangeTiming {
    // One serial read waits this long for its first byte, in milliseconds.
    unsigned int readDeadline = 2500;
    // 0: the patient exchange. Otherwise the fast one, and how long the line
    // must be quiet after an answer whose end the command cannot tell (ms).
    unsigned int quietGap = 0;
    // 0: no explicit wait. Otherwise "+++" is written only once the line has
    // been quiet this long (ms).
    unsigned int escapeGuard = 0;

    static ExchangeTiming fast() {
        ExchangeTiming timing;
        timing.quietGap = 100;
        timing.escapeGuard = 1000;
        return timing;
    }
};

} // namespace Common
} // namespace Veltrio
