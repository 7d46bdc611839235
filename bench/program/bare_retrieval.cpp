// bare_retrieval: the system work of one retrieval and nothing else, for
// kavrel_bench to compare Kavrel's Convert with. A message-only window takes a
// posted request, runs it and writes "done" as its window text, where the
// driver reads it from outside:
//   WM_APP with wparam 1: the online check (InternetGetConnectedState)
//                      2: one GET of the URL (fresh session, INTERNET_FLAG_RELOAD, 2048-byte reads)
//                      3: the check, then the GET, as Kavrel does them
//                      4, added to 2 or 3: the GET writes nothing to the URL cache
//                               (INTERNET_FLAG_NO_CACHE_WRITE), as Kavrel's download
//   bare_retrieval.exe URL
#include <windows.h>
#include <wininet.h>

#include <string>

namespace {

constexpr wchar_t kClass[] = L"Kavrel.Bench.BareRetrieval";
constexpr DWORD kReadSize = 2048;
enum Request : WPARAM { Check = 1, Get = 2, CheckAndGet = 3, NoCacheWrite = 4 };

bool OnlineCheck() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

std::size_t GetPage(const std::string& url, DWORD flags) {
    std::size_t size = 0;
    const HINTERNET session = InternetOpenA("Malvorent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return 0;
    if (const HINTERNET page = InternetOpenUrlA(session, url.c_str(), nullptr, 0, flags, 0)) {
        char buffer[kReadSize];
        DWORD got = 0;
        while (InternetReadFile(page, buffer, kReadSize, &got) && got > 0) size += got;
        InternetCloseHandle(page);
    }
    InternetCloseHandle(session);
    return size;
}

// The window keeps the URL (WinMain's string) in its user data.
LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    if (message != WM_APP) return DefWindowProcW(window, message, wparam, lparam);
    const auto& url = *reinterpret_cast<const std::string*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    bool online = true;
    std::size_t bytes = 0;
    if (wparam & Check) online = OnlineCheck();
    const DWORD flags = INTERNET_FLAG_RELOAD | ((wparam & NoCacheWrite) ? INTERNET_FLAG_NO_CACHE_WRITE : 0);
    if ((wparam & Get) && online) bytes = GetPage(url, flags);
    const std::wstring answer = L"done " + std::to_wstring(bytes);
    SetWindowTextW(window, answer.c_str());
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const std::string url = commandLine;
    WNDCLASSW description{};
    description.lpfnWndProc = Procedure;
    description.hInstance = instance;
    description.lpszClassName = kClass;
    if (!RegisterClassW(&description)) return 1;
    if (!CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                         const_cast<std::string*>(&url)))
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
