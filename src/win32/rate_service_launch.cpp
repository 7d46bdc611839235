#include "win32/rate_service_launch.h"

#include <new>
#include <string>
#include <utility>

#include "core/run_time_error.h"
#include "retrieval/local_service.h"

namespace kavrel::win32 {
namespace {

constexpr wchar_t kServiceFile[] = L"kavrel-rates.exe";
constexpr DWORD kLongestPath = 32768;  // the system's limit, in characters

void Check(bool done, const char* step) {
    if (!done) throw RunTimeError(ErrorKind::SystemCallFailed, step);
}

// The folder of Kavrel.exe, with its final backslash.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        Check(length != 0, "GetModuleFileNameW");
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        Check(path.size() < kLongestPath, "GetModuleFileNameW: path too long");
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    Check(slash != std::wstring::npos, "GetModuleFileNameW: no folder");
    return path.substr(0, slash + 1);
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Created by the first Kavrel of the session, opened by the others.
// Named after the service's address and port.
KernelHandle SharedJob(const std::wstring& service) {
    const std::wstring name = L"Local\\Kavrel.RateService." + service;
    KernelHandle job(CreateJobObjectW(nullptr, name.c_str()));
    Check(job != nullptr, "CreateJobObjectW");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    Check(SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits),
          "SetInformationJobObject");
    return job;
}

// Started suspended and running only once it is in the job, so that no moment
// exists in which it could outlive Kavrel.
void StartInJob(HANDLE job, const std::wstring& program, const std::wstring& folder, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    Check(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                         CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &started),
          "CreateProcessW");
    const KernelHandle process(started.hProcess), thread(started.hThread);
    if (!AssignProcessToJobObject(job, process.get()) || ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        TerminateProcess(process.get(), 1);
        Check(false, "AssignProcessToJobObject or ResumeThread");
    }
}

}  // namespace

RateServiceLaunch::RateServiceLaunch(std::u16string serviceBase) : serviceBase_(std::move(serviceBase)) {
    // No thread, no service: Kavrel asks the address as it would without one.
    worker_.reset(CreateThread(nullptr, 0, Work, this, 0, nullptr));
}

RateServiceLaunch::~RateServiceLaunch() {
    if (worker_) WaitForSingleObject(worker_.get(), INFINITE);
}

DWORD WINAPI RateServiceLaunch::Work(void* launch) noexcept {
    static_cast<RateServiceLaunch*>(launch)->Launch();
    return 0;
}

void RateServiceLaunch::Launch() noexcept {
    try {
        const auto service = LocalServiceOf(serviceBase_);
        if (!service) return;
        const std::wstring folder = ProgramFolder();
        const std::wstring program = folder + kServiceFile;
        if (!IsFile(program)) return;
        const std::wstring address(service->bindAddress.begin(), service->bindAddress.end());
        const std::string digits = std::to_string(service->port);  // std::to_wstring would bring a wide printf
        const std::wstring port(digits.begin(), digits.end());
        // Kept even when this start fails: a service another Kavrel started then
        // lives on for this one.
        job_ = SharedJob(address + L"." + port);
        StartInJob(job_.get(), program, folder, L"--bind " + address + L" --port " + port);
    } catch (const RunTimeError&) {
        // No service started: Kavrel asks the address as it would without one.
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace kavrel::win32
