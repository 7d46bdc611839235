#include "rate_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "core/run_time_error.h"
#include "core/text.h"
#include "input/catalogue.h"
#include "options.h"
#include "page.h"
#include "retrieval/result_page_parser.h"
#include "retrieval/request.h"
#include "test_support.h"

namespace kavrel::rates {
namespace {

const RateTable kTable =
    RateTable::parse("code,usd_value,date,source\nUSD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\nGBP,1.15,2022-09-05,t\n");

std::u16string resultPair(const httplib::Result& result) {
    return parsetex(std::u16string(result->body.begin(), result->body.end()));
}

TEST(RateServer, AnswersKavrelsQueryWithAPageItsParserReadsAndLogsIt) {
    LogLines log;
    RunningServer running(kTable, log.sink());
    auto client = running.client();
    const auto result = client.Get("/currency/convert?amt=100&from=EUR&to=GBP&submit=Convert");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(resultPair(result), text::widenAscii(formatRate(0.99 / 1.15) + "~" + formatAmount(100 * 0.99 / 1.15)));
    // Kavrel's exponent form, with its "+" escaped and not.
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1E%2B15&from=USD&to=USD")), u"1~1000000000000000.00");
    EXPECT_EQ(resultPair(client.Get("/currency/convert?amt=1E+15&from=USD&to=USD")), u"1~1000000000000000.00");
    // The line is written once the answer is out.
    EXPECT_TRUE(log.waitFor(1, " 127.0.0.1 GET /currency/convert?amt=100&from=EUR&to=GBP&submit=Convert 200 "));
}

TEST(RateServer, RefusesBadQueriesWithAPageAndNoResultTable) {
    RunningServer running(kTable);
    auto client = running.client();
    const std::pair<const char*, int> cases[] = {
        {"/currency/convert?amt=1&from=%3Cscript%3E&to=USD&submit=Convert", 422},
        {"/currency/convert?amt=abc&from=USD&to=EUR", 400},
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
}

TEST(RateServer, AnswersSupervisorsWithTheNewestRateDateOnceRatesAreLoaded) {
    RunningServer running(std::nullopt);
    auto client = running.client();
    for (const char* path : {"/healthz", "/", "/currency/convert?amt=1&from=USD&to=EUR"})
        EXPECT_EQ(client.Get(path)->status, 503) << path;

    running.server().publish(RateTable::parse("code,usd_value,date,source\nUSD,1,2024-01-05,a\nEUR,1.09,2023-12-29,b\n"));
    const auto health = client.Get("/healthz");
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(health->body, "2024-01-05\n");
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
    EXPECT_EQ(defaults.refreshInterval, std::chrono::hours(6));
    EXPECT_FALSE(defaults.help);

    const auto given = parseOptions({"--port", "9000", "--bind=0.0.0.0", "--rates", "/tmp/r.csv", "--help", "--ecb",
                                     "a.xml", "--ecb=b.csv", "--ecb-url", "https://127.0.0.1/d.xml", "--refresh",
                                     "100ms", "--ca-file", "ca.pem"});
    EXPECT_EQ(std::tie(given.port, given.bind, given.ratesFile, given.help, given.referenceUrl, given.caFile),
              std::tuple(9000, "0.0.0.0", "/tmp/r.csv", true, "https://127.0.0.1/d.xml", "ca.pem"));
    EXPECT_EQ(given.referenceFiles, (std::vector<std::string>{"a.xml", "b.csv"}));
    EXPECT_EQ(given.refreshInterval, std::chrono::milliseconds(100));
    EXPECT_EQ(parseOptions({"--refresh=8784h"}).refreshInterval, std::chrono::hours(8784));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--port", "x"}, {"--port", "70000"}, {"--port"}, {"--colour"}, {"extra"}, {"--port=-1"},
             {"--refresh=6"}, {"--refresh=99ms"}, {"--refresh=8785h"}, {"--refresh=1.5h"}, {"--ecb-url=ftp://a/d.xml"},
             {"--ecb-url=http:///d.xml"}})
        EXPECT_THROW(parseOptions(bad), RunTimeError) << bad.front();
    EXPECT_NE(usage().find("--rates FILE"), std::string::npos);
}

}  // namespace
}  // namespace kavrel::rates
