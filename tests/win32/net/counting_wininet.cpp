// counting_wininet.dll: the WinINet functions the download binds, passed on to
// the real wininet.dll, keeping the set of Internet handles that are open. A
// download that leaves one open shows in OpenInternetHandles().
// Written without <wininet.h>, whose declarations these exports would clash with.
#include <windows.h>

#include <mutex>
#include <set>

namespace {

using Handle = void*;

std::mutex guard;
std::set<Handle> openHandles;

template <class Function>
Function Real(const char* name) {
    static const HMODULE wininet = LoadLibraryA("wininet.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(wininet, name)));
}

Handle Opened(Handle handle) {
    if (handle) {
        const std::lock_guard lock(guard);
        openHandles.insert(handle);
    }
    return handle;
}

}  // namespace

#define KAVREL_EXPORT extern "C" __declspec(dllexport)

KAVREL_EXPORT int WINAPI OpenInternetHandles() {
    const std::lock_guard lock(guard);
    return static_cast<int>(openHandles.size());
}

KAVREL_EXPORT BOOL WINAPI InternetCloseHandle(Handle handle) {
    {
        const std::lock_guard lock(guard);
        openHandles.erase(handle);
    }
    return Real<BOOL(WINAPI*)(Handle)>("InternetCloseHandle")(handle);
}

KAVREL_EXPORT Handle WINAPI InternetOpenA(const char* agent, DWORD access, const char* proxy, const char* bypass,
                                          DWORD flags) {
    return Opened(Real<Handle(WINAPI*)(const char*, DWORD, const char*, const char*, DWORD)>("InternetOpenA")(
        agent, access, proxy, bypass, flags));
}

KAVREL_EXPORT Handle WINAPI InternetConnectA(Handle session, const char* host, WORD port, const char* user,
                                             const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
    using Function = Handle(WINAPI*)(Handle, const char*, WORD, const char*, const char*, DWORD, DWORD, DWORD_PTR);
    return Opened(
        Real<Function>("InternetConnectA")(session, host, port, user, password, service, flags, context));
}

KAVREL_EXPORT Handle WINAPI HttpOpenRequestA(Handle connection, const char* verb, const char* object,
                                             const char* version, const char* referrer, const char** accept,
                                             DWORD flags, DWORD_PTR context) {
    using Function =
        Handle(WINAPI*)(Handle, const char*, const char*, const char*, const char*, const char**, DWORD, DWORD_PTR);
    return Opened(Real<Function>("HttpOpenRequestA")(connection, verb, object, version, referrer, accept, flags,
                                                     context));
}

// The rest pass straight through.
KAVREL_EXPORT BOOL WINAPI InternetGetConnectedState(DWORD* flags, DWORD reserved) {
    return Real<BOOL(WINAPI*)(DWORD*, DWORD)>("InternetGetConnectedState")(flags, reserved);
}

KAVREL_EXPORT BOOL WINAPI InternetCrackUrlA(const char* url, DWORD length, DWORD flags, void* parts) {
    return Real<BOOL(WINAPI*)(const char*, DWORD, DWORD, void*)>("InternetCrackUrlA")(url, length, flags, parts);
}

KAVREL_EXPORT BOOL WINAPI InternetCombineUrlA(const char* base, const char* relative, char* buffer, DWORD* length,
                                              DWORD flags) {
    using Function = BOOL(WINAPI*)(const char*, const char*, char*, DWORD*, DWORD);
    return Real<Function>("InternetCombineUrlA")(base, relative, buffer, length, flags);
}

KAVREL_EXPORT BOOL WINAPI InternetSetOptionA(Handle handle, DWORD option, void* buffer, DWORD length) {
    return Real<BOOL(WINAPI*)(Handle, DWORD, void*, DWORD)>("InternetSetOptionA")(handle, option, buffer, length);
}

KAVREL_EXPORT BOOL WINAPI HttpSendRequestA(Handle request, const char* headers, DWORD headersLength, void* optional,
                                           DWORD optionalLength) {
    using Function = BOOL(WINAPI*)(Handle, const char*, DWORD, void*, DWORD);
    return Real<Function>("HttpSendRequestA")(request, headers, headersLength, optional, optionalLength);
}

KAVREL_EXPORT BOOL WINAPI HttpQueryInfoA(Handle request, DWORD level, void* buffer, DWORD* length, DWORD* index) {
    using Function = BOOL(WINAPI*)(Handle, DWORD, void*, DWORD*, DWORD*);
    return Real<Function>("HttpQueryInfoA")(request, level, buffer, length, index);
}

KAVREL_EXPORT BOOL WINAPI InternetReadFile(Handle request, void* buffer, DWORD toRead, DWORD* read) {
    return Real<BOOL(WINAPI*)(Handle, void*, DWORD, DWORD*)>("InternetReadFile")(request, buffer, toRead, read);
}

KAVREL_EXPORT BOOL WINAPI InternetQueryDataAvailable(Handle request, DWORD* available, DWORD flags, DWORD_PTR context) {
    using Function = BOOL(WINAPI*)(Handle, DWORD*, DWORD, DWORD_PTR);
    return Real<Function>("InternetQueryDataAvailable")(request, available, flags, context);
}
