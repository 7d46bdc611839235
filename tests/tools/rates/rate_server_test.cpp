#include "rate_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <thread>
#include <vector>

#include "core/run_time_error.h"
#include "core/text.h"
#include "input/catalogue.h"
#include "options.h"
#include "page.h"
#include "retrieval/parsetex.h"
#include "retrieval/request.h"
#include "test_support.h"

namespace kavrel::rates {
namespace {

constexpr double kEuro = 0.99;
constexpr double kPound = 1.15;
constexpr double kCfaFranc = kEuro / 655.957;

std::string row(const char* code, double usdValue) {
    char value[32];
    const auto end = std::to_chars(value, value + sizeof value, usdValue).ptr;
    return std::string(code) + "," + std::string(value, end) + ",2022-09-05,test\n";
}

const RateTable kTable = RateTable::parse("code,usd_value,date,source\n" + row("USD", 1) + row("EUR", kEuro) +
                                          row("GBP", kPound) + row("XOF", kCfaFranc) + row("BCEAO", kCfaFranc) +
                                          row("XAF", kCfaFranc) + row("BEAC", kCfaFranc));

// A server on an ephemeral loopback port, serving on its own thread for the test's duration.
class RunningServer {
public:
    explicit RunningServer(const RateTable& table = kTable)
        : server_(table, log.sink()), port_(server_.bind(kLoopback, 0)), thread_([this] { server_.run(); }) {}
    ~RunningServer() { server_.stop(); }

    httplib::Client client() const { return httplib::Client(kLoopback, port_); }

    // The server logs a request after its answer has gone out, so a client can
    // be done before the last line is written: wait for it.
    LogLines log;

private:
    RateServer server_;
    int port_;
    std::jthread thread_;  // last: joined before the server it runs is destroyed
};

std::u16string resultPair(const httplib::Result& result) {
    return parsetex(std::u16string(result->body.begin(), result->body.end()));
}

TEST(RateServer, AnswersKavrelsQueryWithAPageItsParserReads) {
    RunningServer running;
    auto client = running.client();
    const auto result = client.Get("/currency/convert?amt=100&from=EUR&to=GBP&submit=Convert");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(resultPair(result), text::widenAscii(formatRate(kEuro / kPound) + "~" + formatAmount(100 * kEuro / kPound)));

    // The CFA qualifiers are priced like their ISO codes: 655.957 francs per euro.
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1&from=EUR&to=BCEAO&submit=Convert")), u"655.957~655.96");
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1000&from=BEAC&to=XOF&submit=Convert")), u"1~1000.00");
    // Kavrel's exponent form, with its "+" escaped and not.
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1E%2B15&from=USD&to=USD")), u"1~1000000000000000.00");
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1E+15&from=USD&to=USD")), u"1~1000000000000000.00");
}

TEST(RateServer, RefusesBadQueriesWithAPageAndNoResultTable) {
    RunningServer running;
    auto client = running.client();
    const std::pair<const char*, int> cases[] = {
        {"/currency/convert?amt=1&from=%3Cscript%3E&to=USD&submit=Convert", 422},
        {"/currency/convert?amt=abc&from=USD&to=EUR", 400},
        {"/currency/convert", 400},
        {"/nowhere", 404},
    };
    for (const auto& [path, status] : cases) {
        const auto result = client.Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, status) << path;
        EXPECT_NE(result->body.find("</html>"), std::string::npos) << path;
        EXPECT_EQ(result->body.find("<script>"), std::string::npos) << path;
        EXPECT_THROW(resultPair(result), RunTimeError) << path;
    }
    const auto home = client.Get("/");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->status, 200);
    EXPECT_NE(home->body.find("<td>BEAC</td>"), std::string::npos);
}

TEST(RateServer, AnswersSupervisorsWithTheNewestRateDateOnceRatesAreLoaded) {
    RateServer server([](const std::string&) {});
    const int port = server.bind(kLoopback, 0);
    std::jthread thread([&] { server.run(); });
    httplib::Client client(kLoopback, port);
    for (const char* path : {"/healthz", "/", "/currency/convert?amt=1&from=USD&to=EUR"})
        EXPECT_EQ(client.Get(path)->status, 503) << path;

    server.publish(RateTable::parse("code,usd_value,date,source\nUSD,1,2024-01-05,a\nEUR,1.09,2023-12-29,b\n"));
    const auto health = client.Get("/healthz");
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(health->body, "2024-01-05\n");
    EXPECT_NE(client.Get("/")->body.find("Newest rate: <b>2024-01-05</b>"), std::string::npos);
    server.stop();
}

TEST(RateServer, EveryCatalogueCodeIsConvertedByTheShippedTable) {
    RunningServer running(RateTable::load(parseOptions({}).ratesFile));
    auto client = running.client();
    for (const auto entry : CurrencyCatalogue) {
        const auto code = text::toUtf8(extractCode(entry));
        const auto url = text::toUtf8(requestUrl(u"", 100, extractCode(entry), u"USD", u'.'));
        const auto result = client.Get(url);
        ASSERT_TRUE(result) << code;
        EXPECT_EQ(result->status, 200) << code;
        EXPECT_NO_THROW(resultPair(result)) << code;
    }
}

TEST(RateServer, ServesConcurrentClientsAndLogsEachRequest) {
    constexpr int kThreads = 8;
    constexpr int kRequestsEach = 25;
    RunningServer running;
    const auto expected = text::widenAscii(formatRate(kEuro / kPound) + "~" + formatAmount(7 * kEuro / kPound));
    std::atomic<int> correct{0};
    {
        std::vector<std::jthread> clients;
        for (int t = 0; t < kThreads; ++t) {
            clients.emplace_back([&] {
                auto client = running.client();
                for (int i = 0; i < kRequestsEach; ++i) {
                    const auto result = client.Get("/currency/convert?amt=7&from=EUR&to=GBP&submit=Convert");
                    if (result && result->status == 200 && resultPair(result) == expected) ++correct;
                }
            });
        }
    }
    EXPECT_EQ(correct, kThreads * kRequestsEach);
    running.log.waitFor(kThreads * kRequestsEach);
    const auto log = running.log.lines();
    ASSERT_EQ(log.size(), static_cast<std::size_t>(kThreads * kRequestsEach));
    EXPECT_NE(log.front().find(" 127.0.0.1 GET /currency/convert?amt=7&from=EUR&to=GBP&submit=Convert 200 "),
              std::string::npos)
        << log.front();
}

TEST(RateServer, StopsCleanlyWhenAskedBeforeDuringOrAfterRunning) {
    RateServer early(kTable, [](const std::string&) {});
    early.bind(kLoopback, 0);
    early.stop();
    early.run();  // returns at once

    RateServer server(kTable, [](const std::string&) {});
    const int port = server.bind(kLoopback, 0);
    std::jthread thread([&] { server.run(); });
    httplib::Client client(kLoopback, port);
    ASSERT_TRUE(client.Get("/"));
    server.stop();
    thread.join();
    server.stop();  // a second stop is harmless
    client.set_connection_timeout(1);
    EXPECT_FALSE(client.Get("/"));


    RateServer holder(kTable, [](const std::string&) {});
    const int held = holder.bind(kLoopback, 0);
    RateServer second(kTable, [](const std::string&) {});
    EXPECT_THROW(second.bind(kLoopback, held), RunTimeError);
    EXPECT_THROW(second.bind("256.0.0.1", 0), RunTimeError);
}

TEST(Options, ReadsTheCommandLine) {
    const auto defaults = parseOptions({});
    EXPECT_EQ(defaults.port, 8750);
    EXPECT_EQ(defaults.bind, "127.0.0.1");
    EXPECT_TRUE(defaults.ratesFile.ends_with("tools/rates/rates.csv"));
    EXPECT_FALSE(defaults.help);

    EXPECT_EQ(defaults.refreshInterval, std::chrono::hours(6));

    const auto given = parseOptions({"--port", "9000", "--bind=0.0.0.0", "--rates", "/tmp/r.csv", "--help", "--ecb",
                                     "a.xml", "--ecb=b.csv", "--ecb-url", "https://127.0.0.1/d.xml", "--refresh",
                                     "90s", "--ca-file", "ca.pem"});
    EXPECT_EQ(given.port, 9000);
    EXPECT_EQ(given.bind, "0.0.0.0");
    EXPECT_EQ(given.ratesFile, "/tmp/r.csv");
    EXPECT_TRUE(given.help);
    EXPECT_EQ(given.referenceFiles, (std::vector<std::string>{"a.xml", "b.csv"}));
    EXPECT_EQ(given.referenceUrl, "https://127.0.0.1/d.xml");
    EXPECT_EQ(given.refreshInterval, std::chrono::seconds(90));
    EXPECT_EQ(given.caFile, "ca.pem");
    const std::pair<const char*, std::chrono::milliseconds> durations[] = {
        {"100ms", std::chrono::milliseconds(100)}, {"30m", std::chrono::minutes(30)}, {"8784h", std::chrono::hours(8784)}};
    for (const auto& [text, interval] : durations) EXPECT_EQ(parseOptions({"--refresh", text}).refreshInterval, interval);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--port", "x"}, {"--port", "70000"}, {"--port"}, {"--colour"}, {"extra"}, {"--port=-1"},
             {"--refresh", "6"}, {"--refresh", "99ms"}, {"--refresh", "8785h"}, {"--refresh", "-1h"},
             {"--refresh", "1.5h"}, {"--ecb-url", "ftp://127.0.0.1/d.xml"}, {"--ecb-url", "http:///d.xml"}})
        EXPECT_THROW(parseOptions(bad), RunTimeError) << bad.front();
    EXPECT_NE(usage().find("--rates FILE"), std::string::npos);
}

}  // namespace
}  // namespace kavrel::rates
