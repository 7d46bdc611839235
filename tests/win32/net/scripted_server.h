#pragma once
// A small HTTP server on 127.0.0.1 inside the test process. It serves one
// connection at a time on its own thread: it reads the request head, records
// the request line and user agent, then lets the test's script answer.
// Every wait is bounded, so a broken client cannot hang the test run.
#include <winsock2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kavrel::loopback {

class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET socket) : socket_(socket) {}
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    ~Socket();
    SOCKET get() const { return socket_; }
    explicit operator bool() const { return socket_ != INVALID_SOCKET; }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

class WinsockSession {
public:
    WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    ~WinsockSession();
};

// The script's side of one accepted connection.
class Connection {
public:
    Connection(Socket socket, std::stop_token stop) : socket_(std::move(socket)), stop_(std::move(stop)) {}
    // False when the client has gone.
    bool Send(std::string_view bytes);
    // Waits `duration` without answering; false when the client hangs up (or the
    // server stops) first.
    bool Pause(std::chrono::milliseconds duration);
    // Stays silent until the client hangs up; false when `limit` passes first.
    bool AwaitHangUp(std::chrono::milliseconds limit);

    // Ends the connection with a reset instead of an orderly close.
    void Reset();

    std::string ReadHead(std::chrono::milliseconds limit);
    const std::string& RequestHead() const { return head_; }

private:
    bool Readable(std::chrono::milliseconds wait) const;
    bool HungUp(std::chrono::milliseconds wait);

    Socket socket_;
    std::stop_token stop_;
    std::string head_;
};

struct RecordedRequest {
    std::string requestLine;
    std::string userAgent;
};

using Script = std::function<void(Connection&)>;

class ScriptedServer {
public:
    explicit ScriptedServer(Script script);
    // "http://127.0.0.1:<port>" followed by `path`.
    std::u16string Url(std::string_view path = "") const;
    // Stops accepting, waits for the connection in hand and returns what was asked.
    std::vector<RecordedRequest> Stop();

private:
    void Serve(std::stop_token stop);

    WinsockSession winsock_;
    std::uint16_t port_ = 0;  // before listener_, which sets it
    Socket listener_;
    Script script_;
    std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::jthread thread_;  // last: started once everything above exists
};

// A port on 127.0.0.1 that was free a moment ago and has no listener.
std::uint16_t UnusedPort();

// An answer head: status line, Content-Length when known, "Connection: close".
std::string Head(std::string_view status, std::optional<std::size_t> contentLength = std::nullopt,
                 std::string_view extraHeaders = "");

}  // namespace kavrel::loopback
