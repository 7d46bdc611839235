#include "rate_server.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <thread>
#include <variant>

#include "conversion.h"
#include "core/run_time_error.h"
#include "page.h"
#include "socket_calls.h"

namespace kavrel::rates {
namespace {

using namespace std::chrono_literals;

// Kavrel makes one connection at a time, and an office's desktops each have
// an address of their own: one client may still load the service with some
// ninety connections at once (a load test), and the others keep the rest.
constexpr ConnectionLimits kLimits{.perClient = 96,
                                   .total = 256,
                                   .requestTime = 5s,
                                   .requestLineBytes = 2048,
                                   .requestBytes = 16 * 1024,
                                   .requestsPerConnection = 100};
constexpr const char* kHtml = "text/html; charset=utf-8";

std::optional<std::string> Parameter(const httplib::Request& request, const char* name) {
    if (!request.has_param(name)) return std::nullopt;
    return request.get_param_value(name);
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// Request text as the log shows it: printable ASCII as it is, every other
// byte (control bytes, bytes beyond ASCII) and the backslash as \xHH.
std::string LogText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c >= ' ' && c <= '~' && c != '\\') {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            out += escaped;
        }
    }
    return out;
}

// "GET /path HTTP/1.1" gives "GET /path"; a malformed line is shown as far as it goes, "-" for what is missing.
std::string MethodAndTarget(std::string_view line) {
    const auto method = line.substr(0, line.find(' '));
    const auto rest = line.substr(std::min(line.size(), method.size() + 1));
    const auto target = rest.substr(0, rest.find(' '));
    return (method.empty() ? "-" : LogText(method)) + " " + (target.empty() ? "-" : LogText(target));
}

}  // namespace

RateServer::RateServer(ServedRates rates, LogSink log) : RateServer(std::move(log)) { Publish(std::move(rates)); }

RateServer::RateServer(LogSink log)
    : log_(std::move(log)), server_(kLimits, [this](const Exchange& exchange) { LogExchange(exchange); }) {
    server_.set_socket_options(OwnPortAlone);
    server_.set_tcp_nodelay(true);  // headers and body go out in separate writes: no delayed-ACK stall between them
    Route();
}

void RateServer::Publish(ServedRates rates) {
    auto page = HomePage(rates, UtcNow());
    rates_.store(std::make_shared<const Rates>(Rates{std::move(rates), std::move(page)}));
}

void RateServer::Route() {
    // Each handler loads the table in service once and answers from that one.
    const auto withRates = [this](auto answer) {
        return [this, answer](const httplib::Request& request, httplib::Response& response) {
            if (const auto rates = rates_.load()) return answer(*rates, request, response);
            const Refusal unavailable{RefusalStatus::Unavailable, "No rates are loaded yet."};
            response.status = static_cast<int>(unavailable.status);
            response.set_content(RefusalPage(unavailable), kHtml);
        };
    };
    server_.Get("/", withRates([](const Rates& rates, const httplib::Request&, httplib::Response& response) {
                    response.set_content(rates.homePage, kHtml);
                }));
    server_.Get("/currency/convert",
                withRates([this](const Rates& rates, const httplib::Request& request, httplib::Response& response) {
                    AnswerConvert(rates, request, response);
                }));
    server_.Get("/healthz", withRates([](const Rates& rates, const httplib::Request&, httplib::Response& response) {
                    response.set_content(rates.served.sources.InUseDate() + "\n", "text/plain");
                }));
    server_.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (response.status == 404 && response.body.empty()) response.set_content(NotFoundPage(request.path), kHtml);
    });
}

void RateServer::AnswerConvert(const Rates& rates, const httplib::Request& request, httplib::Response& response) const {
    const ConversionQuery query{Parameter(request, "amt"), Parameter(request, "from"), Parameter(request, "to")};
    const auto answer = Convert(rates.served.table, query);
    if (const auto* conversion = std::get_if<Conversion>(&answer)) {
        response.set_content(ResultPage(*conversion), kHtml);
    } else {
        const auto& refusal = std::get<Refusal>(answer);
        response.status = static_cast<int>(refusal.status);
        response.set_content(RefusalPage(refusal), kHtml);
    }
}

void RateServer::LogExchange(const Exchange& exchange) const {
    log_(UtcNow() + " " + exchange.client + " " + MethodAndTarget(exchange.requestLine) + " " +
         std::to_string(exchange.status) + " " + std::to_string(exchange.bodyBytes));
}

int RateServer::Bind(const std::string& host, int port) {
    const int bound = port == 0 ? server_.bind_to_any_port(host) : (server_.bind_to_port(host, port) ? port : -1);
    if (bound < 0)
        throw RunTimeError(ErrorKind::InvalidArgument, "cannot listen on " + host + " port " + std::to_string(port));
    server_.LengthenListenQueue();
    return bound;
}

void RateServer::Run() {
    runEntered_ = true;
    if (!stopRequested_) server_.listen_after_bind();
    runFinished_ = true;
}

void RateServer::Stop() {
    stopRequested_ = true;
    if (!runEntered_) return;  // Run() has yet to look at the request and will not listen
    // httplib ignores a stop that comes before its accept loop is up, so wait for that loop.
    while (!runFinished_ && !server_.is_running()) std::this_thread::yield();
    server_.stop();
}

}  // namespace kavrel::rates
