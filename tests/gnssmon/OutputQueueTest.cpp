#include "gnssmon/OutputQueue.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

// A pipe nobody reads: the queue takes whole lines while it has room, drops
// and counts the rest, and never waits; once the reader takes the pipe's
// contents, the queued lines follow, whole and in order.
TEST(OutputQueue, ReaderThatStopsCostsWholeLinesCountedAndNeverAWait) {
    int p[2];
    ASSERT_EQ(0, pipe2(p, O_CLOEXEC));
    fcntl(p[0], F_SETPIPE_SZ, 4096);
    const std::string line = std::string(99, 'x') + "\n";
    std::string sent;
    unsigned long dropped = 0;
    {
        char storage[1000];
        OutputQueue q(p[1], storage, sizeof storage);
        for (int i = 0; i < 200; ++i) {
            const std::string numbered = std::to_string(1000 + i) + line.substr(4);
            if (q.put(numbered.data(), numbered.size())) sent += numbered;
        }
        EXPECT_EQ(1000u, q.pending());
        dropped = q.takeDropped();
        EXPECT_EQ(0u, q.takeDropped());
        std::string got(sent.size(), '\0');
        std::size_t have = 0;
        while (have < sent.size()) {
            const ssize_t n = read(p[0], &got[have], sent.size() - have);
            ASSERT_GT(n, 0);
            have += static_cast<std::size_t>(n);
            q.flush();
        }
        EXPECT_EQ(sent, got);
        EXPECT_EQ(0u, q.pending());
    }
    EXPECT_EQ(200u, sent.size() / line.size() + dropped);
    EXPECT_GT(dropped, 100u);
    close(p[0]);
    close(p[1]);
}

} // namespace
