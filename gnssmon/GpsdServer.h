#pragma once
// Serves receiver 0's reports to the GNSS daemon's clients (gpspipe, cgps,
// the Python module gps, libgps) over TCP, in the protocol of
// GpsdProtocol.h.
//
// Single-threaded, in the program's own loop: every socket is non-blocking
// and sits in one epoll set, whose descriptor (pollFd) the loop waits on
// beside the receiver's line; process() then does what the sockets are ready
// for, without ever blocking. Reports reach the server through report(), from
// the GPS database's report callback.
//
// Each client has its own watch and its own queue of at most kGpsdQueueMax
// bytes: a client that does not read fast enough is closed when its queue
// would overflow (overflows() counts them), so that it never holds up the
// receiver, the other clients or standard output. At most kGpsdClientsMax
// clients at a time; one more is accepted and closed at once.

#include "gnssmon/GpsdProtocol.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <cstddef>
#include <map>
#include <memory>
#include <string>

constexpr std::size_t kGpsdQueueMax = 64 * 1024;
constexpr std::size_t kGpsdClientsMax = 128;

class GpsdServer {
public:
    // The endpoint of "[ADDRESS:]PORT" (address 127.0.0.1 when left out; an
    // IPv6 address in brackets); false when `text` is not one.
    static bool parseListen(const std::string& text, boost::asio::ip::tcp::endpoint& endpoint);

    // Listens on `endpoint`; `device` and `bps` are the receiver's port and
    // rate, as DEVICES and the reports tell them. Throws
    // boost::system::system_error when the endpoint cannot be had (a port in
    // use).
    GpsdServer(const boost::asio::ip::tcp::endpoint& endpoint, std::string device, unsigned int bps);
    ~GpsdServer();
    GpsdServer(const GpsdServer&) = delete;
    GpsdServer& operator=(const GpsdServer&) = delete;

    // Readable when a socket is ready for process().
    int pollFd() const { return epollFd; }
    void process();
    // A GPS_DB_REPORT_* of `instance` (GpsDb.h): made into its object and
    // queued to every client that watches.
    void report(int instance, int report);

    boost::asio::ip::tcp::endpoint localEndpoint() const { return acceptor.local_endpoint(); }
    std::size_t clients() const { return clientsBySocket.size(); }
    std::size_t overflows() const { return overflowCount; }

private:
    struct Client;

    void acceptClients();
    // False when the client is to be closed.
    bool readRequests(Client& client);
    bool enqueue(Client& client, const std::string& text);
    bool flush(Client& client);
    void close(int fd);
    GpsdContext context();

    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor acceptor;
    int epollFd = -1;
    std::map<int, std::unique_ptr<Client>> clientsBySocket;
    std::string device;
    unsigned int bps;
    std::string tpv, sky;  // the newest reports, without line end
    bool tpvStale = false, skyStale = false;  // newer ones are in the database
    bool acceptPaused = false;  // no descriptor for a new client: until one leaves
    std::size_t overflowCount = 0;
};
