#include "reference_refresh.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>

#include "core/run_time_error.h"
#include "options.h"
#include "reference_rates.h"
#include "retrieval/result_page_parser.h"
#include "test_support.h"

namespace kavrel::rates {
namespace {

const RateTable kBase = RateTable::parse("code,usd_value,date,source\nUSD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\n"
                                         "GBP,1.15,2022-09-05,t\n");

// A daily file in which a euro buys `pounds` pounds sterling.
std::string dailyFile(const std::string& date, double dollars, double pounds) {
    return "<Cube><Cube time='" + date + "'><Cube currency='USD' rate='" + std::to_string(dollars) +
           "'/><Cube currency='GBP' rate='" + std::to_string(pounds) + "'/></Cube></Cube>";
}

// Serves /rates with the answers it is given, in turn, the last one from then on.
class Source {
public:
    Source() {
        server_.Get("/rates", [this](const httplib::Request&, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            const auto& [status, body] = answers_[std::min(next_++, answers_.size() - 1)];
            response.status = status;
            response.set_content(body, "text/plain");
            if (cycle_ && next_ == answers_.size()) next_ = 0;
        });
    }
    void answer(std::vector<std::pair<int, std::string>> answers, bool cycle = false) {
        std::lock_guard lock(mutex_);
        answers_ = std::move(answers), next_ = 0, cycle_ = cycle;
    }
    void stop() { listening_.reset(); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/rates"; }

private:
    std::mutex mutex_;
    std::vector<std::pair<int, std::string>> answers_{{503, ""}};
    std::size_t next_ = 0;
    bool cycle_ = false;
    httplib::Server server_;
    std::optional<Listening> listening_{std::in_place, server_};
    int port_ = listening_->port();
};

// The service's rate and date for 100 EUR in GBP.
std::pair<std::u16string, std::string> euroInPounds(const RunningServer& running) {
    const auto result = running.client().Get("/currency/convert?amt=100&from=EUR&to=GBP&submit=Convert");
    if (!result) return {};
    const auto date = result->body.find("rates of ");
    return {parsetex(std::u16string(result->body.begin(), result->body.end())), result->body.substr(date + 9, 10)};
}

// Refreshes the running service from the source at the interval the command line sets.
ReferenceRefresher refresherOf(RunningServer& running, const Source& source, LogLines& log) {
    return ReferenceRefresher(kBase, {source.url(), "", parseOptions({"--refresh=100ms"}).refreshInterval},
                              [&running](RateTable table) { running.server().publish(std::move(table)); }, log.sink());
}

TEST(ReferenceRefresher, KeepsTheRatesItHasWhenARefreshFails) {
    Source source;
    source.answer({{200, dailyFile("2024-01-05", 1.25, 0.8)}});
    RunningServer running(kBase);
    LogLines log;
    const auto refresher = refresherOf(running, source, log);
    ASSERT_TRUE(log.waitFor(1, "reference rates"));
    const std::pair<std::u16string, std::string> fresh{u"0.8~80.00", "2024-01-05"};
    ASSERT_EQ(euroInPounds(running), fresh);

    const std::pair<std::pair<int, std::string>, const char*> failures[] = {
        {{404, "gone"}, "HTTP status 404"},
        {{200, "<html><body>Maintenance</body></html>"}, "no <Cube time"},
        {{200, dailyFile("2024-01-06", 1.25, -1)}, "not a positive number"},
        {{200, std::string(kMaxReferenceFileBytes + 1, 'x')}, "more bytes than a reference file may have"},
    };
    for (const auto& [answer, logged] : failures) {
        source.answer({answer});
        EXPECT_TRUE(log.waitFor(1, logged)) << logged;
        EXPECT_EQ(euroInPounds(running), fresh) << logged;
    }
    source.stop();
    EXPECT_TRUE(log.waitFor(1, "refresh failed, the rates in service stay: " + source.url() + ": could not connect"));
    EXPECT_EQ(euroInPounds(running), fresh);
}

TEST(ReferenceRefresher, SwapsTheWholeTableWhileRequestsAreServed) {
    Source source;
    source.answer({{200, dailyFile("2024-01-04", 1.25, 0.8)}, {200, dailyFile("2024-01-05", 1.5, 0.9)}}, true);
    RunningServer running(kBase);
    LogLines log;
    const auto refresher = refresherOf(running, source, log);
    const std::pair<std::u16string, std::string> tables[] = {{u"0.8~80.00", "2024-01-04"},
                                                             {u"0.9~90.00", "2024-01-05"}};
    constexpr std::size_t kSwaps = 8;
    ASSERT_TRUE(log.waitFor(1, "reference rates"));
    std::atomic<int> answers{0}, whole{0}, ofFirst{0};
    {
        std::vector<std::jthread> clients;
        for (int i = 0; i < 4; ++i) {
            clients.emplace_back([&] {
                while (log.holding("reference rates") < kSwaps && answers < 20000) {
                    const auto answer = euroInPounds(running);
                    ++answers;
                    whole += answer == tables[0] || answer == tables[1];
                    ofFirst += answer == tables[0];
                }
            });
        }
    }
    EXPECT_GE(log.holding("reference rates"), kSwaps);
    EXPECT_EQ(whole, answers);  // never the rate of one table with the date of the other
    EXPECT_GT(ofFirst, 0);
    EXPECT_LT(ofFirst, answers);
}

TEST(FetchReferenceFile, TrustsOnlyAVerifiedCertificate) {
    const TempDir dir;
    const auto key = dir.file("key.pem").string(), certificate = dir.file("certificate.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1"
                           " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                           key + " -out " + certificate + " 2>/dev/null")
                              .c_str()),
              0);
    httplib::SSLServer server(certificate.c_str(), key.c_str());
    server.Get("/eurofxref-daily.xml", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(dailyFile("2024-01-05", 1.0921, 0.86053), "text/xml");
    });
    const Listening listening(server);
    const auto url = "https://127.0.0.1:" + std::to_string(listening.port()) + "/eurofxref-daily.xml";

    try {
        fetchReferenceFile(url);
        ADD_FAILURE() << "a self-signed certificate was trusted";
    } catch (const RunTimeError& error) {
        EXPECT_NE(std::string(error.what()).find("certificate is not trusted (self-signed certificate)"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(parseReferenceRates(fetchReferenceFile(url, certificate), url).size(), 3u);  // USD, GBP and EUR
}

}  // namespace
}  // namespace kavrel::rates
