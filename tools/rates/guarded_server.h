#pragma once
// An httplib server that no client can take from the others.
//
// httplib 0.11.4 gives each connection one of a fixed set of worker threads for
// as long as its client keeps it, allows each read of a request its own
// timeout but the whole request none, reads each request of a connection
// through a stream of its own (pipelined requests are lost with it), and
// writes nothing to a client that has closed its sending side. Its hooks
// cannot change that, so this server takes each accepted socket from
// httplib's accept loop (through its task queue and process_and_close_socket)
// and serves it with httplib's own request parser and router, through a
// stream of its own:
// - a connection is admitted, on the accept thread, only while its client's
//   address and the whole service are under their caps; at a cap it takes
//   over the place of a connection that waits idle for a request, which is
//   closed; when there is none the client gets a short 503 and the connection
//   is closed;
// - connections are served in their order by a few threads, and one that has
//   waited a moment gets a thread of its own, so clients that hold threads
//   (slow or idle ones) delay others by that moment only;
// - a request's line and headers are received whole, within a time and a
//   size, before httplib reads them (beyond the sizes: a 414 or 431), and the
//   whole request within the size;
// - answers are whole pages: Range and Accept-Encoding are taken out of the
//   request;
// - one stream per connection, so pipelined requests are each answered;
// - answers go out whole even to a client that has closed its sending side,
//   and the log hears what was written.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include <httplib.h>

namespace kavrel::rates {

struct ConnectionLimits {
    std::size_t perClient = 0;  // connections from one address
    std::size_t total = 0;      // connections in all, and threads serving them
    // To wait idle for a request, and for its line and headers from their first byte.
    std::chrono::milliseconds requestTime{0};
    std::size_t requestLineBytes = 0;
    std::size_t requestBytes = 0;  // of each request: line, headers and body
    std::size_t requestsPerConnection = 0;
};

// One request and its answer, as they went over the connection.
struct Exchange {
    std::string client;         // the client's address
    std::string requestLine;    // as received, without its line end; "" when refused unread
    int status = 0;             // of the answer written
    std::size_t bodyBytes = 0;  // of the answer's body actually sent
};

class GuardedServer : public httplib::Server {
public:
    // `log` hears each answer written, from the thread that wrote it.
    GuardedServer(const ConnectionLimits& limits, std::function<void(const Exchange&)> log);
    GuardedServer(const GuardedServer&) = delete;
    GuardedServer& operator=(const GuardedServer&) = delete;
    ~GuardedServer() override;

    // httplib listens with a backlog of 5: a burst of new connections beyond
    // that has its connection requests dropped and retried a second later.
    // Listening again gives the queue the system's longest length.
    void LengthenListenQueue();

    struct Connection;

private:
    struct Connections;

    // Called by httplib's accept loop, on its thread, for each accepted socket.
    bool process_and_close_socket(socket_t socket) override;
    void Refuse(socket_t socket, const std::string& client) const;
    void Serve(Connection& connection);

    const ConnectionLimits limits_;
    const std::function<void(const Exchange&)> log_;
    std::unique_ptr<Connections> connections_;
};

}  // namespace kavrel::rates
