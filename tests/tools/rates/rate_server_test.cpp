// The service's HTTP side on loopback: its answers and its stop.
#include "rate_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "loopback_servers.h"
#include "retrieval/result_page_parser.h"

namespace kavrel::rates::testing {
namespace {

constexpr auto npos = std::string::npos;

std::u16string PairOf(const httplib::Result& result) {
    return parsetex(std::u16string(result->body.begin(), result->body.end()));
}

TEST(RateServer, AnswersTheQueryWithThePageKavrelReadsOrRefusesItWithAStatus) {
    RunningServer running(kRates);
    auto client = running.Client();
    const auto result = client.Get("/currency/convert?amt=100&from=EUR&to=GBP&submit=Convert");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(PairOf(result), u"0.86087~86.09");

    const std::pair<const char*, int> refused[] = {{"/currency/convert?amt=1&from=XYZ&to=USD", 422},
                                                   {"/currency/convert?amt=abc&from=USD&to=EUR", 400},
                                                   {"/nowhere", 404}};
    for (const auto& [path, status] : refused) {
        const auto answer = client.Get(path);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, status) << path;
        EXPECT_NE(answer->body.find("</html>"), npos) << path;  // a page of ours
        EXPECT_THROW(PairOf(answer), RunTimeError) << path;
    }
}

TEST(RateServer, AnswersSupervisorsWithTheDateOfTheRatesInUseOnceRatesAreLoaded) {
    RunningServer running(std::nullopt);
    auto client = running.Client();
    const auto answer = [&](const char* path) {
        const auto result = client.Get(path);
        return result ? std::to_string(result->status) + " " + result->body : "none";
    };
    for (const char* path : {"/healthz", "/", "/currency/convert?amt=1&from=USD&to=EUR"})
        EXPECT_TRUE(answer(path).starts_with("503 ")) << path;
    running.server.Publish(kRates);
    EXPECT_EQ(answer("/healthz"), "200 2022-09-05\n");  // the table's date while no bank file is in use
    running.server.Publish({kTable, {"2022-09-05", "", {{"2024-01-05", "f", 3}, {"2024-01-08", "unused", 0}}, ""}});
    EXPECT_EQ(answer("/healthz"), "200 2024-01-05\n");  // the newest bank file whose rates are in use
}

// Tables swapped while requests are served: every answer is one whole table's, its rate with its date.
TEST(RateServer, AnswersFromOneWholeTableWhileTablesAreSwapped) {
    const std::string csv = "code,usd_value,date,source\n";
    const ServedRates tables[] = {{RateTable::Parse(csv + "EUR,1,2024-01-04,t\nGBP,1.25,2024-01-04,t\n"), {}},
                                  {RateTable::Parse(csv + "EUR,0.9,2024-01-05,t\nGBP,1,2024-01-05,t\n"), {}}};
    const std::string answers[] = {"1 EUR = 0.8 GBP at the reference rates of 2024-01-04.",
                                   "1 EUR = 0.9 GBP at the reference rates of 2024-01-05."};
    RunningServer running(tables[0]);
    std::atomic<int> of[3] = {};  // answers of the first table, of the second, of neither
    {
        std::vector<std::jthread> clients;
        for (int i = 0; i < 4; ++i)
            clients.emplace_back([&](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    const auto result = running.Client().Get("/currency/convert?amt=100&from=EUR&to=GBP");
                    const std::string body = result ? result->body : "";
                    ++of[body.find(answers[0]) != npos ? 0 : body.find(answers[1]) != npos ? 1 : 2];
                }
            });
        for (int swap = 1; of[0] + of[1] + of[2] < 2000; ++swap) running.server.Publish(tables[swap % 2]);
    }
    EXPECT_GT(of[0], 0);
    EXPECT_GT(of[1], 0);
    EXPECT_EQ(of[2], 0);
}

// main's signal thread may ask for the stop before Run() has begun; a stop
// while running is the program's own test, by SIGTERM.
TEST(RateServer, StopsWhenAskedBeforeRunningAndRefusesAPortInUse) {
    RateServer early(kRates, [](const std::string&) {});
    const int held = early.Bind(kLoopback, 0);
    early.Stop();
    early.Run();  // returns at once
    EXPECT_THROW(RateServer(kRates, [](const std::string&) {}).Bind(kLoopback, held), RunTimeError);
}

}  // namespace
}  // namespace kavrel::rates::testing
