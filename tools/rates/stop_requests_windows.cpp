// Ctrl+C, Ctrl+Break and the close of the console come to a handler that the
// system calls on a thread of its own and without any context; it signals a
// per-process named event, which one waiting thread takes.
#include <windows.h>

#include <string>
#include <thread>

#include "stop_requests.h"

namespace kavrel::rates {
namespace {

// The system ends the process once the handler returns from a close; the
// main thread's clean stop ends it before this.
constexpr DWORD kCloseGraceMs = 5000;

std::wstring StopEventName() { return L"Local\\kavrel-rates-stop-" + std::to_wstring(GetCurrentProcessId()); }

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const Handle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName().c_str()));
    if (!stop) return FALSE;
    SetEvent(stop.get());
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(kCloseGraceMs);
    return TRUE;
}

class EventWatch final : public StopRequests::Watch {
public:
    EventWatch(HANDLE stopEvent, std::function<void()> stop)
        : released_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([stopEvent, release = released_.get(), stop = std::move(stop)] {
              const HANDLE events[] = {stopEvent, release};
              if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) stop();
          }) {}
    ~EventWatch() override { SetEvent(released_.get()); }

private:
    Handle released_;
    std::jthread thread_;  // last: joined before the event it waits on is closed
};

}  // namespace

struct StopRequests::State {
    Handle stopEvent{CreateEventW(nullptr, TRUE, FALSE, StopEventName().c_str())};
};

StopRequests::StopRequests() : state_(std::make_unique<State>()) { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

StopRequests::~StopRequests() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

std::unique_ptr<StopRequests::Watch> StopRequests::StartWatch(std::function<void()> stop) const {
    return std::make_unique<EventWatch>(state_->stopEvent.get(), std::move(stop));
}

}  // namespace kavrel::rates
