#include "rate_server.h"

#include <ctime>
#include <memory>
#include <thread>
#include <variant>

#include "conversion.h"
#include "core/run_time_error.h"
#include "page.h"

namespace kavrel::rates {
namespace {

constexpr std::size_t kWorkerThreads = 16;
// Idle keep-alive connections hold a worker and delay a stop by up to this long.
constexpr time_t kKeepAliveSeconds = 1;
constexpr const char* kHtml = "text/html; charset=utf-8";

std::optional<std::string> parameter(const httplib::Request& request, const char* name) {
    if (!request.has_param(name)) return std::nullopt;
    return request.get_param_value(name);
}

std::string utcNow() {
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

// A second service on a port in use must fail, not share it: that is how a
// second Kavrel's service learns that the first one's already serves.
void ownPortAlone(socket_t socket) {
    const int yes = 1;
#ifdef _WIN32
    // Windows' SO_REUSEADDR would let another socket take the port over; this keeps it ours.
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
#else
    // Quick restarts over connections in TIME_WAIT, but unlike httplib's default no SO_REUSEPORT.
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
}

}  // namespace

void ListenQueueServer::lengthenListenQueue() { ::listen(svr_sock_, SOMAXCONN); }

RateServer::RateServer(ServedRates rates, LogSink log) : RateServer(std::move(log)) { publish(std::move(rates)); }

RateServer::RateServer(LogSink log) : log_(std::move(log)) {
    // httplib takes ownership of the queue it is handed.
    server_.new_task_queue = [] { return std::make_unique<httplib::ThreadPool>(kWorkerThreads).release(); };
    server_.set_keep_alive_timeout(kKeepAliveSeconds);
    server_.set_socket_options(ownPortAlone);
    server_.set_tcp_nodelay(true);  // headers and body go out in separate writes: no delayed-ACK stall between them
    route();
}

void RateServer::publish(ServedRates rates) {
    auto page = homePage(rates, utcNow());
    rates_.store(std::make_shared<const Rates>(Rates{std::move(rates), std::move(page)}));
}

void RateServer::route() {
    // Each handler loads the table in service once and answers from that one.
    const auto withRates = [this](auto answer) {
        return [this, answer](const httplib::Request& request, httplib::Response& response) {
            if (const auto rates = rates_.load()) return answer(*rates, request, response);
            const Refusal unavailable{RefusalStatus::Unavailable, "No rates are loaded yet."};
            response.status = static_cast<int>(unavailable.status);
            response.set_content(refusalPage(unavailable), kHtml);
        };
    };
    server_.Get("/", withRates([](const Rates& rates, const httplib::Request&, httplib::Response& response) {
        response.set_content(rates.homePage, kHtml);
    }));
    server_.Get("/currency/convert",
                withRates([this](const Rates& rates, const httplib::Request& request, httplib::Response& response) {
                    answerConvert(rates, request, response);
                }));
    server_.Get("/healthz", withRates([](const Rates& rates, const httplib::Request&, httplib::Response& response) {
        response.set_content(rates.served.sources.inUseDate() + "\n", "text/plain");
    }));
    server_.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (response.status == 404 && response.body.empty()) response.set_content(notFoundPage(request.path), kHtml);
    });
    server_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        logRequest(request, response);
    });
}

void RateServer::answerConvert(const Rates& rates, const httplib::Request& request,
                               httplib::Response& response) const {
    const ConversionQuery query{parameter(request, "amt"), parameter(request, "from"), parameter(request, "to")};
    const auto answer = convert(rates.served.table, query);
    if (const auto* conversion = std::get_if<Conversion>(&answer)) {
        response.set_content(resultPage(*conversion), kHtml);
    } else {
        const auto& refusal = std::get<Refusal>(answer);
        response.status = static_cast<int>(refusal.status);
        response.set_content(refusalPage(refusal), kHtml);
    }
}

void RateServer::logRequest(const httplib::Request& request, const httplib::Response& response) const {
    log_(utcNow() + " " + request.remote_addr + " " + request.method + " " + request.target + " " +
         std::to_string(response.status) + " " + std::to_string(response.body.size()));
}

int RateServer::bind(const std::string& host, int port) {
    const int bound = port == 0 ? server_.bind_to_any_port(host) : (server_.bind_to_port(host, port) ? port : -1);
    if (bound < 0)
        throw RunTimeError(ErrorKind::InvalidArgument, "cannot listen on " + host + " port " + std::to_string(port));
    server_.lengthenListenQueue();
    return bound;
}

void RateServer::run() {
    runEntered_ = true;
    if (!stopRequested_) server_.listen_after_bind();
    runFinished_ = true;
}

void RateServer::stop() {
    stopRequested_ = true;
    if (!runEntered_) return;  // run() has yet to look at the request and will not listen
    // httplib ignores a stop that comes before its accept loop is up, so wait for that loop.
    while (!runFinished_ && !server_.is_running()) std::this_thread::yield();
    server_.stop();
}

}  // namespace kavrel::rates
