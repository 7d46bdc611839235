#pragma once
// What the service's tests share: servers on free loopback ports, a directory
// for the files they write, and a log that can be waited on.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "rate_server.h"

namespace kavrel::rates {

inline constexpr const char* kLoopback = "127.0.0.1";

// A rate server on a free loopback port, serving on its own thread until destroyed.
class RunningServer {
public:
    explicit RunningServer(std::optional<RateTable> table, RateServer::LogSink log = [](const std::string&) {})
        : server_(std::move(log)), port_(server_.bind(kLoopback, 0)), thread_([this] { server_.run(); }) {
        if (table) server_.publish(std::move(*table));
    }
    ~RunningServer() { server_.stop(); }

    RateServer& server() { return server_; }
    httplib::Client client() const { return httplib::Client(kLoopback, port_); }

private:
    RateServer server_;
    int port_;
    std::jthread thread_;  // last: joined before the server it runs is destroyed
};

// A directory of this test process's own, removed with everything in it.
class TempDir {
public:
    TempDir() { std::filesystem::create_directories(path_); }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    std::filesystem::path write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }

private:
    std::filesystem::path path_ =
        std::filesystem::temp_directory_path() / ("kavrel-rates-test-" + std::to_string(::getpid()));
};

// Lines logged from any thread; a test waits for the ones it expects, within reason.
class LogLines {
public:
    std::function<void(const std::string&)> sink() {
        return [this](const std::string& line) {
            {
                std::lock_guard lock(mutex_);
                lines_.push_back(line);
            }
            logged_.notify_all();
        };
    }

    // Whether `count` lines holding `part` came, waiting ten seconds at most.
    bool waitFor(std::size_t count, const std::string& part = "") {
        std::unique_lock lock(mutex_);
        return logged_.wait_for(lock, std::chrono::seconds(10), [&] { return holdingLocked(part) >= count; });
    }

    std::size_t holding(const std::string& part) {
        std::lock_guard lock(mutex_);
        return holdingLocked(part);
    }

private:
    std::size_t holdingLocked(const std::string& part) const {
        return static_cast<std::size_t>(std::count_if(
            lines_.begin(), lines_.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; }));
    }

    std::mutex mutex_;
    std::condition_variable logged_;
    std::vector<std::string> lines_;
};

// An httplib server listening on a free loopback port on its own thread until destroyed.
class Listening {
public:
    explicit Listening(httplib::Server& server)
        : server_(server), port_(server.bind_to_any_port(kLoopback)), thread_([this] { server_.listen_after_bind(); }) {
        while (!server_.is_running()) std::this_thread::yield();
    }
    ~Listening() { server_.stop(); }

    int port() const { return port_; }

private:
    httplib::Server& server_;
    int port_;
    std::jthread thread_;
};

}  // namespace kavrel::rates
