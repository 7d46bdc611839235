#pragma once
// The HTTP side of kavrel-rates: "/" is the home page, "/currency/convert"
// answers Kavrel's conversion query and "/healthz" tells a process supervisor
// the date of the rates in use. Connections are served within the caps of a
// GuardedServer; each answer is logged as one line.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "guarded_server.h"
#include "served_rates.h"

namespace kavrel::rates {

class RateServer {
public:
    // Without rates every address answers 503 until Publish() brings them.
    explicit RateServer(LogSink log);
    RateServer(ServedRates rates, LogSink log);
    RateServer(const RateServer&) = delete;
    RateServer& operator=(const RateServer&) = delete;

    // Opens the listening socket; port 0 takes any free port. Returns the port.
    // Raises RunTimeError when the address cannot be bound.
    int Bind(const std::string& host, int port);

    // Serves until Stop(); returns at once when Stop() came first.
    void Run();

    // Ends Run() from any thread, including before or while Run() starts.
    void Stop();

    // Puts new rates in service, from any thread. Each request takes the
    // rates in service when it starts and keeps them to its end, so no answer
    // ever mixes two tables.
    void Publish(ServedRates rates);

private:
    // Rates in service, with their home page written once.
    struct Rates {
        ServedRates served;
        std::string homePage;
    };

    void Route();
    void AnswerConvert(const Rates& rates, const httplib::Request& request, httplib::Response& response) const;
    void LogExchange(const Exchange& exchange) const;

    std::atomic<std::shared_ptr<const Rates>> rates_;
    const LogSink log_;
    GuardedServer server_;
    std::atomic<bool> runEntered_{false};
    std::atomic<bool> runFinished_{false};
    std::atomic<bool> stopRequested_{false};
};

}  // namespace kavrel::rates
