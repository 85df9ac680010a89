#include "gnssmon/GpsdServer.h"

#include "gnssmon/GpsDb.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// A client socket on the server's port; `receiveBuffer` bytes of kernel
// buffer when above 0 (set before connecting, so the window is small).
int connectTo(unsigned short port, int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to));
    return fd;
}

// What has come on `fd` so far; false once the server closed it.
bool takeAvailable(int fd, std::string& into) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) into.append(chunk, static_cast<std::size_t>(n));
        else return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

std::size_t count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Runs the server until `fd` has received `text` `times` times; false when
// the server closed it first or 100 s went by.
bool pumpUntil(GpsdServer& server, int fd, std::string& received, const std::string& text, std::size_t times = 1) {
    for (int i = 0; i < 10000 && count(received, text) < times; ++i) {
        pollfd p = {server.pollFd(), POLLIN, 0};
        poll(&p, 1, 10);
        server.process();
        if (!takeAvailable(fd, received)) break;
    }
    return count(received, text) >= times;
}

// A watcher that stops reading fills its queue and is closed, counted; the
// one beside it gets every report, before and after.
TEST(GpsdServer, ClientThatDoesNotReadIsClosedAndTheOthersGetEveryReport) {
    GpsDbInit(0, false);
    GpsdServer server(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0), "/dev/ttyO1", 57600);
    const unsigned short port = server.localEndpoint().port();
    const int stalled = connectTo(port, 4096);
    const int reader = connectTo(port);
    std::string stalledGot, readerGot;
    for (const int fd : {stalled, reader}) ASSERT_EQ(10, send(fd, "?WATCH={}\n", 10, 0));
    ASSERT_TRUE(pumpUntil(server, stalled, stalledGot, "\"class\":\"WATCH\""));
    ASSERT_TRUE(pumpUntil(server, reader, readerGot, "\"class\":\"WATCH\""));
    ASSERT_EQ(2u, server.clients());

    std::size_t reports = 0;
    for (; reports < 100000 && server.overflows() == 0; ++reports) {
        server.report(0, GPS_DB_REPORT_SKY);
        server.process();
        ASSERT_TRUE(takeAvailable(reader, readerGot));
    }
    EXPECT_EQ(1u, server.overflows());
    EXPECT_EQ(1u, server.clients());
    for (int i = 0; i < 10; ++i, ++reports) server.report(0, GPS_DB_REPORT_SKY);
    const std::string sky = "{\"class\":\"SKY\"";
    EXPECT_TRUE(pumpUntil(server, reader, readerGot, sky, reports));
    EXPECT_EQ(reports, count(readerGot, sky));
    // What the stalled client's kernel held, then the end.
    while (takeAvailable(stalled, stalledGot)) poll(nullptr, 0, 10);
    EXPECT_LT(count(stalledGot, sky), reports);
    close(stalled);
    close(reader);
}

// One client past the cap is closed before it is told anything.
TEST(GpsdServer, ClientsPastTheCapAreClosed) {
    GpsdServer server(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0), "/dev/ttyO1", 57600);
    std::vector<int> fds;
    std::string got;
    for (std::size_t i = 0; i <= kGpsdClientsMax; ++i) {
        fds.push_back(connectTo(server.localEndpoint().port()));
        got.clear();
        const bool greeted = pumpUntil(server, fds.back(), got, "\"class\":\"VERSION\"");
        EXPECT_EQ(i < kGpsdClientsMax, greeted) << i;
    }
    EXPECT_EQ(kGpsdClientsMax, server.clients());
    for (const int fd : fds) close(fd);
}

// Out of descriptors, a client that cannot be accepted waits without waking
// the loop, and is taken in once another leaves.
TEST(GpsdServer, OutOfDescriptorsTheNextClientWaitsForOneToLeave) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtime probes memory through a pipe of its own: with no
    // descriptor left it takes every object it checks for a bad one.
    GTEST_SKIP() << "needs every descriptor to itself, which the sanitizer runtime is not";
#endif
    GpsdServer server(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0), "/dev/ttyO1", 57600);
    const int first = connectTo(server.localEndpoint().port());
    const int second = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    const int lowestFree = dup(0);
    close(lowestFree);
    rlimit room = before;
    room.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;  // one more descriptor: the first client's
    setrlimit(RLIMIT_NOFILE, &room);
    std::string got;
    EXPECT_TRUE(pumpUntil(server, first, got, "VERSION"));
    const sockaddr_in to = [&] {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(server.localEndpoint().port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }();
    ASSERT_EQ(0, connect(second, reinterpret_cast<const sockaddr*>(&to), sizeof to));
    pollfd ready = {server.pollFd(), POLLIN, 0};
    EXPECT_EQ(0, poll(&ready, 1, 200)) << "the waiting client keeps waking the loop";
    EXPECT_EQ(1u, server.clients());
    close(first);
    got.clear();
    EXPECT_TRUE(pumpUntil(server, second, got, "VERSION"));
    EXPECT_EQ(1u, server.clients());
    setrlimit(RLIMIT_NOFILE, &before);
    close(second);
}

} // namespace
