// Fetching reference files, and the refresh of the service's rates from them.
#include "reference_refresh.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/run_time_error.h"
#include "loopback_servers.h"
#include "rate_cache.h"
#include "reference_rates.h"

namespace kavrel::rates::testing {
namespace {

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
}  // namespace kavrel::rates::testing
