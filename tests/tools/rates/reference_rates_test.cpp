#include "reference_rates.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/run_time_error.h"
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

}  // namespace
}  // namespace kavrel::rates
