#pragma once
// Module1: the online check and the page download through WinINet.
// Every WinINet function is bound by name at its first call, so a machine
// without the library still starts the program.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "retrieval/rate_page_request.h"
#include "win32/system_function.h"

namespace kavrel::win32 {

// Upper bounds for one download, so that a server that accepts and then stays
// silent cannot hold the window's thread for ever.
struct DownloadTimeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds send{30000};
    std::chrono::milliseconds receive{30000};
};

inline constexpr char kWinInetLibrary[] = "wininet.dll";
inline constexpr char kUserAgent[] = "Malvorent";

class Module1 final : public RateNetwork {
public:
    explicit Module1(DownloadTimeouts timeouts = {}, std::string library = kWinInetLibrary);
    // The bound functions point into library_'s text: neither copied nor moved.
    Module1(const Module1&) = delete;
    Module1& operator=(const Module1&) = delete;

    // True when the system reports a connection, and also when it cannot be asked.
    bool IsConnected() override;
    // The body of `url`, whatever the HTTP status; empty when it cannot be opened.
    // A failed or timed-out read ends the body with what has arrived.
    std::u16string GetPageSource(const std::u16string& url) override;

private:
    using CloseFunction = SystemFunction<decltype(&::InternetCloseHandle)>;
    struct HandleClose {
        CloseFunction* close;
        void operator()(HINTERNET handle) const noexcept;
    };
    using InternetHandle = std::unique_ptr<void, HandleClose>;
    // A sent request and the connection it runs on; the request closes first.
    struct OpenPage {
        InternetHandle connection;
        InternetHandle request;
    };

    struct UrlParts {
        std::string host;
        INTERNET_PORT port;
        std::string pathAndQuery;
        bool secure;
    };

    InternetHandle Handle(HINTERNET handle);
    std::optional<UrlParts> CrackUrl(const std::string& ansiUrl);
    OpenPage OpenUrl(HINTERNET session, const std::u16string& url);
    void LimitWaits(HINTERNET request);
    std::size_t ReadSome(HINTERNET request, char* buffer, std::size_t capacity);

    std::string library_;
    DownloadTimeouts timeouts_;
    SystemFunction<decltype(&::InternetGetConnectedState)> internetGetConnectedState_;
    SystemFunction<decltype(&::InternetOpenA)> internetOpenA_;
    SystemFunction<decltype(&::InternetCrackUrlA)> internetCrackUrlA_;
    SystemFunction<decltype(&::InternetConnectA)> internetConnectA_;
    SystemFunction<decltype(&::HttpOpenRequestA)> httpOpenRequestA_;
    SystemFunction<decltype(&::InternetSetOptionA)> internetSetOptionA_;
    SystemFunction<decltype(&::HttpSendRequestA)> httpSendRequestA_;
    SystemFunction<decltype(&::InternetReadFile)> internetReadFile_;
    CloseFunction internetCloseHandle_;
};

}  // namespace kavrel::win32
