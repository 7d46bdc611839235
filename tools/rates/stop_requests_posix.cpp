// SIGINT and SIGTERM are blocked in every thread and taken synchronously by
// one waiting thread, so the program needs no signal handler and no global flag.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "stop_requests.h"

namespace kavrel::rates {
namespace {

class SignalWatch final : public StopRequests::Watch {
public:
    SignalWatch(const sigset_t& signals, std::function<void()> stop)
        : thread_([&signals, stop = std::move(stop), this] {
              int signal = 0;
              sigwait(&signals, &signal);
              if (!released_) stop();
          }) {}
    ~SignalWatch() override {
        released_ = true;
        pthread_kill(thread_.native_handle(), SIGTERM);  // wakes the wait; harmless once it ended
    }

private:
    std::atomic<bool> released_{false};
    std::jthread thread_;
};

}  // namespace

struct StopRequests::State {
    sigset_t signals{};
};

StopRequests::StopRequests() : state_(std::make_unique<State>()) {
    sigemptyset(&state_->signals);
    sigaddset(&state_->signals, SIGINT);
    sigaddset(&state_->signals, SIGTERM);
    // Before any other thread starts, so that all of them inherit the mask.
    pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr);
}

StopRequests::~StopRequests() = default;

std::unique_ptr<StopRequests::Watch> StopRequests::StartWatch(std::function<void()> stop) const {
    return std::make_unique<SignalWatch>(state_->signals, std::move(stop));
}

}  // namespace kavrel::rates
