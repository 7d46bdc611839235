// The rate table and the answer to a query.
#include "conversion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "core/run_time_error.h"
#include "core/text.h"
#include "input/catalogue.h"
#include "starting_rates.h"
#include "retrieval/request.h"

namespace kavrel::rates {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

constexpr auto npos = std::string::npos;
const std::string kHeader = "code,usd_value,date,source\n";
// A CRLF line and a blank one on the way.
const RateTable kTable = RateTable::Parse(
    kHeader + "USD,1,2022-09-05,base\r\nEUR,0.99,2022-09-05,u\n\nGBP,1.15,2022-08-01,u\nTINY,1e-300,2022-09-05,u\n");

TEST(RateTable, RefusesAMalformedTableNamingTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"code,value\nUSD,1,2022-09-05,x\n", "line 1: expected the header"},
        {kHeader + "USD,1,2022-09-05\n", "line 2: expected 4 fields"},
        {kHeader + "usd,1,2022-09-05,x\n", "line 2: code"},
        {kHeader + "USD,inf,2022-09-05,x\n", "usd_value \"inf\""},
        {kHeader + "USD,1,5.9.2022,x\n", "date"},
        {kHeader + "USD,1,2022-09-05,x\nEUR,1,2022-09-05,x\nUSD,1,2022-09-05,y\n", "line 4: code USD repeated"},
    };
    for (const auto& [csv, expected] : cases)
        EXPECT_THAT([&] { RateTable::Parse(csv); }, ThrowsMessage<RunTimeError>(HasSubstr(expected))) << csv;
    EXPECT_THROW(RateTable::Load("/nonexistent/rates.csv"), RunTimeError);
}

TEST(ShippedTable, PricesEveryCatalogueCode) {
    const auto shipped = BuiltInRateTable();
    for (const auto entry : CurrencyCatalogue) {
        const auto code = text::ToUtf8(ExtractCode(entry));
        EXPECT_TRUE(std::holds_alternative<Conversion>(Convert(shipped, {"100", code, "USD"}))) << code;
    }
}

TEST(ParseAmount, ReadsWhatKavrelSendsAndNothingElse) {
    // clang-format off
    const std::pair<const char*, double> accepted[] = {{"007", 7},        {"1E+15", 1e15}, {"1,5E+15", 1.5e15},
                                                       {"1E 15", 1e15},   {"2e-3", 0.002}, {".5", 0.5},
                                                       {"3.", 3}};
    for (const auto& [text, value] : accepted) EXPECT_EQ(ParseAmount(text), value) << text;
    const std::vector<std::string> refused{"", ".", "-1", "1e", "1e+", "1.2.3", "inf", " 1", "1e999", "E5",
                                           std::string(100000, '9')};  // beyond a double, no stack overflow
    // clang-format on
    for (const auto& text : refused) EXPECT_FALSE(ParseAmount(text).has_value()) << text.substr(0, 20);
}

TEST(Convert, CrossRatesGoThroughTheDollarAtTheOlderDateOrARefusalSaysWhy) {
    const auto c = std::get<Conversion>(Convert(kTable, {"100", "eur", "GBP"}));
    EXPECT_EQ(c.fromCode + " " + c.toCode + " " + c.date, "EUR GBP 2022-08-01");
    EXPECT_DOUBLE_EQ(c.rate, 0.99 / 1.15);
    EXPECT_DOUBLE_EQ(c.result, 100 * 0.99 / 1.15);

    using enum RefusalStatus;
    const std::tuple<ConversionQuery, RefusalStatus, const char*> cases[] = {
        {{std::nullopt, "USD", "EUR"}, BadRequest, "(amt)"},
        {{"1", "", "EUR"}, BadRequest, "(from)"},
        {{"1", "USD", std::nullopt}, BadRequest, "(to)"},
        {{"-5", "USD", "EUR"}, BadRequest, "negative"},
        {{"1,2,3", "USD", "EUR"}, BadRequest, "not a finite number"},
        {{"1", "USD", "XYZ"}, Unprocessable, "\"XYZ\""},
        {{"1e300", "USD", "TINY"}, Unprocessable, "too large"},  // beyond a double
    };
    for (const auto& [query, status, reason] : cases) {
        const auto answer = Convert(kTable, query);
        const auto* refusal = std::get_if<Refusal>(&answer);
        ASSERT_NE(refusal, nullptr) << reason;
        EXPECT_EQ(refusal->status, status) << reason;
        EXPECT_NE(refusal->reason.find(reason), npos) << refusal->reason;
    }
}

}  // namespace
}  // namespace kavrel::rates
