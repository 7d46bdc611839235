// Reference rates: the files read, merged into the table, and refreshed in service.
#include "reference_rates.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "core/run_time_error.h"
#include "options.h"
#include "reference_refresh.h"
#include "retrieval/result_page_parser.h"
#include "test_support.h"

namespace kavrel::rates {
namespace {

const std::string kDailyXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<gesmes:Envelope xmlns:gesmes="http://www.gesmes.org/xml/2002-08-01" xmlns="http://www.ecb.int/vocabulary/2002-08-01/eurofxref">
	<gesmes:subject>Reference rates</gesmes:subject>
	<Cube>
		<Cube time='2024-01-05'>
			<Cube currency='USD' rate='1.0921'/>
			<Cube currency='JPY' rate='157.22'/>
			<Cube currency='GBP' rate='0.86053'/>
		</Cube>
	</Cube>
</gesmes:Envelope>
)";
const std::string kDailyCsv = "Date, USD, JPY, GBP, \r\n05 January 2024, 1.0921, 157.22, 0.86053, \r\n";
// Newest day first; JPY missing on the newest day, CYP retired long ago, DEM never quoted.
const std::string kHistoryCsv =
    "Date,USD,JPY,CYP,GBP,RUB,DEM,\n"
    "2024-01-05,1.0921,N/A,N/A,0.86053,N/A,N/A,\n"
    "2024-01-04,1.0953,158.1,N/A,0.8614,N/A,N/A,\n"
    "2022-03-01,1.1139,128.6,N/A,0.8347,117.3,N/A,\n"
    "2007-12-31,1.4721,166.5,0.585274,0.73335,35.986,N/A,\n";

using Expected = std::tuple<const char*, double, const char*>;  // code, US dollars per unit, date

TEST(ReferenceRates, ReadsEachFormByItsContent) {
    const TempDir dir;
    const std::vector<Expected> daily{{"USD", 1, "2024-01-05"}, {"EUR", 1.0921, "2024-01-05"},
                                      {"JPY", 1.0921 / 157.22, "2024-01-05"}, {"GBP", 1.0921 / 0.86053, "2024-01-05"}};
    const std::pair<std::string, std::vector<Expected>> cases[] = {
        {kDailyXml, daily},
        {kDailyCsv, daily},
        // Each currency at its newest day, through the US dollar of that same day.
        {kHistoryCsv,
         {{"USD", 1, "2024-01-05"}, {"EUR", 1.0921, "2024-01-05"}, {"JPY", 1.0953 / 158.1, "2024-01-04"},
          {"CYP", 1.4721 / 0.585274, "2007-12-31"}, {"GBP", 1.0921 / 0.86053, "2024-01-05"},
          {"RUB", 1.1139 / 117.3, "2022-03-01"}}},
    };
    for (const auto& [text, expected] : cases) {
        const auto file = dir.write("rates", text);  // no telling name: the content decides
        const auto rates = loadReferenceRates(file);
        ASSERT_EQ(rates.size(), expected.size()) << text;
        for (const auto& [code, usdValue, date] : expected) {
            const auto rate = std::find_if(rates.begin(), rates.end(), [&](const Rate& r) { return r.code == code; });
            ASSERT_NE(rate, rates.end()) << code;
            EXPECT_DOUBLE_EQ(rate->usdValue, usdValue) << code;
            EXPECT_EQ(rate->date, date) << code;
            EXPECT_NE(rate->source.find(file.string()), std::string::npos) << rate->source;
        }
    }
}

TEST(ReferenceRates, RefusesABadFileNamingItAndTheFault) {
    const TempDir dir;
    const auto xmlWith = [](const std::string& day) {
        return "<Envelope><Cube>\n<Cube time='2024-01-05'>\n<Cube currency='USD' rate='1.09'/>\n" + day +
               "</Cube></Cube></Envelope>\n";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"Currency,Rate\nUSD,1.09\n", "line 1: neither the XML nor a CSV form"},
        {"", "the file is empty"},
        {"<Envelope><Cube time='2024-01-05'>\n<Cube currency='USD' rate='1.09'>\n</Envelope>", "line 3: not XML"},
        {"<Envelope/>", "no <Cube time=\"...\"> element"},
        {xmlWith("<Cube currency='GBP' rate='-0.86'/>\n"),
         "line 4, <Cube currency=\"GBP\" rate=\"-0.86\">: rate \"-0.86\" is not a positive number"},
        {xmlWith("<Cube currency='Gbp' rate='0.86'/>\n"), "line 4, <Cube currency=\"Gbp\" rate=\"0.86\">: currency"},
        {xmlWith("<Cube currency='USD' rate='1.1'/>\n"), "line 4, <Cube currency=\"USD\" rate=\"1.1\">: currency USD"},
        {"<Cube><Cube time='2024-02-30'><Cube currency='USD' rate='1'/></Cube></Cube>", "\"2024-02-30\" is not a date"},
        {"Date, USD, GBPX, \n05 January 2024, 1.09, 0.86, \n", "line 1: currency code \"GBPX\""},
        {"Date, USD, \n05 Janvier 2024, 1.09, \n", "line 2: \"05 Janvier 2024\" is not a date"},
        {"Date,USD,GBP,\n2024-01-05,1.09,0.86,\n2024-01-04,1.09,inf,\n", "line 3: rate \"inf\""},
        {"Date,USD,GBP,\n2024-01-05,1.09,\n", "line 2: expected 3 fields, found 2"},
        {"Date,USD,USD,\n", "line 1: USD named twice"},
        {"Date,GBP,\n2024-01-05,0.86,\n", "no day has a US dollar rate"},
    };
    for (const auto& [text, expected] : cases) {
        const auto file = dir.write("bad", text);
        try {
            loadReferenceRates(file);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const RunTimeError& error) {
            EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
        }
    }

    const auto huge = dir.write("huge", kDailyCsv);
    std::filesystem::resize_file(huge, std::uintmax_t{100} << 20);  // sparse: nothing is written
    EXPECT_THROW(loadReferenceRates(huge), RunTimeError);
    EXPECT_THROW(loadReferenceRates(dir.file("missing")), RunTimeError);
}

TEST(ReferenceRates, TakeThePlaceOfTheTablesRatesAndMoveTheirFixedFollowers) {
    const auto table = RateTable::parse(
        "code,usd_value,date,source\n"
        "USD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\nGBP,1.15,2022-09-05,t\nXPD,1567,2023-03-31,t\n"
        "DEM,0.5062,2022-09-05,t\nBCEAO,0.00151,2022-09-05,t\nRUB,0.0158,2022-09-05,t\n");
    const auto merged = withReferenceRates(table, parseReferenceRates(kHistoryCsv, "hist.csv"));
    const std::tuple<const char*, double, const char*, const char*> expected[] = {
        {"EUR", 1.0921, "2024-01-05", "hist.csv"},
        {"GBP", 1.0921 / 0.86053, "2024-01-05", "hist.csv"},
        {"JPY", 1.0953 / 158.1, "2024-01-04", "hist.csv"},                  // new to the table
        {"XPD", 1567, "2023-03-31", "t"},                                   // only in the table
        {"RUB", 0.0158, "2022-09-05", "t"},                                 // the table's is newer
        {"DEM", 1.0921 / 1.95583, "2024-01-05", "fixed at 1.95583 per EUR"},  // legacy euro currency
        {"BCEAO", 1.0921 / 655.957, "2024-01-05", "fixed at 655.957 per EUR"},
    };
    for (const auto& [code, usdValue, date, source] : expected) {
        const Rate* rate = merged.find(code);
        ASSERT_NE(rate, nullptr) << code;
        EXPECT_DOUBLE_EQ(rate->usdValue, usdValue) << code;
        EXPECT_EQ(rate->date, date) << code;
        EXPECT_NE(rate->source.find(source), std::string::npos) << code << ": " << rate->source;
    }
    EXPECT_EQ(merged.find("CYP"), nullptr);  // a fixed code the table lacks stays out
    EXPECT_EQ(merged.find("USD")->usdValue, 1.0);
}

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
        {{200, "<html><body>Maintenance</body></html>"}, "no <Cube time"},  // one of the bad files
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
