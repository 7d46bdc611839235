#pragma once
// Kavrel.exe starts the rate service that ships beside it, kavrel-rates.exe,
// when the service it asks lives on this machine: a person who unzips the
// download and starts Kavrel gets conversions with nothing else to run.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace kavrel::win32 {

struct KernelHandleClose {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using KernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, KernelHandleClose>;

// Starts kavrel-rates.exe from Kavrel.exe's folder, hidden, listening on the
// loopback address and port of `serviceBase`, inside a job object that every
// Kavrel of the session shares (named after the address and port) and holds
// while it runs: the job's last handle closing ends the service, so it never
// outlives the last Kavrel, however that ends. A service started while one
// already listens finds the port taken and ends by itself.
//
// The start runs on a worker thread of its own: under Wine creating a process
// holds its caller for about 9 ms, which the window's first messages need not
// wait for. The worker ends once the service runs, and is joined at the latest
// when the object goes.
//
// Does nothing for a service elsewhere or without kavrel-rates.exe beside
// Kavrel.exe; a launch that fails leaves nothing behind and says nothing:
// Kavrel then asks the address as it would anyway.
class RateServiceLaunch {
public:
    explicit RateServiceLaunch(std::u16string serviceBase);
    ~RateServiceLaunch();
    RateServiceLaunch(const RateServiceLaunch&) = delete;
    RateServiceLaunch& operator=(const RateServiceLaunch&) = delete;

private:
    static DWORD WINAPI Work(void* launch) noexcept;
    void Launch() noexcept;

    std::u16string serviceBase_;
    KernelHandle job_;     // Kavrel's share of the job, for its whole life; set by the worker
    KernelHandle worker_;  // waited for before the job is let go
};

}  // namespace kavrel::win32
