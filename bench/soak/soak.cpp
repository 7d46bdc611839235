// kavrel_soak [retrievals]: clicks Convert on the real window again and again
// (500 times by default) against the rate service Kavrel is built for, and
// prints what the process holds after the 1st, 100th and last retrieval: GDI
// objects, windows, open file descriptors and resident memory. A leak shows as
// a figure that keeps growing. Start the rate service first.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "build_config.h"
#include "core/text.h"
#include "retrieval/rate_page_request.h"
#include "win32/form/form1.h"
#include "win32/form/message_loop.h"
#include "win32/net/wininet_download.h"

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Wine answers GetGuiResources with 0; its GDI handle table (the one the PEB
// points to, 0x10000 entries of 24 bytes, a non-zero type byte for a live
// object) counts them instead.
unsigned GdiObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); count || !UnderWine()) return count;
    using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return 0;
    const auto* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const BYTE* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    if (!table) return 0;
    constexpr std::size_t kEntries = 0x10000, kEntryBytes = 24, kTypeOffset = 14;
    unsigned live = 0;
    for (std::size_t i = 0; i < kEntries; ++i) live += table[i * kEntryBytes + kTypeOffset] != 0;
    return live;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<unsigned*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

unsigned Windows() {
    unsigned count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Under Wine the program is a Linux process and / is drive Z:. Files are
// opened by the Wine server, so /proc/self would be the server: the process
// is found by its name instead (one soak at a time).
std::wstring LinuxProcessDirectory() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1).substr(0, 15);  // the kernel keeps 15 characters
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::wstring found;
    do {
        const std::wstring directory = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
        if (FILE* comm = _wfopen((directory + L"\\comm").c_str(), L"r")) {
            char text[64] = {};
            fgets(text, sizeof text, comm);
            fclose(comm);
            const std::string read = text;
            if (std::wstring(read.begin(), read.end()) == name + L"\n") found = directory;
        }
    } while (found.empty() && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

long OpenDescriptors() {
    static const std::wstring process = UnderWine() ? LinuxProcessDirectory() : L"";
    if (process.empty()) return -1;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((process + L"\\fd\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long count = 0;
    do count += entry.cFileName[0] != L'.';
    while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

// Wine reads the process's resident set (VmRSS) for this.
double ResidentMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    const int retrievals = argc > 1 ? std::atoi(argv[1]) : 500;
    kavrel::win32::Module1 network;
    const kavrel::RateRequestSettings settings{kavrel::text::WidenAscii(KAVREL_CONFIGURED_RATE_SERVICE), u'.'};
    kavrel::win32::Form1 form(
        GetModuleHandleW(nullptr), 96,
        [&](double amount, const std::u16string& from, const std::u16string& to) {
            return kavrel::GetCD(amount, from, to, settings, network);
        },
        [] { ExitProcess(2); });
    form.Show(SW_SHOWNOACTIVATE);
    kavrel::win32::ProcessPendingMessages(form.Handle());

    std::printf("kavrel_soak: %d retrievals against %s\n", retrievals, KAVREL_CONFIGURED_RATE_SERVICE);
    std::printf("%10s %8s %12s %8s %8s %14s\n", "retrieval", "shown", "GDI objects", "windows", "fds", "resident MiB");
    int shown = 0;
    const DWORD start = GetTickCount();
    for (int i = 1; i <= retrievals; ++i) {
        SendMessageW(form.Control(kavrel::layout::ControlId::Command1), BM_CLICK, 0, 0);
        kavrel::win32::ProcessPendingMessages(form.Handle());
        wchar_t result[128] = {};
        GetWindowTextW(form.Control(kavrel::layout::ControlId::Label1), result, 128);
        shown += result[0] != L'\0';
        if (i == 1 || i == 100 || i == retrievals)
            std::printf("%10d %8d %12u %8u %8ld %14.1f\n", i, shown, GdiObjects(), Windows(), OpenDescriptors(),
                        ResidentMiB());
    }
    std::printf("kavrel_soak: %d of %d retrievals showed a result, %.1f s\n", shown, retrievals,
                (GetTickCount() - start) / 1000.0);
    return shown == retrievals ? 0 : 1;
}
