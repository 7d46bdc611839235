// The download through the real WinINet against a scripted HTTP server on
// 127.0.0.1 in this process. Winsock 2 must come before <windows.h>.
#include <winsock2.h>

#include "win32/net/wininet_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/run_time_error.h"
#include "core/text.h"
#include "retrieval/body_reader.h"
#include "win32/wide_text.h"

namespace kavrel::win32 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using text::WidenAscii;

// One scripted answer: `first` at once, then each piece after `pause` unless the test
// stops the server first, then a close. "{port}" stands for the server's port.
struct Answer {
    std::string first;
    std::vector<std::string> pieces = {};
    std::chrono::milliseconds pause = 0ms;
};

// Serves one connection at a time on its own thread: reads the request head, then
// the n-th connection gets the n-th answer (the last one when there are fewer).
// Every wait is bounded, so a broken client cannot hang the test run.
class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<Answer> answers) : answers_(std::move(answers)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 || listen(listener_, 4) != 0)
            throw std::runtime_error("no listener on 127.0.0.1");
        port_ = std::to_string(ntohs(address.sin_port));
        thread_ = std::jthread([this, listener = listener_](std::stop_token stop) {
            for (SOCKET client; (client = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;) Serve(client, stop);
        });
    }
    ~ScriptedServer() { Stop(); }

    std::u16string Url() const { return WidenAscii("http://127.0.0.1:" + port_ + "/moved"); }
    // Ends the answer in hand and the waiting accept, and returns how many requests came.
    std::size_t Stop() {
        thread_.request_stop();
        closesocket(std::exchange(listener_, INVALID_SOCKET));
        if (thread_.joinable()) thread_.join();
        return requests_;
    }

private:
    void Serve(SOCKET client, const std::stop_token& stop) {
        const DWORD limitMs = 5000;  // for the request head, and for a client that stops reading
        for (const int option : {SO_RCVTIMEO, SO_SNDTIMEO})
            setsockopt(client, SOL_SOCKET, option, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
        std::string head;  // read whole before the answer: unread bytes would make the close a reset
        for (char buffer[1024]; head.find("\r\n\r\n") == std::string::npos;) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        const Answer& answer = answers_[std::min(++requests_, answers_.size()) - 1];
        std::string first = answer.first;
        if (const auto at = first.find("{port}"); at != std::string::npos) first.replace(at, 6, port_);
        const auto paused = [&] {  // false once the test stops the server
            for (const auto end = Clock::now() + answer.pause; Clock::now() < end; std::this_thread::sleep_for(10ms))
                if (stop.stop_requested()) return false;
            return true;
        };
        // A blocking send returns once all is sent, or fails (a client gone, or not reading).
        const auto sent = [&](const std::string& bytes) {
            return send(client, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
        };
        bool open = sent(first);
        for (const auto& piece : answer.pieces) open = open && paused() && sent(piece);
        closesocket(client);
    }

    std::vector<Answer> answers_;
    SOCKET listener_ = INVALID_SOCKET;
    std::string port_;
    std::size_t requests_ = 0;
    std::jthread thread_;
};

// An answer head: status line, Content-Length when known, "Connection: close".
std::string Head(std::string_view status, std::optional<std::size_t> length = {}, std::string_view more = "") {
    std::string head = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/html\r\n";
    if (length) head += "Content-Length: " + std::to_string(*length) + "\r\n";
    return head + std::string(more) + "Connection: close\r\n\r\n";
}

// Text that repeats only every kPatternPeriod bytes, so a lost or repeated piece shows.
constexpr std::size_t kPatternPeriod = 36 * 36;
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[(i * 7 + i / 36) % 36];
    return bytes;
}

// What the download returns: the text given, a beginning (maybe empty) of it, or no
// more characters than it has bytes (nothing was inflated).
enum class Returns { Exactly, TextSoFar, NoMoreThanSent };

// The program's bounds, shortened; and what a download may take at most, with
// two seconds for a loaded machine: one time-out, or the connection and the deadline.
constexpr DownloadSettings kShortBounds{1s, 1s, 1s, 3s, DownloadSettings{}.maxRedirects};
constexpr double kOneWait = 1.0 + 2.0, kWhole = 1.0 + 3.0 + 2.0;
// The server's own limit for staying silent: far past the client's bounds, and finite, so
// that a client without them fails its bound instead of hanging the run.
constexpr auto kServerPatience = 15s;

struct ServerCase {
    const char* name;
    std::vector<Answer> answers;  // none: nobody listens
    Returns returns;
    std::u16string text;
    double bound;  // seconds
    std::size_t requests = 1;
};

std::vector<ServerCase> Servers() {
    using enum Returns;
    const std::string page = "<html>the page</html>", announced = Pattern(1000);
    // 1,000 letters "a" gzipped into 29 bytes: nothing here may inflate them.
    const std::string gzipped(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\x4c\x1c\x05\xa3\x60\x14\x0c\x77\x00\x00"
        "\x03\xda\x38\x9a\xe8\x03\x00\x00",
        29);
    const std::vector<std::string> pieces{"<html>",      Pattern(700), "x", Pattern(1500).substr(3),
                                          Pattern(2100), "</html>"};
    // Blocks that continue the pattern seamlessly, past the most the download keeps.
    const std::vector<std::string> endless(kMaxBodyBytes / (32 * kPatternPeriod) + 2, Pattern(32 * kPatternPeriod));
    std::vector<std::string> drops;
    for (const char byte : announced) drops.emplace_back(1, byte);
    const auto redirect = [&](const std::string& to) {
        return Answer{Head("302 Found", page.size(), "Location: " + to + "\r\n") + page};
    };
    // clang-format off
    return {
        // Servers that behave: the body arrives whole however it is sent, whatever the status.
        {"short pieces with pauses, no length", {{Head("200 OK"), pieces, 150ms}}, Exactly,
         WidenAscii(std::accumulate(pieces.begin(), pieces.end(), std::string())), kWhole},
        {"not found, bytes above 127, a NUL", {{Head("404 Not Found", 12) + std::string("caf\xE9 \x80 \x9F\0<b>", 12)}},
         Exactly, u"caf\u00E9 \u20AC \u0178<b>", kOneWait},
        // Hostile ones: every wait and the whole download are bounded.
        {"nobody listens", {}, Exactly, u"", kOneWait, 0},
        {"silent after accept", {{"", {""}, kServerPatience}}, Exactly, u"", kOneWait},
        {"silent half-way through the body", {{Head("200 OK", 1000) + announced.substr(0, 100), {""}, kServerPatience}},
         Exactly, WidenAscii(announced.substr(0, 100)), kOneWait},
        {"one-byte drip", {{Head("200 OK", announced.size()), drops, 100ms}}, TextSoFar, WidenAscii(announced), kWhole},
        {"endless body", {{Head("200 OK"), endless}}, TextSoFar, WidenAscii(Pattern(kMaxBodyBytes)), kWhole},
        // Redirects are followed by the download itself: capped, and only to http and https.
        {"redirect loop", {redirect("/loop")}, Exactly, WidenAscii(page), kWhole, 11},
        {"redirect to file:", {redirect("file:///c:/windows/win.ini")}, Exactly, WidenAscii(page), kOneWait},
        {"redirect to another host", {redirect("http://localhost:{port}/page"), {Head("200 OK", 4) + "page"}}, Exactly,
         u"page", kOneWait, 2},
        // No decoding is asked for; which part of the answer counts as the body is the library's guess.
        {"gzip", {{Head("200 OK", gzipped.size(), "Content-Encoding: gzip\r\n") + gzipped}}, NoMoreThanSent,
         WidenAscii(gzipped), kOneWait},
    };
    // clang-format on
}

// Each server: the download ends within its bound with what it states, the server is
// asked as often as stated, every Internet handle is closed (counting_wininet.cpp counts
// them), and no answer is left in the system's web cache.
TEST(Module1Servers, EveryDownloadEndsWithinItsBoundAndLeavesNothingOpenOrCached) {
    ASSERT_EQ(GetACP(), 1252u) << "the Windows test runs expect code page 1252";
    WSADATA winsock;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
    const auto openInternetHandles = reinterpret_cast<int(WINAPI*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryA("counting_wininet.dll"), "OpenInternetHandles")));
    ASSERT_NE(openInternetHandles, nullptr);
    Module1 module1(kShortBounds, "counting_wininet.dll");
    for (const auto& c : Servers()) {
        SCOPED_TRACE(c.name);
        std::optional<ScriptedServer> server(std::in_place, c.answers);
        const std::u16string url = server->Url();
        if (c.answers.empty()) server.reset();
        const auto start = Clock::now();
        const std::u16string page = module1.GetPageSource(url);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), c.bound);
        EXPECT_EQ(server ? server->Stop() : 0, c.requests);
        switch (c.returns) {
            case Returns::Exactly: EXPECT_EQ(page, c.text); break;
            case Returns::TextSoFar: EXPECT_EQ(page, c.text.substr(0, page.size())); break;
            case Returns::NoMoreThanSent: EXPECT_LE(page.size(), c.text.size()); break;
        }
        EXPECT_EQ(openInternetHandles(), 0);
        DWORD size = 0;  // asked without a buffer, an entry would answer ERROR_INSUFFICIENT_BUFFER
        EXPECT_FALSE(GetUrlCacheEntryInfoW(Wide(url).c_str(), nullptr, &size));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    }
}

// A library that cannot be loaded, and one without the WinINet entry points.
TEST(Module1Library, AMissingFunctionLeavesTheCheckOnlineAndFailsTheDownload) {
    for (const char* library : {"kavrel-absent-wininet.dll", "kernel32.dll"}) {
        Module1 module1({}, library);
        EXPECT_TRUE(module1.IsConnected()) << library;
        EXPECT_THROW(module1.GetPageSource(u"http://127.0.0.1:1/"), RunTimeError) << library;
    }
}

}  // namespace
}  // namespace kavrel::win32
