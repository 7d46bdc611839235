#pragma once
// The HTTP side of kavrel-rates: "/" is the home page and "/currency/convert"
// answers Kavrel's conversion query. Requests are served by a pool of worker
// threads; each finished request is logged as one line.
#include <atomic>
#include <functional>
#include <string>

#include <httplib.h>

#include "rate_table.h"

namespace kavrel::rates {

// httplib listens with a backlog of 5: a burst of new connections beyond that
// has its connection requests dropped and retried a second later. Linux lets a
// listening socket be given a longer queue by listening again.
class ListenQueueServer : public httplib::Server {
public:
    void lengthenListenQueue();
};

class RateServer {
public:
    using LogSink = std::function<void(const std::string& line)>;

    RateServer(RateTable table, LogSink log);
    RateServer(const RateServer&) = delete;
    RateServer& operator=(const RateServer&) = delete;

    // Opens the listening socket; port 0 takes any free port. Returns the port.
    // Raises RunTimeError when the address cannot be bound.
    int bind(const std::string& host, int port);

    // Serves until stop(); returns at once when stop() came first.
    void run();

    // Ends run() from any thread, including before or while run() starts.
    void stop();

private:
    void route();
    void answerConvert(const httplib::Request& request, httplib::Response& response) const;
    void logRequest(const httplib::Request& request, const httplib::Response& response) const;

    const RateTable table_;
    const std::string homePage_;  // the table never changes, so neither does this page
    const LogSink log_;
    ListenQueueServer server_;
    std::atomic<bool> runEntered_{false};
    std::atomic<bool> runFinished_{false};
    std::atomic<bool> stopRequested_{false};
};

}  // namespace kavrel::rates
