#include "scripted_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <system_error>
#include <utility>

namespace kavrel::loopback {
namespace {

constexpr auto kSlice = std::chrono::milliseconds(50);
constexpr DWORD kSendLimitMs = 5000;

[[noreturn]] void failSocketCall(const char* what) {
    throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

Socket listenOnLoopback(std::uint16_t& port) {
    Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener) failSocketCall("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) failSocketCall("bind");
    int size = sizeof address;
    if (getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) failSocketCall("getsockname");
    port = ntohs(address.sin_port);
    return listener;
}

bool readable(SOCKET socket, std::chrono::milliseconds wait) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    timeval limit{static_cast<long>(micro / 1000000), static_cast<long>(micro % 1000000)};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
}

std::string headerValue(std::string_view head, std::string_view name) {
    const auto matches = [&](std::string_view line) {
        return line.size() > name.size() && line[name.size()] == ':' &&
               std::equal(name.begin(), name.end(), line.begin(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    };
    for (std::size_t start = 0; start < head.size();) {
        const std::size_t end = std::min(head.find("\r\n", start), head.size());
        const std::string_view line = head.substr(start, end - start);
        if (matches(line)) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            return std::string(value);
        }
        start = end + 2;
    }
    return {};
}

}  // namespace

Socket::Socket(Socket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    std::swap(socket_, other.socket_);
    return *this;
}

Socket::~Socket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

WinsockSession::WinsockSession() {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0)
        throw std::system_error(error, std::system_category(), "WSAStartup");
}

WinsockSession::~WinsockSession() { WSACleanup(); }

bool Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const int sent = send(socket_.get(), bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 65536)), 0);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool Connection::Readable(std::chrono::milliseconds wait) const { return readable(socket_.get(), wait); }

// The request head has been read, so anything readable now is the client's end.
bool Connection::HungUp(std::chrono::milliseconds wait) {
    if (!Readable(wait)) return false;
    char byte;
    return recv(socket_.get(), &byte, 1, 0) <= 0;
}

bool Connection::AwaitHangUp(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (HungUp(std::min(kSlice, limit))) return true;
        // A hang-up may be on its way when the test stops the server.
        if (stop_.stop_requested()) return HungUp(std::chrono::seconds(1));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

bool Connection::Pause(std::chrono::milliseconds duration) {
    return !AwaitHangUp(duration) && !stop_.stop_requested();
}

std::string Connection::ReadHead(std::chrono::milliseconds limit) {
    std::string head;
    char buffer[1024];
    const auto end = std::chrono::steady_clock::now() + limit;
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
        if (!Readable(kSlice)) continue;
        const int got = recv(socket_.get(), buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    head_ = head;
    return head;
}

void Connection::Reset() {
    const linger abortive{1, 0};
    setsockopt(socket_.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    socket_ = Socket();
}

ScriptedServer::ScriptedServer(Script script)
    : listener_(listenOnLoopback(port_)), script_(std::move(script)) {
    if (listen(listener_.get(), 4) != 0) failSocketCall("listen");
    thread_ = std::jthread([this](std::stop_token stop) { Serve(std::move(stop)); });
}

std::u16string ScriptedServer::Url(std::string_view path) const {
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
    return std::u16string(url.begin(), url.end());
}

std::vector<RecordedRequest> ScriptedServer::Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    const std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedServer::Serve(std::stop_token stop) {
    while (!stop.stop_requested()) {
        if (!readable(listener_.get(), kSlice)) continue;
        Socket client(accept(listener_.get(), nullptr, nullptr));
        if (!client) continue;
        const DWORD sendLimit = kSendLimitMs;
        setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimit), sizeof sendLimit);
        Connection connection(std::move(client), stop);
        const std::string head = connection.ReadHead(std::chrono::seconds(5));
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back({head.substr(0, head.find("\r\n")), headerValue(head, "User-Agent")});
        }
        script_(connection);
    }
}

std::uint16_t UnusedPort() {
    const WinsockSession winsock;
    std::uint16_t port = 0;
    listenOnLoopback(port);  // bound, never listening, closed again here
    return port;
}

std::string Head(std::string_view status, std::optional<std::size_t> contentLength, std::string_view extraHeaders) {
    std::string head = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/html\r\n";
    if (contentLength) head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    return head + std::string(extraHeaders) + "Connection: close\r\n\r\n";
}

}  // namespace kavrel::loopback
