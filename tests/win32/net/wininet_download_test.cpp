// The test server needs Winsock 2, which must come before <windows.h>.
#include <winsock2.h>

#include "win32/net/wininet_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "retrieval/body_reader.h"
#include "retrieval/rate_page_request.h"
#include "scripted_server.h"
#include "win32/form/form1.h"

namespace kavrel::win32 {
namespace {

using namespace std::chrono_literals;
using layout::ControlId;
using loopback::Connection;
using loopback::Head;
using loopback::ScriptedServer;

// The program's bounds, shortened: long enough for a loaded machine.
constexpr DownloadSettings kShortBounds{1s, 1s, 1s, 3s, DownloadSettings{}.maxRedirects};
// The server's own limit for staying silent: far past the client's bounds.
constexpr auto kServerPatience = 15s;
// What a loaded machine may add to a bound.
constexpr double kSlack = 2.0;
constexpr double kOneWait = 1.0 + kSlack;                   // one time-out
constexpr double kConnectAndDeadline = 1.0 + 3.0 + kSlack;  // the most a download may take

// Counts the Internet handles a download leaves open (counting_wininet.cpp).
constexpr char kCountingWinInet[] = "counting_wininet.dll";
int OpenInternetHandles() {
    static const auto count = reinterpret_cast<int(WINAPI*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryA(kCountingWinInet), "OpenInternetHandles")));
    return count();
}

std::u16string ascii(const std::string& bytes) { return std::u16string(bytes.begin(), bytes.end()); }

// Text that repeats only every kPatternPeriod bytes, so a lost or repeated
// piece shows.
constexpr std::size_t kPatternPeriod = 36 * 36;
std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[(i * 7 + i / 36) % 36];
    return bytes;
}

loopback::Script answer(std::string head, std::vector<std::string> pieces, std::chrono::milliseconds pause = 0ms) {
    return [head, pieces, pause](Connection& connection) {
        if (!connection.Send(head)) return;
        for (const auto& piece : pieces) {
            if (!connection.Send(piece) || !connection.Pause(pause)) return;
        }
    };
}

loopback::Script redirect(const std::string& location, const std::string& body = "moved") {
    return answer(Head("302 Found", body.size(), "Location: " + location + "\r\n"), {body});
}

// A gzip stream of `inflated` zero bytes, far smaller than that: one literal,
// then copies of 258 bytes at distance 1 in a fixed-code deflate block. Its
// check sum is left 0: nothing here may inflate it.
std::string gzipBomb(std::size_t inflated) {
    std::string out = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, '\xff'};
    unsigned bits = 0, used = 0;
    const auto put = [&](unsigned value, unsigned count, bool codeOrder) {
        for (unsigned i = 0; i < count; ++i) {
            const unsigned bit = codeOrder ? (value >> (count - 1 - i)) & 1 : (value >> i) & 1;
            bits |= bit << used;
            if (++used == 8) out += static_cast<char>(bits), bits = used = 0;
        }
    };
    put(1, 1, false), put(1, 2, false);  // the last block, fixed codes
    put(0x30, 8, true);                  // literal 0
    for (std::size_t n = 1; n + 258 <= inflated; n += 258) put(0xC5, 8, true), put(0, 5, true);
    put(0, 7, true);  // end of block
    if (used) out += static_cast<char>(bits);
    const auto size = static_cast<std::uint32_t>(inflated);
    out += std::string(4, '\0');
    for (int i = 0; i < 4; ++i) out += static_cast<char>(size >> (8 * i));
    return out;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Module1Request, GetCDSendsTheRateQueryWithTheAgentAndEveryRetrievalReachesTheServer) {
    // A cacheable answer: a cached copy would repeat "rate page 1".
    int served = 0;
    ScriptedServer server([&](Connection& connection) {
        const std::string body = "rate page " + std::to_string(++served);
        connection.Send(Head("200 OK", body.size(), "Cache-Control: public, max-age=3600\r\n") + body);
    });
    Module1 module1(kShortBounds);
    const RateRequestSettings settings{server.Url(), u'.'};

    EXPECT_EQ(GetCD(1, u"ALL", u"DZD", settings, module1), u"rate page 1");
    EXPECT_EQ(GetCD(1, u"ALL", u"DZD", settings, module1), u"rate page 2");

    const auto requests = server.Stop();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.requestLine, "GET /currency/convert?amt=1&from=ALL&to=DZD&submit=Convert HTTP/1.1");
        EXPECT_EQ(request.userAgent, "Malvorent");
    }
}

// What the download returns.
enum class Returns {
    Exactly,        // the text given
    TextSoFar,      // a beginning (maybe empty) of the text given
    NoMoreThanSent  // no more characters than bytes were sent: nothing was inflated
};

struct ServerCase {
    const char* name;
    std::function<loopback::Script(std::uint16_t port)> script;  // none: nobody listens
    Returns returns;
    std::string text;
    double bound;  // seconds
    std::size_t requests = 1;
    std::u16string shown = {};  // for Exactly, when not the bytes as they are
};

std::vector<ServerCase> Servers() {
    const std::string page = "<html>the page</html>";
    const std::string announced = pattern(1000);
    const std::string endless = pattern(32 * kPatternPeriod);  // blocks continue the pattern seamlessly
    const auto once = [](loopback::Script script) { return [script](std::uint16_t) { return script; }; };
    const auto chunked = [](std::string pieces) {
        return answer(Head("200 OK", std::nullopt, "Transfer-Encoding: chunked\r\n"), {std::move(pieces)});
    };
    const std::string bomb = gzipBomb(2 * kMaxBodyBytes);
    const std::string notFound = "<html><body><h1>404 Not Found</h1>No such page.</body></html>";
    const std::vector<std::string> shortPieces{"<html>",      pattern(700), "x", pattern(1500).substr(3),
                                               pattern(2100), "</html>"};
    std::string joined;
    for (const auto& piece : shortPieces) joined += piece;
    return {
        // Servers that behave: the body arrives whole however it is sent.
        {"two full reads", once(answer(Head("200 OK", 2 * kReadChunkBytes), {pattern(2 * kReadChunkBytes)})),
         Returns::Exactly, pattern(2 * kReadChunkBytes), kOneWait},
        {"short pieces with pauses, no length", once(answer(Head("200 OK"), shortPieces, 150ms)), Returns::Exactly,
         joined, kConnectAndDeadline},
        {"empty", once(answer(Head("200 OK", 0), {})), Returns::Exactly, "", kOneWait},
        {"not found page", once(answer(Head("404 Not Found", notFound.size()), {notFound})), Returns::Exactly, notFound,
         kOneWait},
        {"bytes above 127", once(answer(Head("200 OK", 12), {"caf\xE9 \x80 \x9F <b>"})), Returns::Exactly, "", kOneWait,
         1, u"caf\u00E9 \u20AC \u0178 <b>"},
        // Hostile ones.
        {"nobody listens", nullptr, Returns::Exactly, "", kOneWait, 0},
        {"silent after accept", once([](Connection& c) { c.AwaitHangUp(kServerPatience); }), Returns::Exactly, "",
         kOneWait},
        {"silent half-way through the body",
         once(answer(Head("200 OK", 1000) + announced.substr(0, 100), {"", ""}, kServerPatience)), Returns::Exactly,
         announced.substr(0, 100), kOneWait},
        {"one-byte drip", once([announced](Connection& c) {
             if (!c.Send(Head("200 OK", announced.size()))) return;
             for (char byte : announced)
                 if (!c.Send(std::string(1, byte)) || !c.Pause(100ms)) return;
         }),
         Returns::TextSoFar, announced, kConnectAndDeadline},
        {"endless body", once([endless](Connection& c) {
             if (c.Send(Head("200 OK")))
                 while (c.Send(endless)) {
                 }
         }),
         Returns::TextSoFar, pattern(kMaxBodyBytes), kConnectAndDeadline},
        {"reset mid-body under Content-Length", once([announced](Connection& c) {
             if (c.Send(Head("200 OK", announced.size()) + announced.substr(0, 100))) c.Pause(200ms), c.Reset();
         }),
         Returns::TextSoFar, announced.substr(0, 100), kOneWait},
        {"chunk size overflow", once(chunked("FFFFFFFFFFFFFFFFFFFFFFFF\r\n" + page)), Returns::TextSoFar, page,
         kOneWait},
        {"non-hex chunk size", once(chunked("zz\r\n" + page + "\r\n0\r\n\r\n")), Returns::TextSoFar, page, kOneWait},
        {"close mid-chunk", once(chunked("100\r\n" + page)), Returns::Exactly, page, kOneWait},
        {"redirect loop", once(redirect("/loop", page)), Returns::Exactly, page, kConnectAndDeadline, 11},
        {"redirect to file:", once(redirect("file:///c:/windows/win.ini", page)), Returns::Exactly, page, kOneWait},
        {"redirect to ftp:", once(redirect("ftp://127.0.0.1/rates", page)), Returns::Exactly, page, kOneWait},
        {"redirect to another host",
         [page](std::uint16_t port) -> loopback::Script {
             return [page, port](Connection& c) {
                 if (c.RequestHead().find("/moved") == std::string::npos)
                     return answer(Head("200 OK", page.size()), {page})(c);
                 redirect("http://localhost:" + std::to_string(port) + "/page")(c);
             };
         },
         Returns::Exactly, page, kOneWait, 2},
        {"100 KB header line",
         once(answer(Head("200 OK", page.size(), "X-Long: " + std::string(100000, 'a') + "\r\n"), {page})),
         Returns::TextSoFar, page, kOneWait},
        // Which part of it counts as the body is the library's guess.
        {"non-HTTP garbage", once(answer("SSH-2.0-OpenSSH_9.2\r\n\x01\x02\x03 garbage", {})), Returns::NoMoreThanSent,
         "SSH-2.0-OpenSSH_9.2\r\n\x01\x02\x03 garbage", kOneWait},
        {"NUL bytes",
         once(answer(Head("200 OK", 7), {std::string("0.81\0"
                                                     "23",
                                                     7)})),
         Returns::Exactly, "0.8123", kOneWait},
        {"gzip bomb", once(answer(Head("200 OK", bomb.size(), "Content-Encoding: gzip\r\n"), {bomb})),
         Returns::NoMoreThanSent, bomb, kOneWait},
        {"negative Content-Length",
         once(answer("HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n\r\n", {page})), Returns::TextSoFar,
         page, kOneWait},
        {"Content-Length 5,000,000,000", once(answer(Head("200 OK", 5000000000u), {page})), Returns::TextSoFar, page,
         kOneWait},
        {"204 with a body", once(answer(Head("204 No Content", page.size()), {page})), Returns::TextSoFar, page,
         kOneWait},
        {"304 with a body", once(answer(Head("304 Not Modified", page.size()), {page})), Returns::TextSoFar, page,
         kOneWait},
    };
}

// Each server met through the real window: the download ends within its bound
// with what it states, every handle is closed, and the window is idle again.
TEST(Module1Servers, EveryDownloadEndsWithinItsBoundAndTheWindowIsIdleAgain) {
    ASSERT_EQ(GetACP(), 1252u) << "the Windows test runs expect code page 1252";
    Module1 module1(kShortBounds, kCountingWinInet);
    std::u16string url, page;
    Form1 form(
        GetModuleHandleW(nullptr), 96,
        [&](double, const std::u16string&, const std::u16string&) { return page = module1.GetPageSource(url); },
        [] { ADD_FAILURE() << "the program was ended"; });
    const auto text = [&](ControlId control) {
        wchar_t buffer[256] = {};
        GetWindowTextW(form.Control(control), buffer, 256);
        return std::wstring(buffer);
    };
    for (const auto& c : Servers()) {
        SCOPED_TRACE(c.name);
        std::optional<ScriptedServer> server;
        std::atomic<std::uint16_t> port = 0;
        if (c.script)
            server.emplace([&, script = std::optional<loopback::Script>()](Connection& connection) mutable {
                if (!script) script = c.script(port);
                (*script)(connection);
            });
        url = server ? server->Url("/moved")
                     : u"http://127.0.0.1:" + ascii(std::to_string(loopback::UnusedPort())) + u"/";
        port = static_cast<std::uint16_t>(std::stoi(std::string(url.begin() + 17, url.end())));
        const auto start = std::chrono::steady_clock::now();
        form.Command1_Click();
        const double seconds = secondsSince(start);
        const auto requests = server ? server->Stop().size() : 0;

        const std::u16string given = ascii(c.text);
        switch (c.returns) {
            case Returns::Exactly: EXPECT_EQ(page, c.shown.empty() ? given : c.shown); break;
            case Returns::TextSoFar: EXPECT_EQ(page, given.substr(0, page.size())); break;
            case Returns::NoMoreThanSent: EXPECT_LE(page.size(), c.text.size()); break;
        }
        EXPECT_LT(seconds, c.bound);
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(OpenInternetHandles(), 0);
        EXPECT_EQ(text(ControlId::lblC), L"");
        EXPECT_TRUE(IsWindowEnabled(form.Control(ControlId::Command1)));
        std::printf("[ figures  ] %-36s %5.2f s, %zu characters, %zu requests\n", c.name, seconds, page.size(),
                    requests);
        page.clear();
    }
}

// A library that cannot be loaded, and one without the WinINet entry points.
TEST(Module1Library, AMissingFunctionLeavesTheCheckOnlineAndFailsTheDownload) {
    for (const char* library : {"kavrel-absent-wininet.dll", "kernel32.dll"}) {
        SCOPED_TRACE(library);
        Module1 module1({}, library);
        EXPECT_TRUE(module1.IsConnected());
        try {
            module1.GetPageSource(u"http://127.0.0.1:1/");
            ADD_FAILURE() << "no failure";
        } catch (const RunTimeError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::MissingSystemFunction);
        }
    }
}

}  // namespace
}  // namespace kavrel::win32
