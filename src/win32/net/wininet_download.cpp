#include "win32/net/wininet_download.h"

#include <algorithm>
#include <utility>

#include "win32/ansi_text.h"

namespace kavrel::win32 {
namespace {

DWORD Milliseconds(std::chrono::milliseconds duration) { return static_cast<DWORD>(duration.count()); }

// The answers WinINet would follow on its own.
bool IsRedirect(DWORD status) {
    constexpr DWORD kRedirects[] = {HTTP_STATUS_MOVED, HTTP_STATUS_REDIRECT, HTTP_STATUS_REDIRECT_METHOD,
                                    HTTP_STATUS_REDIRECT_KEEP_VERB, HTTP_STATUS_PERMANENT_REDIRECT};
    return std::find(std::begin(kRedirects), std::end(kRedirects), status) != std::end(kRedirects);
}

}  // namespace

Module1::Module1(DownloadSettings settings, std::string library)
    : library_(std::move(library)),
      settings_(settings),
      internetGetConnectedState_(library_.c_str(), "InternetGetConnectedState"),
      internetOpenA_(library_.c_str(), "InternetOpenA"),
      internetCrackUrlA_(library_.c_str(), "InternetCrackUrlA"),
      internetCombineUrlA_(library_.c_str(), "InternetCombineUrlA"),
      internetConnectA_(library_.c_str(), "InternetConnectA"),
      httpOpenRequestA_(library_.c_str(), "HttpOpenRequestA"),
      internetSetOptionA_(library_.c_str(), "InternetSetOptionA"),
      httpSendRequestA_(library_.c_str(), "HttpSendRequestA"),
      httpQueryInfoA_(library_.c_str(), "HttpQueryInfoA"),
      internetQueryDataAvailable_(library_.c_str(), "InternetQueryDataAvailable"),
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
    const Deadline deadline(settings_.deadline);
    const OpenPage page = FollowRedirects(session.get(), Ansi(url), deadline);
    const std::string body = ReadBody(
        [&](char* buffer, std::size_t capacity) { return ReadSome(page.request.get(), buffer, capacity, deadline); },
        [&] { return deadline.Passed(); });
    // Widened once for the whole body, so that a multi-byte character whose
    // bytes came in two different reads is joined again.
    std::u16string text = FromAnsi(body);
    // A NUL would cut the result line short where it is shown.
    std::erase(text, u'\0');
    return text;
}

// The pieces of an http or https URL that the connection and the request take;
// nothing for any other scheme.
std::optional<Module1::UrlParts> Module1::CrackUrl(const std::string& ansiUrl) {
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;  // ask for these
    if (!internetCrackUrlA_(ansiUrl.c_str(), 0, 0, &parts)) return std::nullopt;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return std::nullopt;
    return UrlParts{std::string(parts.lpszHostName, parts.dwHostNameLength), parts.nPort,
                    std::string(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::string(parts.lpszExtraInfo, parts.dwExtraInfoLength),
                    parts.nScheme == INTERNET_SCHEME_HTTPS};
}

// Redirects are followed here, not by WinINet, which would follow a server that
// sends the client back to itself for as long as it likes. Past the cap, or to
// a scheme other than http and https, the last answer is the page.
Module1::OpenPage Module1::FollowRedirects(HINTERNET session, std::string ansiUrl, const Deadline& deadline) {
    OpenPage page = Send(session, ansiUrl, deadline);
    for (int followed = 0; followed < settings_.maxRedirects && !deadline.Passed(); ++followed) {
        auto target = RedirectTarget(page.request.get(), ansiUrl);
        if (!target) break;
        ansiUrl = std::move(*target);
        page = Send(session, ansiUrl, deadline);
    }
    return page;
}

// InternetOpenUrl's steps taken one by one: only a request handle of its own
// takes the time-outs before the request is sent (Wine ignores them on the
// session handle, and InternetOpenUrl sends before a caller could set them).
// A step that fails leaves the request handle 0, so the first read ends the body.
Module1::OpenPage Module1::Send(HINTERNET session, const std::string& ansiUrl, const Deadline& deadline) {
    OpenPage page{Handle(nullptr), Handle(nullptr)};
    const auto parts = CrackUrl(ansiUrl);
    if (!parts) return page;
    page.connection = Handle(
        internetConnectA_(session, parts->host.c_str(), parts->port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    // The accept type InternetOpenUrl sends too; no other header is added.
    const char* acceptTypes[] = {"*/*", nullptr};
    // Every request reaches the service (reload), and no page is written to
    // the system's URL cache on disk: the program keeps nothing between
    // retrievals. Writing it cost about 2.5 ms of every download under Wine.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        (parts->secure ? INTERNET_FLAG_SECURE : 0);
    page.request = Handle(httpOpenRequestA_(page.connection.get(), nullptr, parts->pathAndQuery.c_str(), nullptr,
                                            nullptr, acceptTypes, flags, 0));
    // Options set on a 0 handle would become the whole process's defaults.
    if (!page.request) return page;
    LimitWaits(page.request.get(), deadline);
    if (!httpSendRequestA_(page.request.get(), nullptr, 0, nullptr, 0)) page.request.reset();
    return page;
}

// Where a redirect answer points, resolved against the address that gave it;
// nothing for any other answer, or for a target that is not http or https.
std::optional<std::string> Module1::RedirectTarget(HINTERNET request, const std::string& ansiUrl) {
    if (!request) return std::nullopt;
    DWORD status = 0, size = sizeof status;
    if (!httpQueryInfoA_(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        !IsRedirect(status))
        return std::nullopt;
    std::string location(INTERNET_MAX_URL_LENGTH, '\0');
    size = static_cast<DWORD>(location.size());
    if (!httpQueryInfoA_(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) return std::nullopt;
    location.resize(size);
    std::string target(INTERNET_MAX_URL_LENGTH, '\0');
    size = static_cast<DWORD>(target.size());
    if (!internetCombineUrlA_(ansiUrl.c_str(), location.c_str(), target.data(), &size, ICU_NO_ENCODE))
        return std::nullopt;
    target.resize(size);
    if (!CrackUrl(target)) return std::nullopt;
    return target;
}

// No single wait may outlast the download's deadline.
void Module1::LimitWaits(HINTERNET request, const Deadline& deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.Remaining());
    const auto within = [&](std::chrono::milliseconds wait) {
        return Milliseconds(std::max(std::min(wait, left), std::chrono::milliseconds(1)));
    };
    const std::pair<DWORD, DWORD> limits[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, within(settings_.connect)},
        {INTERNET_OPTION_SEND_TIMEOUT, within(settings_.send)},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, within(settings_.receive)},
    };
    for (auto [option, value] : limits) internetSetOptionA_(request, option, &value, sizeof value);
}

// A read asks only for what has arrived: a synchronous read waits until the
// whole buffer is filled, which a server sending a byte at a time could
// stretch far past the deadline.
std::size_t Module1::ReadSome(HINTERNET request, char* buffer, std::size_t capacity, const Deadline& deadline) {
    if (!request) return 0;
    LimitWaits(request, deadline);
    DWORD available = 0;
    if (!internetQueryDataAvailable_(request, &available, 0, 0) || available == 0) return 0;
    // Reset before every read: a failed or timed-out read must count as 0 bytes.
    DWORD got = 0;
    internetReadFile_(request, buffer, static_cast<DWORD>(std::min<std::size_t>(available, capacity)), &got);
    return got;
}

}  // namespace kavrel::win32
