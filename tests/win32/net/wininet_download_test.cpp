// The test server needs Winsock 2, which must come before <windows.h>.
#include <winsock2.h>

#include "win32/net/wininet_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string_view>
#include <thread>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "retrieval/body_reader.h"
#include "retrieval/rate_page_request.h"
#include "win32/form/form1.h"

namespace kavrel::win32 {
namespace {

using namespace std::chrono_literals;
using layout::ControlId;

std::u16string ascii(const std::string& bytes) { return std::u16string(bytes.begin(), bytes.end()); }

// A small HTTP server on 127.0.0.1 inside the test process. It serves one
// connection at a time on its own thread: it reads and keeps the request head,
// then lets the test's script answer. Every wait is bounded, so a broken client
// cannot hang the test run.
namespace loopback {

constexpr auto kSlice = 50ms;

struct WinsockSession {
    WinsockSession() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup");
    }
    WinsockSession(const WinsockSession&) = delete;
    ~WinsockSession() { WSACleanup(); }
};

class Socket {
public:
    explicit Socket(SOCKET socket) : socket_(socket) {}
    Socket(const Socket&) = delete;
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_;
};

bool readable(SOCKET socket, std::chrono::milliseconds wait) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    const auto micro = std::chrono::microseconds(wait).count();
    timeval limit{static_cast<long>(micro / 1000000), static_cast<long>(micro % 1000000)};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
}

// The script's side of one accepted connection.
class Connection {
public:
    Connection(SOCKET socket, std::stop_token stop, std::uint16_t port)
        : socket_(socket), stop_(std::move(stop)), port(port) {
        const DWORD sendLimitMs = 5000;
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimitMs), sizeof sendLimitMs);
        char buffer[1024];
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
            if (!readable(socket, kSlice)) continue;
            const int got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
    }
    // False when the client has gone.
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 65536));
            const int sent = send(socket_.get(), bytes.data(), size, 0);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }
    // Stays silent until the client hangs up; false when `limit` passes first.
    bool AwaitHangUp(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            if (HungUp(std::min<std::chrono::milliseconds>(kSlice, limit))) return true;
            // A hang-up may be on its way when the test stops the server.
            if (stop_.stop_requested()) return HungUp(1s);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    // Waits without answering; false when the client hangs up (or the server stops) first.
    bool Pause(std::chrono::milliseconds duration) { return !AwaitHangUp(duration) && !stop_.stop_requested(); }
    // The connection ends with a reset instead of an orderly close.
    void Reset() {
        const linger abortive{1, 0};
        setsockopt(socket_.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    }

private:
    // The request head has been read, so anything readable now is the client's end.
    bool HungUp(std::chrono::milliseconds wait) {
        char byte;
        return readable(socket_.get(), wait) && recv(socket_.get(), &byte, 1, 0) <= 0;
    }

    Socket socket_;
    std::stop_token stop_;

public:
    const std::uint16_t port;  // the server's
    std::string head;          // the request's
};

using Script = std::function<void(Connection&)>;

class ScriptedServer {
public:
    explicit ScriptedServer(Script script) : script_(std::move(script)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
            listen(listener_.get(), 4) != 0)
            throw std::runtime_error("no listener on 127.0.0.1");
        port_ = ntohs(address.sin_port);
        thread_ = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                if (!readable(listener_.get(), kSlice)) continue;
                Connection connection(accept(listener_.get(), nullptr, nullptr), stop, port_);
                heads_.push_back(connection.head);
                script_(connection);
            }
        });
    }
    std::u16string Url(const std::string& path) const {
        return ascii("http://127.0.0.1:" + std::to_string(port_) + path);
    }
    // Stops accepting, waits for the connection in hand and returns the request heads.
    std::vector<std::string> Stop() {
        thread_.request_stop();
        thread_.join();
        return heads_;
    }

private:
    WinsockSession winsock_;
    Socket listener_{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
    std::uint16_t port_ = 0;
    Script script_;
    std::vector<std::string> heads_;
    std::jthread thread_;  // last: started once everything above exists
};

// An answer head: status line, Content-Length when known, "Connection: close".
std::string Head(std::string_view status, std::optional<std::size_t> contentLength = std::nullopt,
                 std::string_view extraHeaders = "") {
    std::string head = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/html\r\n";
    if (contentLength) head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    return head + std::string(extraHeaders) + "Connection: close\r\n\r\n";
}

}  // namespace loopback

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

loopback::Script redirect(const std::string& location, const std::string& body) {
    return answer(Head("302 Found", body.size(), "Location: " + location + "\r\n"), {body});
}

// A gzip stream of `inflated` zero bytes, far smaller than that: one literal,
// then copies of 258 bytes at distance 1 in a fixed-code deflate block. Its
// check sum is left 0: nothing here may inflate it.
std::string gzipBomb(std::size_t inflated) {
    std::string out = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, '\xff'};
    unsigned bits = 0, used = 0;
    const auto put = [&](unsigned code, unsigned count) {  // highest bit first, into bytes from their lowest bit
        for (unsigned i = count; i-- > 0;) {
            bits |= ((code >> i) & 1) << used;
            if (++used == 8) out += static_cast<char>(bits), bits = used = 0;
        }
    };
    put(0b110, 3);  // the last block, fixed codes
    put(0x30, 8);   // literal 0
    for (std::size_t n = 1; n + 258 <= inflated; n += 258) put(0xC5, 8), put(0, 5);
    put(0, 7);      // end of block
    if (used) out += static_cast<char>(bits);
    for (int i = 0; i < 8; ++i) out += static_cast<char>(i < 4 ? 0 : inflated >> (8 * (i - 4)));  // check sum, size
    return out;
}

TEST(Module1Request, GetCDSendsTheRateQueryWithTheAgentAndEveryRetrievalReachesTheServer) {
    // A cacheable answer: a cached copy would repeat "rate page 1".
    int served = 0;
    ScriptedServer server([&](Connection& connection) {
        const std::string body = "rate page " + std::to_string(++served);
        connection.Send(Head("200 OK", body.size(), "Cache-Control: public, max-age=3600\r\n") + body);
    });
    Module1 module1(kShortBounds);
    const RateRequestSettings settings{server.Url(""), u'.'};

    EXPECT_EQ(GetCD(1, u"ALL", u"DZD", settings, module1), u"rate page 1");
    EXPECT_EQ(GetCD(1, u"ALL", u"DZD", settings, module1), u"rate page 2");

    const auto heads = server.Stop();
    ASSERT_EQ(heads.size(), 2u);
    for (const auto& head : heads) {
        EXPECT_TRUE(head.starts_with("GET /currency/convert?amt=1&from=ALL&to=DZD&submit=Convert HTTP/1.1\r\n"))
            << head;
        EXPECT_NE(head.find("\r\nUser-Agent: Malvorent\r\n"), std::string::npos) << head;
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
    loopback::Script script;  // none: nobody listens (the server is gone before the download)
    Returns returns;
    std::string text;
    double bound;  // seconds
    std::size_t requests = 1;
    std::u16string shown = {};  // for Exactly, when not the bytes as they are
};

std::vector<ServerCase> Servers() {
    using enum Returns;
    const std::string page = "<html>the page</html>";
    const std::string announced = pattern(1000);
    const std::string endless = pattern(32 * kPatternPeriod);  // blocks continue the pattern seamlessly
    const auto chunked = [](std::string pieces) {
        return answer(Head("200 OK", std::nullopt, "Transfer-Encoding: chunked\r\n"), {std::move(pieces)});
    };
    const std::string bomb = gzipBomb(2 * kMaxBodyBytes);
    const std::size_t twoReads = 2 * kReadChunkBytes;
    const std::string garbage = "SSH-2.0-OpenSSH_9.2\r\n\x01\x02\x03 garbage";
    const std::string notFound = "<html><body><h1>404 Not Found</h1>No such page.</body></html>";
    const std::vector<std::string> pieces{"<html>",      pattern(700), "x", pattern(1500).substr(3),
                                          pattern(2100), "</html>"};
    std::string joined;
    for (const auto& piece : pieces) joined += piece;
    return {
        // Servers that behave: the body arrives whole however it is sent.
        {"two full reads", answer(Head("200 OK", twoReads), {pattern(twoReads)}), Exactly, pattern(twoReads), kOneWait},
        {"short pieces with pauses, no length", answer(Head("200 OK"), pieces, 150ms), Exactly, joined,
         kConnectAndDeadline},
        {"empty", answer(Head("200 OK", 0), {}), Exactly, "", kOneWait},
        {"not found page", answer(Head("404 Not Found", notFound.size()), {notFound}), Exactly, notFound, kOneWait},
        {"bytes above 127", answer(Head("200 OK", 12), {"caf\xE9 \x80 \x9F <b>"}), Exactly, "", kOneWait, 1,
         u"caf\u00E9 \u20AC \u0178 <b>"},
        // Hostile ones.
        {"nobody listens", nullptr, Exactly, "", kOneWait, 0},
        {"silent after accept", [](Connection& c) { c.AwaitHangUp(kServerPatience); }, Exactly, "", kOneWait},
        {"silent half-way through the body",
         answer(Head("200 OK", 1000) + announced.substr(0, 100), {"", ""}, kServerPatience), Exactly,
         announced.substr(0, 100), kOneWait},
        {"one-byte drip", [announced](Connection& c) {
             if (!c.Send(Head("200 OK", announced.size()))) return;
             for (char byte : announced)
                 if (!c.Send(std::string(1, byte)) || !c.Pause(100ms)) return;
         },
         TextSoFar, announced, kConnectAndDeadline},
        {"endless body",
         [endless](Connection& c) {
             for (bool open = c.Send(Head("200 OK")); open;) open = c.Send(endless);
         },
         TextSoFar, pattern(kMaxBodyBytes), kConnectAndDeadline},
        {"reset mid-body under Content-Length", [announced](Connection& c) {
             if (c.Send(Head("200 OK", announced.size()) + announced.substr(0, 100))) c.Pause(200ms), c.Reset();
         },
         TextSoFar, announced.substr(0, 100), kOneWait},
        {"chunk size overflow", chunked("FFFFFFFFFFFFFFFFFFFFFFFF\r\n" + page), TextSoFar, page, kOneWait},
        {"non-hex chunk size", chunked("zz\r\n" + page + "\r\n0\r\n\r\n"), TextSoFar, page, kOneWait},
        {"close mid-chunk", chunked("100\r\n" + page), Exactly, page, kOneWait},
        {"redirect loop", redirect("/loop", page), Exactly, page, kConnectAndDeadline, 11},
        {"redirect to file:", redirect("file:///c:/windows/win.ini", page), Exactly, page, kOneWait},
        {"redirect to ftp:", redirect("ftp://127.0.0.1/rates", page), Exactly, page, kOneWait},
        {"redirect to another host",
         [page](Connection& c) {
             if (c.head.find("/moved") == std::string::npos) return answer(Head("200 OK", page.size()), {page})(c);
             redirect("http://localhost:" + std::to_string(c.port) + "/page", "moved")(c);
         },
         Exactly, page, kOneWait, 2},
        {"100 KB header line",
         answer(Head("200 OK", page.size(), "X-Long: " + std::string(100000, 'a') + "\r\n"), {page}), TextSoFar, page,
         kOneWait},
        // Which part of it counts as the body is the library's guess.
        {"non-HTTP garbage", answer(garbage, {}), NoMoreThanSent, garbage, kOneWait},
        {"NUL bytes", answer(Head("200 OK", 7), {std::string("0.81\0" "23", 7)}), Exactly, "0.8123", kOneWait},
        {"gzip bomb", answer(Head("200 OK", bomb.size(), "Content-Encoding: gzip\r\n"), {bomb}), NoMoreThanSent, bomb,
         kOneWait},
        {"negative Content-Length",
         answer("HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n\r\n", {page}), TextSoFar, page,
         kOneWait},
        {"Content-Length 5,000,000,000", answer(Head("200 OK", 5000000000u), {page}), TextSoFar, page, kOneWait},
        {"204 with a body", answer(Head("204 No Content", page.size()), {page}), TextSoFar, page, kOneWait},
        {"304 with a body", answer(Head("304 Not Modified", page.size()), {page}), TextSoFar, page, kOneWait},
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
    for (const auto& c : Servers()) {
        SCOPED_TRACE(c.name);
        std::optional<ScriptedServer> server(std::in_place, c.script);
        url = server->Url("/moved");
        if (!c.script) server.reset();
        const auto start = std::chrono::steady_clock::now();
        form.Command1_Click();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
        EXPECT_EQ(GetWindowTextLengthW(form.Control(ControlId::lblC)), 0);
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
