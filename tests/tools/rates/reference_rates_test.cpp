// Euro reference rate files: each form read, a bad one refused at its fault, the rates merged onto the table.
#include "reference_rates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "core/run_time_error.h"

namespace kavrel::rates {
namespace {

using ::testing::StartsWith;
using ::testing::ThrowsMessage;

// A superseded day before the day in use: every day of an XML file is read, in any order.
const std::string kDailyXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<gesmes:Envelope xmlns:gesmes="http://www.gesmes.org/xml/2002-08-01" xmlns="http://www.ecb.int/vocabulary/2002-08-01/eurofxref">
<Cube><Cube time='2024-01-04'><Cube currency='USD' rate='1.5'/><Cube currency='JPY' rate='150'/></Cube>
<Cube time='2024-01-05'>
<Cube currency='USD' rate='1.0921'/><Cube currency='JPY' rate='157.22'/><Cube currency='GBP' rate='0.86053'/>
</Cube></Cube></gesmes:Envelope>
)";
const std::string kDailyCsv = "Date, USD, JPY, GBP, \r\n05 January 2024, 1.0921, 157.22, 0.86053, \r\n";
// Newest day first; JPY missing on the newest day, CYP retired long ago, DEM never quoted.
const std::string kHistoryCsv =
    "Date,USD,JPY,CYP,GBP,RUB,DEM,\n"
    "2024-01-05,1.0921,N/A,N/A,0.86053,N/A,N/A,\n"
    "2024-01-04,1.0953,158.1,N/A,0.8614,N/A,N/A,\n"
    "2022-03-01,1.1139,128.6,N/A,0.8347,117.3,N/A,\n"
    "2007-12-31,1.4721,166.5,0.585274,0.73335,35.986,N/A,\n";

TEST(ReferenceRates, ReadsTheDailyFileInEitherForm) {
    const std::tuple<const char*, double> expected[] = {
        {"USD", 1}, {"EUR", 1.0921}, {"JPY", 1.0921 / 157.22}, {"GBP", 1.0921 / 0.86053}};  // US dollars per unit
    for (const auto& text : {kDailyXml, kDailyCsv}) {
        const auto rates = ParseReferenceRates(text, "rates.file");
        ASSERT_EQ(rates.size(), std::size(expected)) << text;
        for (const auto& [code, usdValue] : expected) {
            const auto rate = std::find_if(rates.begin(), rates.end(), [&](const Rate& r) { return r.code == code; });
            ASSERT_NE(rate, rates.end()) << code;
            EXPECT_DOUBLE_EQ(rate->usdValue, usdValue) << code;
            EXPECT_EQ(rate->date, "2024-01-05") << code;
            EXPECT_TRUE(rate->source.ends_with("rates.file")) << rate->source;
        }
    }
}

// One text for each way a file is refused; the message names the file, the line and, in XML, the element.
TEST(ReferenceRates, RefusesABadFileNamingItAndTheFault) {
    const auto xmlWith = [](const std::string& quote) {
        return "<Envelope><Cube>\n<Cube time='2024-01-05'>\n<Cube currency='USD' rate='1.09'/>\n" + quote +
               "</Cube></Cube></Envelope>\n";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", "f: the file is empty"},
        {"Currency,Rate\nUSD,1.09\n", "f line 1: neither the XML nor a CSV form"},
        {"<Envelope><Cube time='2024-01-05'>\n<Cube currency='USD' rate='1.09'>\n</Envelope>", "f line 3: not XML"},
        {"<Envelope/>", "f: no <Cube time=\"...\"> element"},
        {xmlWith("<Cube currency='GBP' rate='inf'/>\n"),
         "f line 4, <Cube currency=\"GBP\" rate=\"inf\">: rate \"inf\" is not a positive number"},
        {xmlWith("<Cube currency='USD' rate='1.1'/>\n"),
         "f line 4, <Cube currency=\"USD\" rate=\"1.1\">: currency USD"},
        {xmlWith("<Cube currency='GBP' rate='1,09'/>\n"), "f line 4, <Cube currency=\"GBP\" rate=\"1,09\">: rate"},
        {"<Cube>\n<Cube time='2024-02-30'/></Cube>", "f line 2, <Cube time=\"2024-02-30\">: \"2024-02-30\" is not"},
        {"Date, USD, GBPX, \n05 January 2024, 1.09, 0.86, \n", "f line 1: currency code \"GBPX\""},
        {"Date,USD,USD,\n", "f line 1: USD named twice"},
        {"Date, USD, \n05 Janvier 2024, 1.09, \n", "f line 2: \"05 Janvier 2024\" is not a date"},
        {"Date,USD,GBP,\n2024-01-05,1.09,0.86,\n2024-01-04,1.09,\n", "f line 3: expected 3 fields, found 2"},
        {"Date,GBP,\n2024-01-05,0.86,\n", "f: no day has a US dollar rate"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_THAT([&] { ParseReferenceRates(text, "f"); }, ThrowsMessage<RunTimeError>(StartsWith(expected))) << text;

    const auto huge = std::filesystem::temp_directory_path() / ("kavrel-huge-" + std::to_string(::getpid()));
    std::ofstream(huge) << kDailyCsv;
    std::filesystem::resize_file(huge, std::uintmax_t{100} << 20);  // sparse: nothing is written
    EXPECT_THROW(LoadReferenceRates(huge), RunTimeError);
    std::filesystem::remove(huge);
    EXPECT_THROW(LoadReferenceRates("/nonexistent/rates.xml"), RunTimeError);
}

// From the history, each currency's newest rate, through the dollar of its day.
TEST(ReferenceRates, TakeThePlaceOfTheTablesRatesAndMoveTheirFixedFollowers) {
    const auto table = RateTable::Parse(
        "code,usd_value,date,source\n"
        "USD,1,2022-09-05,t\nEUR,0.99,2022-09-05,t\nGBP,1.15,2022-09-05,t\nXPD,1567,2023-03-31,t\n"
        "DEM,0.5062,2022-09-05,t\nBCEAO,0.00151,2022-09-05,t\nRUB,0.0158,2022-09-05,t\n");
    const std::tuple<const char*, double, const char*, const char*> expected[] = {
        {"EUR", 1.0921, "2024-01-05", "hist"},
        {"GBP", 1.0921 / 0.86053, "2024-01-05", "hist"},
        {"JPY", 1.0953 / 158.1, "2024-01-04", "hist"},                        // none on the 5th; new to the table
        {"XPD", 1567, "2023-03-31", "t"},                                     // only in the table
        {"RUB", 0.0158, "2022-09-05", "t"},                                   // the table's is newer
        {"DEM", 1.0921 / 1.95583, "2024-01-05", "fixed at 1.95583 per EUR"},  // legacy euro currency
        {"BCEAO", 1.0921 / 655.957, "2024-01-05", "fixed at 655.957 per EUR"},
    };
    const auto merged = WithReferenceRates(table, ParseReferenceRates(kHistoryCsv, "hist"));
    for (const auto& [code, usdValue, date, source] : expected) {
        const Rate* rate = merged.Find(code);
        ASSERT_NE(rate, nullptr) << code;
        EXPECT_DOUBLE_EQ(rate->usdValue, usdValue) << code;
        EXPECT_EQ(rate->date, date) << code;
        EXPECT_NE(rate->source.find(source), std::string::npos) << code << ": " << rate->source;
    }
    EXPECT_EQ(merged.Find("CYP"), nullptr);  // a fixed code the table lacks stays out
}

}  // namespace
}  // namespace kavrel::rates
