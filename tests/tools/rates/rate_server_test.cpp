// The service on loopback: its answers, its stop, its command line, and the
// refresh of its rates from a reference file source.
#include "rate_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/run_time_error.h"
#include "options.h"
#include "reference_rates.h"
#include "rate_cache.h"
#include "reference_refresh.h"
#include "retrieval/result_page_parser.h"

namespace kavrel::rates {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
const RateTable kTable =
    RateTable::parse("code,usd_value,date,source\nUSD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\nGBP,1.15,2022-09-05,t\n");
const ServedRates kRates{kTable, {"2022-09-05", "", {}, ""}};

// A rate server on a free loopback port, serving on its own thread until destroyed.
struct RunningServer {
    explicit RunningServer(std::optional<ServedRates> rates) {
        if (rates) server.publish(std::move(*rates));
    }
    ~RunningServer() { server.stop(); }
    httplib::Client client() const { return httplib::Client(kLoopback, port); }

    RateServer server{[](const std::string&) {}};
    int port = server.bind(kLoopback, 0);
    std::jthread thread{[this] { server.run(); }};  // last: joined before the server goes
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
    ~Source() { stop(); }
    void stop() { server_.stop(); }
    std::string url() const {
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

// Whether `holds` comes true within ten seconds.
bool eventually(const std::function<bool()>& holds) {
    for (int tries = 0; tries < 1000 && !holds(); ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return holds();
}

std::u16string pairOf(const httplib::Result& result) {
    return parsetex(std::u16string(result->body.begin(), result->body.end()));
}

TEST(RateServer, AnswersTheQueryWithThePageKavrelReadsOrRefusesItWithAStatus) {
    RunningServer running(kRates);
    auto client = running.client();
    const auto result = client.Get("/currency/convert?amt=100&from=EUR&to=GBP&submit=Convert");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(pairOf(result), u"0.86087~86.09");

    const std::pair<const char*, int> refused[] = {
        {"/currency/convert?amt=1&from=XYZ&to=USD", 422}, {"/currency/convert?amt=abc&from=USD&to=EUR", 400},
        {"/nowhere", 404}};
    for (const auto& [path, status] : refused) {
        const auto answer = client.Get(path);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, status) << path;
        EXPECT_NE(answer->body.find("</html>"), std::string::npos) << path;  // a page of ours
        EXPECT_THROW(pairOf(answer), RunTimeError) << path;
    }
}

TEST(RateServer, AnswersSupervisorsWithTheDateOfTheRatesInUseOnceRatesAreLoaded) {
    RunningServer running(std::nullopt);
    auto client = running.client();
    const auto answer = [&](const char* path) {
        const auto result = client.Get(path);
        return result ? std::to_string(result->status) + " " + result->body : "none";
    };
    for (const char* path : {"/healthz", "/", "/currency/convert?amt=1&from=USD&to=EUR"})
        EXPECT_TRUE(answer(path).starts_with("503 ")) << path;
    running.server.publish(kRates);
    EXPECT_EQ(answer("/healthz"), "200 2022-09-05\n");  // the table's date while no bank file is in use
    running.server.publish({kTable, {"2022-09-05", "", {{"2024-01-05", "f", 3}, {"2024-01-08", "unused", 0}}, ""}});
    EXPECT_EQ(answer("/healthz"), "200 2024-01-05\n");  // the newest bank file whose rates are in use
}

// main's signal thread may ask for the stop before run() has begun; a stop
// while running is the program's own test, by SIGTERM.
TEST(RateServer, StopsWhenAskedBeforeRunningAndRefusesAPortInUse) {
    RateServer early(kRates, [](const std::string&) {});
    const int held = early.bind(kLoopback, 0);
    early.stop();
    early.run();  // returns at once
    EXPECT_THROW(RateServer(kRates, [](const std::string&) {}).bind(kLoopback, held), RunTimeError);
}

TEST(Options, ReadsTheCommandLineAndRefusesBadValues) {
    const auto given = parseOptions({"--port", "9000", "--bind=0.0.0.0", "--rates", "/tmp/r.csv", "--help", "--ecb",
                                     "a.xml", "--ecb=b.csv", "--ecb-url", "https://127.0.0.1/d.xml", "--refresh",
                                     "100ms", "--ca-file", "ca.pem", "--cache", "/tmp/c"});
    EXPECT_EQ(std::tie(given.port, given.bind, given.ratesFile, given.help, given.referenceUrl, given.caFile),
              std::tuple(9000, "0.0.0.0", "/tmp/r.csv", true, "https://127.0.0.1/d.xml", "ca.pem"));
    EXPECT_EQ(given.cacheFolder, "/tmp/c");
    const auto byDefault = parseOptions({}, "/home/c");  // the bank's file, kept in the user's cache
    EXPECT_EQ(std::tie(byDefault.referenceUrl, byDefault.cacheFolder, byDefault.ratesFile),
              std::tuple(kBankDailyUrl, "/home/c", ""));
    const auto alone = parseOptions({"--no-fetch", "--no-cache"}, "/home/c");
    EXPECT_EQ(alone.referenceUrl + alone.cacheFolder.string(), "");
    EXPECT_EQ(given.referenceFiles, (std::vector<std::string>{"a.xml", "b.csv"}));
    EXPECT_EQ(given.refreshInterval, std::chrono::milliseconds(100));
    EXPECT_EQ(parseOptions({"--refresh=8784h"}).refreshInterval, std::chrono::hours(8784));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--port", "x"}, {"--port", "70000"}, {"--port"}, {"--colour"}, {"extra"}, {"--refresh=6"},
             {"--refresh=99ms"}, {"--refresh=8785h"}, {"--ecb-url=ftp://a/d.xml"}, {"--ecb-url=http:///d.xml"},
             {"--no-fetch=1"}})
        EXPECT_THROW(parseOptions(bad), RunTimeError) << bad.front();
}

// A daily file in which a euro buys `pounds` pounds sterling.
std::string dailyFile(const std::string& date, double dollars, double pounds) {
    return "<Cube><Cube time='" + date + "'><Cube currency='USD' rate='" + std::to_string(dollars) +
           "'/><Cube currency='GBP' rate='" + std::to_string(pounds) + "'/></Cube></Cube>";
}

// The reason a fetch of `url` fails, or "" when it does not.
std::string fetchFailure(const std::string& url) {
    try {
        fetchReferenceFile(url);
    } catch (const RunTimeError& error) {
        return error.what();
    }
    return "";
}

TEST(FetchReferenceFile, FailsOnAStatusOtherThan200ABodyTooLargeOrNoServer) {
    Source source({{404, "gone"}, {200, std::string(kMaxReferenceFileBytes + 1, 'x')}});
    EXPECT_EQ(fetchFailure(source.url()), source.url() + ": HTTP status 404");
    EXPECT_EQ(fetchFailure(source.url()), source.url() + ": more bytes than a reference file may have");
    source.stop();
    EXPECT_EQ(fetchFailure(source.url()), source.url() + ": could not connect");
}

TEST(ReferenceRefresher, KeepsAGoodFileAndPublishesAFailureAsANoteOnTheRatesInService) {
    const auto good = dailyFile("2024-01-05", 1.25, 0.8);
    Source source({{200, good}, {200, "<html><body>Maintenance</body></html>"}});
    const auto failure = "kavrel-rates: refresh failed, the rates in service stay: " + source.url() + ": no <Cube time";
    const auto folder = std::filesystem::temp_directory_path() / ("kavrel-keep-" + std::to_string(::getpid()));
    std::atomic<int> fresh{0}, noted{0}, failed{0};
    {
        const ReferenceRefresher refresher(kRates, {source.url(), "", std::chrono::milliseconds(100), RateCache(folder)},
                                           [&](const ServedRates& rates) {
                                               const bool dated = rates.sources.inUseDate() == "2024-01-05";
                                               (rates.sources.fetchProblem.empty() ? fresh : noted) += dated;
                                           },
                                           [&](const std::string& line) { failed += line.starts_with(failure); });
        EXPECT_TRUE(eventually([&] { return failed >= 2 && noted >= 2; }));
    }
    EXPECT_EQ(fresh, 1);
    EXPECT_EQ(RateCache(folder).read(), good);
    std::filesystem::remove_all(folder);
}

TEST(ReferenceRefresher, SwapsTheWholeTableWhileRequestsAreServed) {
    constexpr int kSwaps = 8;
    std::vector<std::pair<int, std::string>> alternating;
    for (int i = 0; i < kSwaps; ++i)
        alternating.emplace_back(200, i % 2 ? dailyFile("2024-01-05", 1.5, 0.9) : dailyFile("2024-01-04", 1.25, 0.8));
    const Source source(alternating);
    RunningServer running(kRates);
    std::atomic<int> published{0};
    const ReferenceRefresher refresher(kRates, {source.url(), "", std::chrono::milliseconds(100), std::nullopt},
                                       [&](ServedRates rates) {
                                           running.server.publish(std::move(rates));
                                           ++published;
                                       },
                                       [](const std::string&) {});
    ASSERT_TRUE(eventually([&] { return published > 0; }));
    // Every answer is one table's rate with that table's date.
    const std::string tables[] = {"1 EUR = 0.8 GBP at the reference rates of 2024-01-04.",
                                  "1 EUR = 0.9 GBP at the reference rates of 2024-01-05."};
    std::atomic<int> answers{0}, ofFirst{0}, ofSecond{0};
    {
        std::vector<std::jthread> clients;
        for (int i = 0; i < 4; ++i)
            clients.emplace_back([&] {
                for (; published < kSwaps && answers < 20000; ++answers) {
                    const auto result = running.client().Get("/currency/convert?amt=100&from=EUR&to=GBP");
                    const std::string body = result ? result->body : "";
                    ofFirst += body.find(tables[0]) != std::string::npos;
                    ofSecond += body.find(tables[1]) != std::string::npos;
                }
            });
    }
    EXPECT_GE(published, kSwaps);
    EXPECT_EQ(ofFirst + ofSecond, answers);
    EXPECT_GT(ofFirst, 0);
    EXPECT_GT(ofSecond, 0);
}

TEST(FetchReferenceFile, TrustsOnlyAVerifiedCertificate) {
    const auto dir = std::filesystem::temp_directory_path() / ("kavrel-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto key = (dir / "key.pem").string(), certificate = (dir / "certificate.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1"
                           " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                           key + " -out " + certificate + " 2>/dev/null")
                              .c_str()),
              0);
    const Source<httplib::SSLServer> source({{200, dailyFile("2024-01-05", 1.0921, 0.86053)}}, certificate, key);
    EXPECT_EQ(fetchFailure(source.url()),
              source.url() + ": the server's certificate is not trusted (self-signed certificate)");
    EXPECT_EQ(parseReferenceRates(fetchReferenceFile(source.url(), certificate), "f").size(), 3u);  // USD, GBP, EUR
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavrel::rates
