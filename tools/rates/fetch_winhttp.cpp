// The reference file fetch through WinHTTP: Windows' own TLS, proxy settings
// and certificate store, so the service needs no TLS library of its own.
#include <windows.h>
#include <winhttp.h>

#include <array>
#include <atomic>
#include <memory>
#include <stop_token>
#include <string>
#include <utility>

#include "core/run_time_error.h"
#include "reference_rates.h"
#include "reference_refresh.h"

namespace kavrel::rates {
namespace {

constexpr int kResolveMs = 10'000;
constexpr int kConnectMs = 10'000;
constexpr int kSendMs = 30'000;
constexpr int kReceiveMs = 30'000;
constexpr DWORD kReadChunk = 16 * 1024;
constexpr const wchar_t* kUserAgent = L"kavrel-rates";

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

// The request's handle, which a stop request closes from another thread:
// WinHTTP then cuts the call under way short. Closed exactly once.
class CancellableRequest {
public:
    explicit CancellableRequest(HINTERNET handle) : handle_(handle) {}
    CancellableRequest(const CancellableRequest&) = delete;
    CancellableRequest& operator=(const CancellableRequest&) = delete;
    ~CancellableRequest() { Close(); }
    HINTERNET Get() const { return handle_.load(); }
    void Close() {
        if (const HINTERNET handle = handle_.exchange(nullptr)) WinHttpCloseHandle(handle);
    }

private:
    std::atomic<HINTERNET> handle_;
};

[[noreturn]] void Fail(const std::string& url, const std::string& what) {
    throw RunTimeError(ErrorKind::InvalidArgument, url + ": " + what);
}

// What went wrong, in words, for the errors a fetch meets.
[[noreturn]] void FailWithLastError(const std::string& url) {
    const DWORD error = GetLastError();
    static constexpr std::pair<DWORD, const char*> kWords[] = {
        {ERROR_WINHTTP_CANNOT_CONNECT, "could not connect"},
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, "the host name could not be resolved"},
        {ERROR_WINHTTP_TIMEOUT, "the connection timed out"},
        {ERROR_WINHTTP_CONNECTION_ERROR, "the connection was broken"},
        {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "the answer is not HTTP"},
        {ERROR_WINHTTP_SECURE_FAILURE, "the server's certificate is not trusted"},
        {ERROR_WINHTTP_REDIRECT_FAILED, "a redirection could not be followed"},
        {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, "not an http:// or https:// address"},
        {ERROR_WINHTTP_INVALID_URL, "not an address"},
    };
    for (const auto& [known, words] : kWords)
        if (error == known) Fail(url, words);
    Fail(url, "WinHTTP error " + std::to_string(error));
}

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

struct Address {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;  // with the query
    bool secure = false;
};

Address Split(const std::string& url) {
    const auto wideUrl = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) FailWithLastError(url);
    Address address{std::wstring(parts.lpszHostName, parts.dwHostNameLength), parts.nPort,
                    std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength),
                    parts.nScheme == INTERNET_SCHEME_HTTPS};
    if (address.path.empty()) address.path = L"/";
    return address;
}

Internet Opened(HINTERNET handle, const std::string& url) {
    if (!handle) FailWithLastError(url);
    return Internet(handle);
}

DWORD StatusCode(HINTERNET request, const std::string& url) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        FailWithLastError(url);
    return status;
}

std::string Body(const CancellableRequest& request, const std::string& url) {
    std::string text;
    std::array<char, kReadChunk> chunk;
    for (DWORD read = 0;;) {
        if (!WinHttpReadData(request.Get(), chunk.data(), kReadChunk, &read)) FailWithLastError(url);
        if (read == 0) return text;
        text.append(chunk.data(), read);
        if (text.size() > kMaxReferenceFileBytes) Fail(url, "more bytes than a reference file may have");
    }
}

}  // namespace

std::string FetchReferenceFile(const std::string& url, const std::string& caFile, std::stop_token stop) {
    if (!IsFetchableUrl(url)) Fail(url, "not an http:// or https:// address");
    if (!caFile.empty()) Fail(url, "a CA file is not used on Windows: the system's certificate store is");
    const auto address = Split(url);
    const auto session = Opened(
        WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
        url);
    WinHttpSetTimeouts(session.get(), kResolveMs, kConnectMs, kSendMs, kReceiveMs);
    const auto connection = Opened(WinHttpConnect(session.get(), address.host.c_str(), address.port, 0), url);
    CancellableRequest request(
        Opened(WinHttpOpenRequest(connection.get(), L"GET", address.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES, address.secure ? WINHTTP_FLAG_SECURE : 0),
               url)
            .release());
    const std::stop_callback cancel(stop, [&request] { request.Close(); });
    if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr))
        FailWithLastError(url);
    if (const auto status = StatusCode(request.Get(), url); status != 200)
        Fail(url, "HTTP status " + std::to_string(status));
    return Body(request, url);
}

}  // namespace kavrel::rates
