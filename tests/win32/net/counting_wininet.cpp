// counting_wininet.dll: the WinINet functions the download binds, passed on to
// the real wininet.dll, keeping the set of Internet handles that are open. A
// download that leaves one open shows in OpenInternetHandles().
// Written without <wininet.h>, whose declarations these exports would clash with.
#include <windows.h>

#include <mutex>
#include <set>

namespace {

using Handle = void*;
using CStr = const char*;

std::mutex guard;
std::set<Handle> openHandles;

template <class Function>
Function Real(const char* name) {
    static const HMODULE wininet = LoadLibraryA("wininet.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(wininet, name)));
}

// Keeps an opened handle in the set, or takes a closed one out of it.
Handle Track(Handle handle, bool opened = true) {
    const std::lock_guard lock(guard);
    if (!opened) openHandles.erase(handle);
    else if (handle) openHandles.insert(handle);
    return handle;
}

}  // namespace

// An export that calls the real function of its name and hands its result to `Keep`
// (nothing: returned as it is). A closed handle leaves the set before it is closed.
#define KAVREL_FORWARD(Result, Name, Keep, Parameters, Arguments)       \
    extern "C" __declspec(dllexport) Result WINAPI Name Parameters {    \
        return Keep(Real<Result(WINAPI*) Parameters>(#Name) Arguments); \
    }

extern "C" __declspec(dllexport) int WINAPI OpenInternetHandles() {
    const std::lock_guard lock(guard);
    return static_cast<int>(openHandles.size());
}

KAVREL_FORWARD(Handle, InternetOpenA, Track, (CStr a, DWORD b, CStr c, CStr d, DWORD e), (a, b, c, d, e))
KAVREL_FORWARD(Handle, InternetConnectA, Track,
               (Handle a, CStr b, WORD c, CStr d, CStr e, DWORD f, DWORD g, DWORD_PTR h), (a, b, c, d, e, f, g, h))
KAVREL_FORWARD(Handle, HttpOpenRequestA, Track,
               (Handle a, CStr b, CStr c, CStr d, CStr e, CStr* f, DWORD g, DWORD_PTR h), (a, b, c, d, e, f, g, h))
KAVREL_FORWARD(BOOL, InternetCloseHandle, , (Handle a), (Track(a, false)))
KAVREL_FORWARD(BOOL, InternetGetConnectedState, , (DWORD * a, DWORD b), (a, b))
KAVREL_FORWARD(BOOL, InternetCrackUrlA, , (CStr a, DWORD b, DWORD c, void* d), (a, b, c, d))
KAVREL_FORWARD(BOOL, InternetCombineUrlA, , (CStr a, CStr b, char* c, DWORD* d, DWORD e), (a, b, c, d, e))
KAVREL_FORWARD(BOOL, InternetSetOptionA, , (Handle a, DWORD b, void* c, DWORD d), (a, b, c, d))
KAVREL_FORWARD(BOOL, HttpSendRequestA, , (Handle a, CStr b, DWORD c, void* d, DWORD e), (a, b, c, d, e))
KAVREL_FORWARD(BOOL, HttpQueryInfoA, , (Handle a, DWORD b, void* c, DWORD* d, DWORD* e), (a, b, c, d, e))
KAVREL_FORWARD(BOOL, InternetReadFile, , (Handle a, void* b, DWORD c, DWORD* d), (a, b, c, d))
KAVREL_FORWARD(BOOL, InternetQueryDataAvailable, , (Handle a, DWORD* b, DWORD c, DWORD_PTR d), (a, b, c, d))
