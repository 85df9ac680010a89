#pragma once
// Standard output (or error) that never holds the program: lines are queued
// in a fixed buffer and written only as far as the reader takes them, so a
// reader that stops (a full pipe, a stopped pager) never stops the reading of
// the receiver nor the handling of a signal.
//
// The rule for a reader that falls behind: a line that does not fit in the
// queue whole is dropped whole (never cut), and counted; the owner reports
// the count. A regular file takes every write at once and is written as it
// is. Any other output is written through a descriptor of its own, opened
// non-blocking on the same file (/proc/self/fd), so that the shell's terminal
// or pipe is not switched to non-blocking behind its back; where that cannot
// be opened (a socket), the descriptor itself is made non-blocking and put
// back as it was when the queue is destroyed.
//
// Nothing here allocates. Single-threaded.

#include <cstddef>

class OutputQueue {
public:
    // Queues for `fd` in `storage` (`capacity` bytes), which the caller keeps
    // for the queue's life.
    OutputQueue(int fd, char* storage, std::size_t capacity);
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // Queues the line (its end of line included) whole and writes what the
    // reader takes now; false, with the line counted as dropped, when it does
    // not fit.
    bool put(const char* line, std::size_t length);
    // Writes as much of the queue as the reader takes now.
    void flush();
    // Bytes waiting for the reader; poll() for POLLOUT on fd() while there are.
    std::size_t pending() const { return used; }
    int fd() const { return out; }
    // Lines dropped since the last call.
    unsigned long takeDropped();

private:
    int out;
    int restoreFlags = -1;  // flags to put back on the caller's descriptor, -1: none
    bool ownFd = false;
    bool broken = false;    // a write failed for good: nothing more is written
    char* queue;
    std::size_t capacity;
    std::size_t used = 0;
    unsigned long dropped = 0;
};
