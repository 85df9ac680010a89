#include "gnssmon/GpsdServer.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/SkyReport.h"
#include "gnssmon/TpvReport.h"

#include <boost/asio/ip/address.hpp>
#include <boost/system/system_error.hpp>

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using boost::asio::ip::tcp;

struct GpsdServer::Client {
    explicit Client(tcp::socket s) : socket(std::move(s)) {}
    tcp::socket socket;
    std::string in;   // requests not yet whole
    std::string out;  // answers and reports not yet written
    GpsdWatch watch;
    bool waitsToWrite = false;  // in the epoll set for EPOLLOUT too
};

namespace {

// Requests are short: what one read takes, at most, per wake-up.
constexpr std::size_t kReadChunk = 4096;

// "2026-12-08T09:10:11.123Z"
std::string utcNow() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
    const std::time_t s = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&s, &utc);
    char text[40], milliseconds[8];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(milliseconds, sizeof milliseconds, ".%03dZ", static_cast<int>(ms % 1000));
    return std::string(text) + milliseconds;
}

void watchSocket(int epollFd, int op, int fd, uint32_t events) {
    epoll_event e{};
    e.events = events;
    e.data.fd = fd;
    epoll_ctl(epollFd, op, fd, &e);
}

} // namespace

bool GpsdServer::parseListen(const std::string& text, tcp::endpoint& endpoint) {
    std::string address = "127.0.0.1", port = text;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
    }
    if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const unsigned long number = std::stoul(port);
    boost::system::error_code error;
    const boost::asio::ip::address ip = boost::asio::ip::make_address(address, error);
    if (error || number == 0 || number > 65535) return false;
    endpoint = tcp::endpoint(ip, static_cast<unsigned short>(number));
    return true;
}

GpsdServer::GpsdServer(const tcp::endpoint& endpoint, std::string device, unsigned int bps)
    : acceptor(io), device(std::move(device)), bps(bps) {
    acceptor.open(endpoint.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen();
    acceptor.non_blocking(true);
    epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (epollFd < 0) throw boost::system::system_error(errno, boost::system::system_category(), "epoll");
    watchSocket(epollFd, EPOLL_CTL_ADD, acceptor.native_handle(), EPOLLIN);
}

GpsdServer::~GpsdServer() {
    clientsBySocket.clear();
    ::close(epollFd);
}

void GpsdServer::process() {
    epoll_event events[64];
    const int n = epoll_wait(epollFd, events, 64, 0);
    for (int i = 0; i < n; ++i) {
        const int fd = events[i].data.fd;
        if (fd == acceptor.native_handle()) {
            acceptClients();
            continue;
        }
        const auto found = clientsBySocket.find(fd);
        if (found == clientsBySocket.end()) continue;  // closed earlier in this pass
        Client& client = *found->second;
        bool keep = true;
        if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) keep = readRequests(client);
        if (keep && (events[i].events & EPOLLOUT)) keep = flush(client);
        if (!keep) close(fd);
    }
}

void GpsdServer::acceptClients() {
    for (;;) {
        tcp::socket socket(io);
        boost::system::error_code error;
        acceptor.accept(socket, error);
        if (error == boost::asio::error::would_block || error == boost::asio::error::try_again) return;
        if (error) {
            // Out of descriptors (or memory): the client stays waiting, and the
            // listening socket readable. Left out of the set until a client
            // leaves, so that it does not wake the loop over and over.
            watchSocket(epollFd, EPOLL_CTL_DEL, acceptor.native_handle(), 0);
            acceptPaused = true;
            return;
        }
        if (clientsBySocket.size() >= kGpsdClientsMax) continue;  // closed as it goes
        socket.non_blocking(true, error);
        if (error) continue;
        // The kernel's own buffer grows to megabytes for a client that does
        // not read: held to the size of the queue, so that such a client
        // costs little and is found out in seconds, not in hours.
        socket.set_option(boost::asio::socket_base::send_buffer_size(static_cast<int>(kGpsdQueueMax)), error);
        const int fd = socket.native_handle();
        auto client = std::make_unique<Client>(std::move(socket));
        watchSocket(epollFd, EPOLL_CTL_ADD, fd, EPOLLIN);
        Client& added = *clientsBySocket.emplace(fd, std::move(client)).first->second;
        if (!enqueue(added, GpsdVersionLine())) close(fd);
    }
}

bool GpsdServer::readRequests(Client& client) {
    char chunk[kReadChunk];
    boost::system::error_code error;
    const std::size_t n = client.socket.read_some(boost::asio::buffer(chunk), error);
    if (error == boost::asio::error::would_block || error == boost::asio::error::try_again) return true;
    if (error) return false;  // gone, or broken
    client.in.append(chunk, n);
    std::string answers;
    if (!GpsdAnswerRequests(client.in, client.watch, context(), answers)) return false;
    return answers.empty() || enqueue(client, answers);
}

bool GpsdServer::enqueue(Client& client, const std::string& text) {
    if (client.out.size() + text.size() > kGpsdQueueMax) {
        ++overflowCount;
        // Reset rather than closed: what the kernel still holds for it is
        // dropped at once instead of waiting for a reader that is not there.
        boost::system::error_code ignored;
        client.socket.set_option(tcp::socket::linger(true, 0), ignored);
        return false;
    }
    client.out += text;
    return flush(client);
}

bool GpsdServer::flush(Client& client) {
    while (!client.out.empty()) {
        boost::system::error_code error;
        const std::size_t n = client.socket.write_some(boost::asio::buffer(client.out), error);
        if (error == boost::asio::error::would_block || error == boost::asio::error::try_again) break;
        if (error) return false;
        client.out.erase(0, n);
    }
    const bool waits = !client.out.empty();
    if (waits != client.waitsToWrite) {
        watchSocket(epollFd, EPOLL_CTL_MOD, client.socket.native_handle(), waits ? EPOLLIN | EPOLLOUT : EPOLLIN);
        client.waitsToWrite = waits;
    }
    return true;
}

void GpsdServer::close(int fd) {
    // Closing the socket takes it out of the epoll set.
    clientsBySocket.erase(fd);
    if (acceptPaused) {
        watchSocket(epollFd, EPOLL_CTL_ADD, acceptor.native_handle(), EPOLLIN);
        acceptPaused = false;
    }
}

GpsdContext GpsdServer::context() {
    if (tpvStale) tpv = TpvReportLine(0, device.c_str());
    if (skyStale) sky = SkyReportLine(0, device.c_str());
    tpvStale = skyStale = false;
    return {device, bps, utcNow(), tpv, sky};
}

void GpsdServer::report(int instance, int report) {
    if (instance != 0 || (report != GPS_DB_REPORT_FIX && report != GPS_DB_REPORT_SKY)) return;
    const bool fix = report == GPS_DB_REPORT_FIX;
    const bool watched = std::any_of(clientsBySocket.begin(), clientsBySocket.end(),
                                     [](const auto& c) { return c.second->watch.streams(); });
    // Nobody to send it to: made only if a POLL asks for it.
    if (!watched) {
        (fix ? tpvStale : skyStale) = true;
        return;
    }
    std::string made = fix ? TpvReportLine(0, device.c_str()) : SkyReportLine(0, device.c_str());
    std::string& newest = fix ? tpv : sky;
    (fix ? tpvStale : skyStale) = false;
    // Another sentence of the same epoch may tell the same fix again.
    if (fix && made == newest) return;
    newest = std::move(made);
    const std::string line = newest + "\r\n";
    std::vector<int> overflowed;
    for (const auto& [fd, client] : clientsBySocket)
        if (client->watch.streams() && !enqueue(*client, line)) overflowed.push_back(fd);
    for (const int fd : overflowed) close(fd);
}
