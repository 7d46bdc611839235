// kavrel_bench: Kavrel.exe against bare programs that do only the system work
// it cannot avoid. Every Kavrel figure is taken in pairs with its baseline
// (A B A B ...), so that a machine busy with other work slows both alike, and
// the ratio of the medians is printed with its bound.
//
// It measures from outside, the way that does not disturb what is measured:
// start-up ends when the process first waits for input (WaitForInputIdle, by
// then the window is shown and painted), the result line is read with
// GetWindowTextW (the system's copy: no message to Kavrel's thread), clicks are
// posted, and the result line is emptied from outside before each click.
//
//   kavrel_bench --kavrel K.exe --bare-window B.exe --bare-retrieval R.exe --url URL
//                [--marked M.exe] [--rates kavrel-rates.exe] [--pairs 30] [--clicks 200] [--arch NAME]
//
// With --marked (a Kavrel.exe built with KAVREL_BENCH_MARKS=ON) it also prints
// where the time of a start-up and of a retrieval goes, from the marks that
// program writes with OutputDebugStringW, read here as the system's debug
// string monitor. With --rates it also times the rate service's start until it
// accepts a connection, and reads its size and memory.
#define PSAPI_VERSION 1
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "window/layout.h"

namespace {

// ---- Time ------------------------------------------------------------------

double Milliseconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

double TicksToMilliseconds(long long ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

// A short wait between two looks at another process: a quarter of a
// millisecond, finer than Sleep's millisecond, without spinning a core.
void Nap() {
    using Delay = LONG(WINAPI*)(BOOLEAN, const LARGE_INTEGER*);
    static const auto delay = reinterpret_cast<Delay>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDelayExecution")));
    LARGE_INTEGER interval;
    interval.QuadPart = -2500;  // relative, in 100 ns
    if (delay) delay(FALSE, &interval);
    else Sleep(1);
}

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

template <class Condition>
void WaitUntil(Condition condition, double timeoutMs, const char* what) {
    const double end = Milliseconds() + timeoutMs;
    while (!condition()) {
        if (Milliseconds() > end) Fail(std::string("timed out waiting for ") + what);
        Nap();
    }
}

struct Figures {
    double min = 0, median = 0;
};

Figures Summary(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {samples.front(), median};
}

// ---- Processes and their windows ---------------------------------------------

class Child {
public:
    Child(const std::wstring& exe, const std::wstring& arguments, DWORD flags = 0) {
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                            &info_))
            Fail("cannot start " + std::string(exe.begin(), exe.end()));
    }
    ~Child() {
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 10000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    HANDLE Process() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    bool Ended() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }
    void WaitIdle() const {
        if (WaitForInputIdle(info_.hProcess, 60000) != 0) Fail("a program did not come up");
    }
    double WorkingSetMb() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(info_.hProcess, &counters, sizeof counters)) return 0;
        return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
    }

private:
    PROCESS_INFORMATION info_{};
};

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK TakeVisibleWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
    search.found = window;
    return FALSE;
}

HWND VisibleWindowOf(DWORD pid) {
    WindowSearch search{pid, nullptr};
    EnumWindows(TakeVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const Child& child) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = VisibleWindowOf(child.Id())) != nullptr; }, 60000, "a visible window");
    return found;
}

// A child window by its control id, the window id the program gave it.
HWND ControlOf(HWND top, kavrel::layout::ControlId id) {
    if (const HWND control = GetDlgItem(top, kavrel::layout::WindowIdOf(id))) return control;
    Fail("no control " + std::to_string(kavrel::layout::WindowIdOf(id)));
}

std::wstring StoredText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);  // another process's window: no message is sent
    return text;
}

// Paints that are due now, done now (the window's thread paints them while the caller waits).
void PaintPending(HWND top) { RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

// ---- Debug strings (the marks of a marked Kavrel.exe) --------------------------

using Marks = std::vector<std::pair<double, std::string>>;  // (ms, phase)

class DebugMonitor {
public:
    DebugMonitor() {
        bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
        dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
        view_ = mapping_ ? static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0)) : nullptr;
        if (!bufferReady_ || !dataReady_ || !view_) Fail("cannot read debug strings");
        reader_ = std::thread([this] { Read(); });
    }
    ~DebugMonitor() {
        stop_ = true;
        reader_.join();
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
        CloseHandle(dataReady_);
        CloseHandle(bufferReady_);
    }
    DebugMonitor(const DebugMonitor&) = delete;
    DebugMonitor& operator=(const DebugMonitor&) = delete;

    // The marks process `pid` has written since the last call, as (ms, phase).
    Marks Take(DWORD pid) {
        std::lock_guard lock(mutex_);
        Marks marks;
        for (auto& [from, text] : strings_) {
            if (from != pid) continue;
            std::size_t line = text.find('\n');
            while (line != std::string::npos) {
                const std::size_t next = text.find('\n', line + 1);
                const std::string entry = text.substr(line + 1, next == std::string::npos ? next : next - line - 1);
                const std::size_t blank = entry.find(' ');
                if (blank != std::string::npos)
                    marks.emplace_back(TicksToMilliseconds(std::atoll(entry.c_str())), entry.substr(blank + 1));
                line = next;
            }
        }
        strings_.clear();
        return marks;
    }

private:
    void Read() {
        while (!stop_) {
            SetEvent(bufferReady_);
            while (!stop_ && WaitForSingleObject(dataReady_, 50) != WAIT_OBJECT_0) {
            }
            if (stop_) break;
            DWORD pid = 0;
            std::memcpy(&pid, view_, sizeof pid);
            std::string text(view_ + sizeof pid, strnlen(view_ + sizeof pid, 4096 - sizeof pid));
            if (text.rfind("kavrel-marks", 0) == 0) {
                std::lock_guard lock(mutex_);
                strings_.emplace_back(pid, std::move(text));
            }
        }
    }

    HANDLE bufferReady_ = nullptr, dataReady_ = nullptr, mapping_ = nullptr;
    const char* view_ = nullptr;
    std::mutex mutex_;
    std::vector<std::pair<DWORD, std::string>> strings_;
    volatile bool stop_ = false;
    std::thread reader_;
};

// ---- What is measured ----------------------------------------------------------

struct Options {
    std::wstring kavrel, marked, bareWindow, bareRetrieval, rates;
    std::wstring url;
    int pairs = 30;  // fewer leave a median at the mercy of a busy moment on a shared machine
    int clicks = 200;
    std::string arch = "?";
    std::string only;  // one group of measures: launch, retrieval, paste, repaint, service, phases
    bool Runs(const char* group) const { return only.empty() || only == group; }
};

// 40,002 characters, 40,000 of them digits: a sign, a decimal point, digits.
std::wstring PasteText() {
    std::wstring text = L"-";
    for (int i = 0; i < 40000; ++i) {
        if (i == 20000) text += L'.';
        text += static_cast<wchar_t>(L'0' + i % 10);
    }
    return text;
}

void OfferToClipboard(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) Fail("no memory for the clipboard");
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) Fail("cannot open the clipboard");
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, memory)) Fail("cannot fill the clipboard");
    CloseClipboard();
}

// A program under measurement that stays up for a series: its window and the parts used.
struct Running {
    std::unique_ptr<Child> child;
    HWND top = nullptr;
    HWND amount = nullptr;  // the Edit
    HWND result = nullptr;  // where the answer shows
    HWND convert = nullptr;
};

Running StartKavrel(const std::wstring& exe) {
    Running running{std::make_unique<Child>(exe, L"")};
    running.child->WaitIdle();
    running.top = WaitForWindow(*running.child);
    running.amount = ControlOf(running.top, kavrel::layout::ControlId::txtAm);
    running.result = ControlOf(running.top, kavrel::layout::ControlId::Label1);
    running.convert = ControlOf(running.top, kavrel::layout::ControlId::Command1);
    return running;
}

Running StartBareWindow(const std::wstring& exe, const wchar_t* arguments) {
    Running running{std::make_unique<Child>(exe, arguments)};
    running.child->WaitIdle();
    running.top = WaitForWindow(*running.child);
    running.amount = ControlOf(running.top, kavrel::layout::ControlId::txtAm);
    return running;
}

Running StartBareRetrieval(const std::wstring& exe, const std::wstring& url) {
    Running running{std::make_unique<Child>(exe, url)};
    WaitUntil(
        [&] {
            return (running.result = FindWindowExW(HWND_MESSAGE, nullptr, L"Kavrel.Bench.BareRetrieval", nullptr)) !=
                   nullptr;
        },
        60000, "bare_retrieval's window");
    return running;
}

struct Launch {
    double ms;
    double workingSetMb;
};

Launch LaunchOnce(const std::wstring& exe, const std::wstring& arguments = L"") {
    const double start = Milliseconds();
    Child child(exe, arguments);
    child.WaitIdle();
    const double idle = Milliseconds();
    if (!VisibleWindowOf(child.Id())) Fail("the window was not visible when the program went idle");
    return {idle - start, child.WorkingSetMb()};
}

// Select all, paste, and wait until the window has painted what the paste did.
double PasteOnce(const Running& running, std::size_t expectedLength) {
    SendMessageW(running.amount, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1"));
    SendMessageW(running.amount, EM_SETSEL, 0, -1);
    PaintPending(running.top);
    const double start = Milliseconds();
    SendMessageW(running.amount, WM_PASTE, 0, 0);
    PaintPending(running.top);
    const double end = Milliseconds();
    const auto length = static_cast<std::size_t>(SendMessageW(running.amount, WM_GETTEXTLENGTH, 0, 0));
    if (length != expectedLength)
        Fail("the paste left " + std::to_string(length) + " characters, not " + std::to_string(expectedLength));
    // Back to a short text: a box holding 40,000 characters repaints slowly.
    SendMessageW(running.amount, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1"));
    PaintPending(running.top);
    return end - start;
}

void EmptyAnswer(const Running& running) {
    SendMessageW(running.result, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    if (running.top) PaintPending(running.top);
}

// Posts the request and reads the answer from outside until it shows.
double PostAndWait(const Running& running, HWND target, UINT message, WPARAM wparam) {
    const double start = Milliseconds();
    PostMessageW(target, message, wparam, 0);
    WaitUntil([&] { return !StoredText(running.result).empty(); }, 20000, "an answer");
    return Milliseconds() - start;
}

// The answer emptied from outside first, so that a new one can be seen.
double AnswerOnce(const Running& running, HWND target, UINT message, WPARAM wparam) {
    EmptyAnswer(running);
    return PostAndWait(running, target, message, wparam);
}

double RepaintOnce(const Running& running) {
    const double start = Milliseconds();
    RedrawWindow(running.top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Milliseconds() - start;
}

// ---- The rate service -------------------------------------------------------------

class Winsock {
public:
    Winsock() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) Fail("no Winsock");
    }
    ~Winsock() { WSACleanup(); }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
};

class Socket {
public:
    Socket() : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        if (socket_ == INVALID_SOCKET) Fail("no socket");
    }
    ~Socket() { closesocket(socket_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port that was free a moment ago: the system's choice for a bind to port 0.
unsigned short FreeLoopbackPort() {
    const Socket probe;
    sockaddr_in address = Loopback(0);
    int size = sizeof address;
    if (bind(probe.Get(), reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
        getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        Fail("no free port");
    return ntohs(address.sin_port);
}

bool Accepts(unsigned short port) {
    const Socket client;
    const sockaddr_in address = Loopback(port);
    return connect(client.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// From CreateProcess until a TCP connection to the service succeeds; started
// without the bank's file or the kept copy, so only its own start-up counts.
Launch ServiceStartOnce(const std::wstring& exe) {
    const unsigned short port = FreeLoopbackPort();
    const double start = Milliseconds();
    const Child child(exe, L"--no-fetch --no-cache --bind 127.0.0.1 --port " + std::to_wstring(port), CREATE_NO_WINDOW);
    WaitUntil(
        [&] {
            if (child.Ended()) Fail("kavrel-rates.exe ended at start");
            return Accepts(port);
        },
        20000, "kavrel-rates.exe to accept a connection");
    const double listening = Milliseconds();
    return {listening - start, child.WorkingSetMb()};
}

// ---- The table -------------------------------------------------------------------

struct Row {
    std::string measure;
    std::string unit;
    Figures kavrel, baseline;
    std::string baselineName;
    double bound = 0;  // 0: reported, no bound
};

void PrintTable(const std::vector<Row>& rows, const Options& options) {
    std::printf("\nKavrel against bare programs, %s, medians of interleaved pairs (%d pairs, %d clicks)\n\n",
                options.arch.c_str(), options.pairs, options.clicks);
    std::printf(
        "| measure | Kavrel min | Kavrel median | baseline | baseline min | baseline median | ratio | bound "
        "| ratio of minimums |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& row : rows) {
        if (row.kavrel.median == 0 && row.baseline.median == 0) continue;  // not measured in this run
        const double ratio = row.baseline.median > 0 ? row.kavrel.median / row.baseline.median : 0;
        std::string bound = "-";
        if (row.bound > 0) bound = (ratio <= row.bound ? "<= " : "NOT <= ") + std::to_string(row.bound).substr(0, 4);
        // On a machine busy with other work the minimums show what each program needs on its own.
        const double minRatio = row.baseline.min > 0 ? row.kavrel.min / row.baseline.min : 0;
        std::printf("| %s | %.1f %s | %.1f %s | %s | %.1f %s | %.1f %s | %.2f | %s | %.2f |\n", row.measure.c_str(),
                    row.kavrel.min, row.unit.c_str(), row.kavrel.median, row.unit.c_str(), row.baselineName.c_str(),
                    row.baseline.min, row.unit.c_str(), row.baseline.median, row.unit.c_str(), ratio, bound.c_str(),
                    minRatio);
    }
}

double FileKb(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<double>(data.nFileSizeLow) / 1024.0;
}

std::vector<Row> MeasureAll(const Options& options) {
    std::vector<Row> rows;
    const int pairs = options.pairs;

    // Start-up and memory: a fresh process each time.
    std::vector<double> kavrelLaunch, bareLaunch, staticsLaunch, kavrelMemory, bareMemory;
    for (int i = 0; i < pairs && options.Runs("launch"); ++i) {
        const auto a = LaunchOnce(options.kavrel);
        const auto b = LaunchOnce(options.bareWindow);
        staticsLaunch.push_back(LaunchOnce(options.bareWindow, L"--statics").ms);
        kavrelLaunch.push_back(a.ms), kavrelMemory.push_back(a.workingSetMb);
        bareLaunch.push_back(b.ms), bareMemory.push_back(b.workingSetMb);
    }
    rows.push_back({"launch -> window visible and painted", "ms", Summary(kavrelLaunch), Summary(bareLaunch),
                    "bare window", 1.25});
    // What Kavrel's own code costs beyond making and painting its controls.
    rows.push_back({"launch -> window visible and painted", "ms", Summary(kavrelLaunch), Summary(staticsLaunch),
                    "same layout of Static controls", 0});
    rows.push_back(
        {"working set after start-up", "MB", Summary(kavrelMemory), Summary(bareMemory), "bare window", 1.20});
    std::fprintf(stderr, "bench: start-up done\n");

    const Running kavrel = StartKavrel(options.kavrel);
    const Running bare = StartBareWindow(options.bareWindow, L"");
    const Running statics = StartBareWindow(options.bareWindow, L"--statics");
    const Running network = StartBareRetrieval(options.bareRetrieval, options.url);

    // Retrieval: warm both first (the first download loads WinINet).
    constexpr int kWarmUp = 3;
    enum Bare : WPARAM { Check = 1, Get = 2, CheckAndGet = 3, NoCacheWrite = 4 };
    for (int i = 0; i < kWarmUp && options.Runs("retrieval"); ++i) {
        AnswerOnce(kavrel, kavrel.convert, BM_CLICK, 0);
        AnswerOnce(network, network.result, WM_APP, CheckAndGet);
    }
    std::vector<double> convert, checkAndGet, checkOnly, getOnly, checkAndGetNoCache;
    for (int i = 0; i < options.clicks && options.Runs("retrieval"); ++i) {
        convert.push_back(AnswerOnce(kavrel, kavrel.convert, BM_CLICK, 0));
        checkAndGet.push_back(AnswerOnce(network, network.result, WM_APP, CheckAndGet));
        checkOnly.push_back(AnswerOnce(network, network.result, WM_APP, Check));
        getOnly.push_back(AnswerOnce(network, network.result, WM_APP, Get));
        checkAndGetNoCache.push_back(AnswerOnce(network, network.result, WM_APP, CheckAndGet | NoCacheWrite));
    }
    if (options.Runs("retrieval") && StoredText(kavrel.result).find(L" per Unit") == std::wstring::npos)
        Fail("Kavrel showed no conversion");
    rows.push_back({"Convert click -> result shown", "ms", Summary(convert), Summary(checkAndGet),
                    "bare online check + bare GET", 1.10});
    rows.push_back({"Convert click -> result shown", "ms", Summary(convert), Summary(getOnly), "bare GET", 0});
    // Kavrel writes no page to the URL cache; the bare GET above does, as a plain reload does.
    rows.push_back({"Convert click -> result shown", "ms", Summary(convert), Summary(checkAndGetNoCache),
                    "bare check + GET writing no cache", 0});
    const auto check = Summary(checkOnly);
    if (options.Runs("retrieval"))
        std::printf("bare online check alone: min %.1f ms, median %.1f ms\n", check.min, check.median);
    std::fprintf(stderr, "bench: retrieval done\n");

    std::vector<double> kavrelPaste, barePaste;
    if (options.Runs("paste")) OfferToClipboard(PasteText());
    for (int i = 0; i < pairs && options.Runs("paste"); ++i) {
        kavrelPaste.push_back(PasteOnce(kavrel, 40000));
        barePaste.push_back(PasteOnce(bare, 40002));
    }
    rows.push_back({"paste of 40,002 characters -> window answers", "ms", Summary(kavrelPaste), Summary(barePaste),
                    "bare Edit", 1.30});
    std::fprintf(stderr, "bench: paste done\n");

    std::vector<double> kavrelRepaint, bareRepaint, staticsRepaint;
    for (int i = 0; i < pairs && options.Runs("repaint"); ++i) {
        kavrelRepaint.push_back(RepaintOnce(kavrel));
        bareRepaint.push_back(RepaintOnce(bare));
        staticsRepaint.push_back(RepaintOnce(statics));
    }
    rows.push_back({"whole-window repaint", "ms", Summary(kavrelRepaint), Summary(bareRepaint), "bare window", 0});
    rows.push_back({"whole-window repaint", "ms", Summary(kavrelRepaint), Summary(staticsRepaint),
                    "same layout of Static controls", 0});
    const double size = FileKb(options.kavrel);
    rows.push_back({"Kavrel.exe size", "KB", {size, size}, {400, 400}, "400 KB", 1.0});

    if (options.rates.empty()) return rows;
    if (options.Runs("service")) {
        const Winsock winsock;
        std::vector<double> serviceStart, serviceMemory;
        for (int i = 0; i < pairs; ++i) {
            const auto started = ServiceStartOnce(options.rates);
            serviceStart.push_back(started.ms), serviceMemory.push_back(started.workingSetMb);
        }
        const auto memory = Summary(serviceMemory);
        std::printf("kavrel-rates.exe working set once it accepts connections: min %.1f MB, median %.1f MB\n",
                    memory.min, memory.median);
        rows.push_back(
            {"kavrel-rates.exe start -> accepts a connection", "ms", Summary(serviceStart), {500, 500}, "500 ms", 1.0});
        std::fprintf(stderr, "bench: service done\n");
    }
    const double ratesSize = FileKb(options.rates);
    rows.push_back({"kavrel-rates.exe size", "KB", {ratesSize, ratesSize}, {2048, 2048}, "2 MB", 1.0});
    return rows;
}

// ---- Where the time goes (marked build) ---------------------------------------

void PrintPhases(const char* title, const std::vector<Marks>& runs) {
    // Each phase's median time from the run's start; paints are summed.
    std::map<std::string, std::vector<double>> at, counts;
    std::vector<double> paintCount, paintTotal;
    for (const auto& run : runs) {
        std::map<std::string, double> first;
        std::map<std::string, double> occurrences;
        double paintStart = 0, total = 0;
        int count = 0;
        for (const auto& [ms, phase] : run) {
            if (phase == "paint+") paintStart = ms;
            else if (phase == "paint-") total += ms - paintStart, ++count;
            else if (!occurrences[phase]++) first[phase] = ms;
        }
        for (const auto& [phase, ms] : first) at[phase].push_back(ms), counts[phase].push_back(occurrences[phase]);
        paintCount.push_back(count), paintTotal.push_back(total);
    }
    std::vector<std::pair<double, std::string>> order;
    for (const auto& [phase, samples] : at) order.emplace_back(Summary(samples).median, phase);
    std::sort(order.begin(), order.end());
    std::printf("\n%s (medians of %zu runs, ms from the start; step = since the previous line)\n\n", title,
                runs.size());
    std::printf("| phase | at | step |\n|---|---|---|\n");
    double previous = 0;
    for (const auto& [ms, phase] : order) {
        const double times = Summary(counts[phase]).median;
        const std::string repeated = times > 1 ? " (first of " + std::to_string(static_cast<int>(times)) + ")" : "";
        std::printf("| %s%s | %.1f | %.1f |\n", phase.c_str(), repeated.c_str(), ms, ms - previous);
        previous = ms;
    }
    std::printf("| (paints: %.0f WM_PAINT, %.1f ms in all) | | |\n", Summary(paintCount).median,
                Summary(paintTotal).median);
}

void MeasurePhases(const Options& options) {
    DebugMonitor monitor;
    std::vector<Marks> startUps, retrievals;
    // The marks of one run, times counted from `start`, once `complete` says all have come.
    const auto collect = [&monitor](DWORD pid, double start, auto complete, const char* what) {
        Marks marks;
        WaitUntil(
            [&] {
                auto more = monitor.Take(pid);
                marks.insert(marks.end(), more.begin(), more.end());
                return complete(marks);
            },
            20000, what);
        for (auto& mark : marks) mark.first -= start;
        return marks;
    };
    const auto hasIdle = [](const Marks& marks) {
        return std::any_of(marks.begin(), marks.end(), [](const auto& mark) { return mark.second == "idle"; });
    };
    for (int i = 0; i < options.pairs; ++i) {
        const double start = Milliseconds();
        Child child(options.marked, L"");
        child.WaitIdle();
        const double idle = Milliseconds();
        auto marks = collect(child.Id(), start, hasIdle, "start-up marks");
        marks.emplace_back(idle - start, "(driver) input idle");
        startUps.push_back(std::move(marks));
    }
    const Running kavrel = StartKavrel(options.marked);
    AnswerOnce(kavrel, kavrel.convert, BM_CLICK, 0);  // WinINet loaded: what follows is warm
    const auto idleAfterResult = [](const Marks& marks) {
        const auto result =
            std::find_if(marks.begin(), marks.end(), [](const auto& mark) { return mark.second == "result text set"; });
        return std::any_of(result, marks.end(), [](const auto& mark) { return mark.second == "idle"; });
    };
    for (int i = 0; i < options.pairs; ++i) {
        EmptyAnswer(kavrel);
        Sleep(100);
        monitor.Take(kavrel.child->Id());
        const double start = Milliseconds();
        const double answered = PostAndWait(kavrel, kavrel.convert, BM_CLICK, 0) + start;
        auto marks = collect(kavrel.child->Id(), start, idleAfterResult, "retrieval marks");
        marks.emplace_back(answered - start, "(driver) result text seen");
        retrievals.push_back(std::move(marks));
    }
    PrintPhases("Start-up of the marked build", startUps);
    PrintPhases("One warm retrieval of the marked build (from the posted click)", retrievals);
}

std::optional<Options> Parse(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i], value = argv[i + 1];
        if (name == L"--kavrel") options.kavrel = value;
        else if (name == L"--marked") options.marked = value;
        else if (name == L"--bare-window") options.bareWindow = value;
        else if (name == L"--bare-retrieval") options.bareRetrieval = value;
        else if (name == L"--rates") options.rates = value;
        else if (name == L"--url") options.url = value;
        else if (name == L"--pairs") options.pairs = std::max(1, _wtoi(value.c_str()));
        else if (name == L"--clicks") options.clicks = std::max(1, _wtoi(value.c_str()));
        else if (name == L"--arch") options.arch = std::string(value.begin(), value.end());
        else if (name == L"--only") options.only = std::string(value.begin(), value.end());
        else return std::nullopt;
    }
    if (options.kavrel.empty() || options.bareWindow.empty() || options.bareRetrieval.empty() || options.url.empty())
        return std::nullopt;
    return options;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto options = Parse(argc, argv);
    if (!options) {
        std::fputs(
            "usage: kavrel_bench --kavrel K.exe --bare-window B.exe --bare-retrieval R.exe --url URL\n"
            "                    [--marked M.exe] [--rates kavrel-rates.exe] [--pairs N] [--clicks N]\n"
            "                    [--arch NAME] [--only launch|retrieval|paste|repaint|service|phases]\n",
            stderr);
        return 2;
    }
    try {
        if (options->only != "phases") PrintTable(MeasureAll(*options), *options);
        if (!options->marked.empty() && options->Runs("phases")) MeasurePhases(*options);
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kavrel_bench: %s\n", error.what());
        return 1;
    }
}
