#include "win32/net/wininet_download.h"

#include <optional>
#include <utility>

#include "retrieval/body_reader.h"
#include "win32/ansi_text.h"

namespace kavrel::win32 {
namespace {

DWORD milliseconds(std::chrono::milliseconds duration) { return static_cast<DWORD>(duration.count()); }

}  // namespace

Module1::Module1(DownloadTimeouts timeouts, std::string library)
    : library_(std::move(library)),
      timeouts_(timeouts),
      internetGetConnectedState_(library_.c_str(), "InternetGetConnectedState"),
      internetOpenA_(library_.c_str(), "InternetOpenA"),
      internetCrackUrlA_(library_.c_str(), "InternetCrackUrlA"),
      internetConnectA_(library_.c_str(), "InternetConnectA"),
      httpOpenRequestA_(library_.c_str(), "HttpOpenRequestA"),
      internetSetOptionA_(library_.c_str(), "InternetSetOptionA"),
      httpSendRequestA_(library_.c_str(), "HttpSendRequestA"),
      internetReadFile_(library_.c_str(), "InternetReadFile"),
      internetCloseHandle_(library_.c_str(), "InternetCloseHandle") {}

void Module1::HandleClose::operator()(HINTERNET handle) const noexcept {
    // Only reached with a handle, so the library is loaded; should it lack the
    // entry point, the handle is left to process exit: a destructor cannot raise.
    try {
        (*close)(handle);
    } catch (const RunTimeError&) {
    }
}

Module1::InternetHandle Module1::Handle(HINTERNET handle) {
    return InternetHandle(handle, HandleClose{&internetCloseHandle_});
}

bool Module1::IsConnected() {
    try {
        DWORD flags = 0;
        return internetGetConnectedState_(&flags, 0) != FALSE;
    } catch (const RunTimeError&) {
        // Not knowing is no reason to stay offline: the download is tried.
        return true;
    }
}

std::u16string Module1::GetPageSource(const std::u16string& url) {
    // Declared in this order so that the page's handles close before the session.
    const InternetHandle session =
        Handle(internetOpenA_(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    const OpenPage page = OpenUrl(session.get(), url);
    const std::string body = readBody(
        [&](char* buffer, std::size_t capacity) { return ReadSome(page.request.get(), buffer, capacity); });
    // Widened once for the whole body, so that a multi-byte character whose
    // bytes came in two different reads is joined again.
    return FromAnsi(body);
}

// The pieces of an http or https URL that the connection and the request take.
std::optional<Module1::UrlParts> Module1::CrackUrl(const std::string& ansiUrl) {
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;  // ask for these
    if (!internetCrackUrlA_(ansiUrl.c_str(), 0, 0, &parts)) return std::nullopt;
    return UrlParts{std::string(parts.lpszHostName, parts.dwHostNameLength), parts.nPort,
                    std::string(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::string(parts.lpszExtraInfo, parts.dwExtraInfoLength),
                    parts.nScheme == INTERNET_SCHEME_HTTPS};
}

// InternetOpenUrl's steps taken one by one: only a request handle of its own
// takes the time-outs before the request is sent (Wine ignores them on the
// session handle, and InternetOpenUrl sends before a caller could set them).
// A step that fails leaves the request handle 0, so the first read ends the body.
Module1::OpenPage Module1::OpenUrl(HINTERNET session, const std::u16string& url) {
    OpenPage page{Handle(nullptr), Handle(nullptr)};
    const auto parts = CrackUrl(Ansi(url));
    if (!parts) return page;
    page.connection = Handle(internetConnectA_(session, parts->host.c_str(), parts->port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    // The accept type InternetOpenUrl sends too; no other header is added.
    const char* acceptTypes[] = {"*/*", nullptr};
    const DWORD flags = INTERNET_FLAG_RELOAD | (parts->secure ? INTERNET_FLAG_SECURE : 0);
    page.request = Handle(httpOpenRequestA_(page.connection.get(), nullptr, parts->pathAndQuery.c_str(), nullptr,
                                            nullptr, acceptTypes, flags, 0));
    // Options set on a 0 handle would become the whole process's defaults.
    if (!page.request) return page;
    LimitWaits(page.request.get());
    if (!httpSendRequestA_(page.request.get(), nullptr, 0, nullptr, 0)) page.request.reset();
    return page;
}

void Module1::LimitWaits(HINTERNET request) {
    const std::pair<DWORD, DWORD> limits[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, milliseconds(timeouts_.connect)},
        {INTERNET_OPTION_SEND_TIMEOUT, milliseconds(timeouts_.send)},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, milliseconds(timeouts_.receive)},
    };
    for (auto [option, value] : limits) internetSetOptionA_(request, option, &value, sizeof value);
}

std::size_t Module1::ReadSome(HINTERNET request, char* buffer, std::size_t capacity) {
    // Reset before every read: a failed or timed-out read must count as 0 bytes.
    DWORD got = 0;
    internetReadFile_(request, buffer, static_cast<DWORD>(capacity), &got);
    return got;
}

}  // namespace kavrel::win32
