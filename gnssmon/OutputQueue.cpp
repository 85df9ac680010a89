#include "gnssmon/OutputQueue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

OutputQueue::OutputQueue(int fd, char* storage, std::size_t size) : out(fd), queue(storage), capacity(size) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return;  // never waits
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const int own = open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (own >= 0) {
        out = own;
        ownFd = true;
        return;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0 && !(flags & O_NONBLOCK) && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0) restoreFlags = flags;
}

OutputQueue::~OutputQueue() {
    flush();
    if (ownFd) close(out);
    if (restoreFlags >= 0) fcntl(out, F_SETFL, restoreFlags);
}

bool OutputQueue::put(const char* line, std::size_t length) {
    if (length > capacity - used) {
        flush();
        if (length > capacity - used) {
            ++dropped;
            return false;
        }
    }
    std::memcpy(queue + used, line, length);
    used += length;
    flush();
    return true;
}

void OutputQueue::flush() {
    std::size_t done = 0;
    while (done < used && !broken) {
        // Whole lines of at most PIPE_BUF bytes: a pipe takes such a write
        // whole or not at all, so a reader never gets part of a line that
        // the end of the run would leave unfinished.
        std::size_t chunk = used - done;
        if (chunk > PIPE_BUF) {
            const void* end = memrchr(queue + done, '\n', PIPE_BUF);
            if (end != nullptr) chunk = static_cast<std::size_t>(static_cast<const char*>(end) - (queue + done)) + 1;
        }
        const ssize_t n = write(out, queue + done, chunk);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // EAGAIN: the reader is behind, the rest waits. Anything else
            // (the reader has gone): nothing will ever be taken.
            if (!(n < 0 && errno == EAGAIN)) broken = true;
            break;
        }
    }
    if (broken) done = used;
    std::memmove(queue, queue + done, used - done);
    used -= done;
}

unsigned long OutputQueue::takeDropped() {
    const unsigned long n = dropped;
    dropped = 0;
    return n;
}
