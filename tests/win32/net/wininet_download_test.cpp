// The test server needs Winsock 2, which must come before <windows.h>.
#include <winsock2.h>

#include "win32/net/wininet_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "retrieval/body_reader.h"
#include "retrieval/rate_page_request.h"
#include "scripted_server.h"

namespace kavrel::win32 {
namespace {

using namespace std::chrono_literals;
using loopback::Connection;
using loopback::Head;
using loopback::ScriptedServer;

// Short enough for the test run, long enough for a loaded machine.
constexpr DownloadTimeouts kShortTimeouts{2s, 2s, 2s};
// The server's own limit for staying silent: far past the client's time-out.
constexpr auto kServerPatience = 15s;

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
    Module1 module1(kShortTimeouts);
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

// Whole in two full reads, short pieces with pauses and no length, empty, and a 404 page.
TEST(Module1Body, ArrivesWholeHoweverItIsSent) {
    const std::string notFound = "<html><body><h1>404 Not Found</h1>No such page.</body></html>";
    const struct {
        const char* name;
        std::string status;
        std::vector<std::string> pieces;
        bool announceLength;  // Content-Length, or the body ends when the server closes
        std::chrono::milliseconds pause;
    } cases[] = {
        {"two full reads", "200 OK", {pattern(2 * kReadChunkBytes)}, true, 0ms},
        {"short pieces with pauses", "200 OK",
         {"<html>", pattern(700), "x", pattern(1500).substr(3), pattern(2100), "</html>"}, false, 150ms},
        {"empty", "200 OK", {}, true, 0ms},
        {"not found page", "404 Not Found", {notFound}, true, 0ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string body;
        for (const auto& piece : c.pieces) body += piece;
        ScriptedServer server(
            answer(Head(c.status, c.announceLength ? std::optional(body.size()) : std::nullopt), c.pieces, c.pause));
        Module1 module1(kShortTimeouts);
        EXPECT_EQ(module1.GetPageSource(server.Url("/page")), ascii(body));
        EXPECT_EQ(server.Stop().size(), 1u);
    }
}

TEST(Module1Failures, ARefusedConnectionGivesNoText) {
    Module1 module1(kShortTimeouts);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(module1.GetPageSource(u"http://127.0.0.1:" + ascii(std::to_string(loopback::UnusedPort())) + u"/"),
              u"");
    std::printf("[ figures  ] refused connection: %.2f s\n", secondsSince(start));
}

// The server accepts, takes the request and says nothing (or stops half-way);
// the client's receive time-out must end the wait, not the server's patience.
TEST(Module1Failures, ASilentServerEndsAfterTheTimeOutWithTheTextSoFar) {
    const std::string announced = pattern(1000);
    const std::string sent = announced.substr(0, 100);
    const struct {
        const char* name;
        std::string before;  // what the server sends before falling silent
        std::u16string expected;
    } cases[] = {
        {"silent before the answer", "", u""},
        {"silent half-way through the body", Head("200 OK", announced.size()) + sent, ascii(sent)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> clientHungUp = false;
        ScriptedServer server([&](Connection& connection) {
            if (connection.Send(c.before)) clientHungUp = connection.AwaitHangUp(kServerPatience);
        });
        Module1 module1(kShortTimeouts);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(module1.GetPageSource(server.Url("/silent")), c.expected);
        const double seconds = secondsSince(start);
        server.Stop();
        EXPECT_TRUE(clientHungUp) << "the download ended only when the server gave up";
        std::printf("[ figures  ] %s, 2 s time-outs: gave up after %.2f s\n", c.name, seconds);
    }
}

TEST(Module1Failures, AnEndlessBodyStopsAtTheCapWithTheTextSoFar) {
    const std::string block = pattern(32 * kPatternPeriod);  // blocks continue the pattern seamlessly
    ScriptedServer server([&](Connection& connection) {
        if (!connection.Send(Head("200 OK"))) return;
        while (connection.Send(block)) {
        }
    });
    Module1 module1(kShortTimeouts);
    const auto start = std::chrono::steady_clock::now();
    const std::u16string body = module1.GetPageSource(server.Url("/endless"));
    const double seconds = secondsSince(start);
    server.Stop();

    ASSERT_EQ(body.size(), kMaxBodyBytes);
    const std::u16string sent = ascii(pattern(kMaxBodyBytes));
    const auto firstDifference = std::mismatch(body.begin(), body.end(), sent.begin()).first - body.begin();
    EXPECT_EQ(static_cast<std::size_t>(firstDifference), body.size()) << "the text differs from what was sent";
    std::printf("[ figures  ] endless body: 8 MiB in %.2f s (%.1f MiB/s)\n", seconds, 8 / seconds);
}

TEST(Module1Text, BodyBytesWidenThroughTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the Windows test runs expect code page 1252";
    const std::string body = "caf\xE9 \x80 \x9F <b>ASCII</b>";
    ScriptedServer server(answer(Head("200 OK", body.size()), {body}));
    Module1 module1(kShortTimeouts);
    EXPECT_EQ(module1.GetPageSource(server.Url("/text")), u"caf\u00E9 \u20AC \u0178 <b>ASCII</b>");
    server.Stop();
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
