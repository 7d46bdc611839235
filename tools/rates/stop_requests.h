#pragma once
// The system's requests that the service stop: SIGINT and SIGTERM, and on
// Windows also Ctrl+C, Ctrl+Break and the close of its console.
#include <functional>
#include <memory>

namespace kavrel::rates {

class StopRequests {
public:
    // Made first thing in main, before any other thread starts.
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    ~StopRequests();

    // Waits on a thread of its own for a stop request and then calls `stop`.
    // Destroying the watch ends the wait without calling it.
    class Watch {
    public:
        virtual ~Watch() = default;
    };
    std::unique_ptr<Watch> StartWatch(std::function<void()> stop) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kavrel::rates
