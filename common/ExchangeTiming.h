#pragma once
// How an exchange with a radio waits on its serial line: handed to the serial
// device and to the command engine when a flow builds them. Drivers and the
// bytes they send do not depend on it.
//
// The default is the patient exchange: a read returns on its first bytes, and
// the engine examines an answer only after a whole read deadline of silence,
// which also leaves the line quiet long enough before a Hayes escape. The
// fast exchange finishes as soon as the command's parse accepts the answer
// and the line has then been quiet for `quietGap`; before "+++" it waits
// explicitly for `escapeGuard` of quiet line. It relies on the radio sending
// each answer without a pause longer than the gap inside it.

namespace Veltrio {
namespace Common {

struct ExchangeTiming {
    // One serial read waits this long for its first byte, in milliseconds.
    unsigned int readDeadline = 2500;
    // 0: a read returns on its first bytes. Otherwise a read that brought
    // bytes goes on until the line has been quiet this long (ms).
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
