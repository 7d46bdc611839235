#pragma once
// Servers on loopback for the service's tests: the rate server itself, and a
// source of reference files.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "rate_server.h"

namespace kavrel::rates::testing {

inline constexpr const char* kLoopback = "127.0.0.1";
inline const RateTable kTable =
    RateTable::Parse("code,usd_value,date,source\nUSD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\nGBP,1.15,2022-09-05,t\n");
inline const ServedRates kRates{kTable, {"2022-09-05", "", {}, ""}};

// A rate server on a free loopback port, serving on its own thread until destroyed.
struct RunningServer {
    explicit RunningServer(std::optional<ServedRates> rates) {
        if (rates) server.Publish(std::move(*rates));
    }
    ~RunningServer() { server.Stop(); }
    httplib::Client Client() const { return httplib::Client(kLoopback, port); }

    RateServer server{[](const std::string&) {}};
    int port = server.Bind(kLoopback, 0);
    std::jthread thread{[this] { server.Run(); }};  // last: joined before the server goes
};

// Serves /rates with the answers it is given in turn, the last one from then on,
// over HTTP or, given a certificate and its key, HTTPS.
template <class Server = httplib::Server>
class Source {
public:
    template <class... Tls>
    explicit Source(std::vector<std::pair<int, std::string>> answers, const Tls&... tls)
        : server_(tls.c_str()...), answers_(std::move(answers)) {
        server_.Get("/rates", [this](const httplib::Request&, httplib::Response& response) {
            const auto& [status, body] = answers_[std::min(next_++, answers_.size() - 1)];
            response.status = status;
            response.set_content(body, "text/plain");
        });
        port_ = server_.bind_to_any_port(kLoopback);
        thread_ = std::jthread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::yield();  // a stop before that would be lost
    }
    ~Source() { Stop(); }
    void Stop() { server_.stop(); }
    std::string Url() const {
        const std::string scheme = std::is_same_v<Server, httplib::SSLServer> ? "https" : "http";
        return scheme + "://127.0.0.1:" + std::to_string(port_) + "/rates";
    }

private:
    Server server_;
    const std::vector<std::pair<int, std::string>> answers_;
    std::atomic<std::size_t> next_ = 0;
    int port_ = 0;
    std::jthread thread_;
};

}  // namespace kavrel::rates::testing
