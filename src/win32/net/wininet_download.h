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

#include "retrieval/body_reader.h"
#include "retrieval/rate_page_request.h"
#include "win32/system_function.h"

namespace kavrel::win32 {

// Bounds for one download, so that no server can hold the window's thread for
// long: the waits of each step, one deadline for the whole download (from the
// first request being sent, redirects included), and the redirects followed.
// The program uses these values; tests shorten them.
struct DownloadSettings {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds send{30000};
    std::chrono::milliseconds receive{30000};
    std::chrono::milliseconds deadline{60000};
    int maxRedirects = 10;
};

inline constexpr char kWinInetLibrary[] = "wininet.dll";
// Deliberate: the user agent the program has always sent.
inline constexpr char kUserAgent[] = "Malvorent";

class Module1 final : public RateNetwork {
public:
    explicit Module1(DownloadSettings settings = {}, std::string library = kWinInetLibrary);
    // The bound functions point into library_'s text: neither copied nor moved.
    Module1(const Module1&) = delete;
    Module1& operator=(const Module1&) = delete;

    // True when the system reports a connection, and also when it cannot be asked.
    bool IsConnected() override;
    // The body of `url`, whatever the HTTP status; empty when it cannot be opened.
    // A failed or timed-out read, or the deadline, ends the body with what has
    // arrived. NUL characters have no place in page text and are dropped.
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
    OpenPage FollowRedirects(HINTERNET session, std::string ansiUrl, const Deadline& deadline);
    OpenPage Send(HINTERNET session, const std::string& ansiUrl, const Deadline& deadline);
    std::optional<std::string> RedirectTarget(HINTERNET request, const std::string& ansiUrl);
    void LimitWaits(HINTERNET request, const Deadline& deadline);
    std::size_t ReadSome(HINTERNET request, char* buffer, std::size_t capacity, const Deadline& deadline);

    std::string library_;
    DownloadSettings settings_;
    SystemFunction<decltype(&::InternetGetConnectedState)> internetGetConnectedState_;
    SystemFunction<decltype(&::InternetOpenA)> internetOpenA_;
    SystemFunction<decltype(&::InternetCrackUrlA)> internetCrackUrlA_;
    SystemFunction<decltype(&::InternetCombineUrlA)> internetCombineUrlA_;
    SystemFunction<decltype(&::InternetConnectA)> internetConnectA_;
    SystemFunction<decltype(&::HttpOpenRequestA)> httpOpenRequestA_;
    SystemFunction<decltype(&::InternetSetOptionA)> internetSetOptionA_;
    SystemFunction<decltype(&::HttpSendRequestA)> httpSendRequestA_;
    SystemFunction<decltype(&::HttpQueryInfoA)> httpQueryInfoA_;
    SystemFunction<decltype(&::InternetQueryDataAvailable)> internetQueryDataAvailable_;
    SystemFunction<decltype(&::InternetReadFile)> internetReadFile_;
    CloseFunction internetCloseHandle_;
};

}  // namespace kavrel::win32
