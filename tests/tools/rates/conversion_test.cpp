#include "conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kavrel::rates {
namespace {

const RateTable kTable = RateTable::parse(
    "code,usd_value,date,source\n"
    "USD,1,2022-09-05,base\n"
    "EUR,0.99,2022-09-05,u\n"
    "GBP,1.15,2022-08-01,u\n"
    "TINY,1e-300,2022-09-05,u\n");

Refusal refusalOf(const ConversionQuery& query) {
    const auto answer = convert(kTable, query);
    if (const auto* refusal = std::get_if<Refusal>(&answer)) return *refusal;
    ADD_FAILURE() << "query was answered";
    return {};
}

TEST(ParseAmount, ReadsWhatKavrelSends) {
    const std::pair<const char*, double> accepted[] = {
        {"0", 0},      {"100", 100},      {"007", 7},         {"1E+15", 1e15},  {"1.5E+15", 1.5e15},
        {"1,5E+15", 1.5e15}, {"1E 15", 1e15}, {"2e-3", 0.002}, {"12.50", 12.5}, {".5", 0.5}, {"3.", 3}};
    for (const auto& [text, value] : accepted) {
        const auto parsed = parseAmount(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_DOUBLE_EQ(*parsed, value) << text;
    }
    for (const char* text : {"", "-1", "+1", "abc", "1e", "1.2.3", "1,2,3", "inf", "nan", "0x10", " 1", "1 ", "1e999",
                             "E5", "1E++5"})
        EXPECT_FALSE(parseAmount(text).has_value()) << text;
}

TEST(Convert, CrossRatesGoThroughTheDollar) {
    const auto answer = convert(kTable, {"100", "eur", "GBP"});
    const auto& c = std::get<Conversion>(answer);
    EXPECT_EQ(c.fromCode, "EUR");
    EXPECT_EQ(c.toCode, "GBP");
    EXPECT_DOUBLE_EQ(c.rate, 0.99 / 1.15);
    EXPECT_DOUBLE_EQ(c.result, 100 * 0.99 / 1.15);
    EXPECT_EQ(c.date, "2022-08-01");  // the older of the two rates

    const auto same = std::get<Conversion>(convert(kTable, {"0", "USD", "USD"}));
    EXPECT_EQ(same.rate, 1.0);
    EXPECT_EQ(same.result, 0.0);
}

TEST(Convert, RefusesBadParametersWith400) {
    const ConversionQuery bad[] = {
        {std::nullopt, "USD", "EUR"}, {"", "USD", "EUR"}, {"1", std::nullopt, "EUR"}, {"1", "USD", ""},
        {"1", "USD", std::nullopt},   {"ten", "USD", "EUR"}, {"-5", "USD", "EUR"},   {"nan", "USD", "EUR"},
        {"1e400", "USD", "EUR"}};
    for (const auto& query : bad)
        EXPECT_EQ(refusalOf(query).status, RefusalStatus::BadRequest) << query.amount.value_or("(none)");
    EXPECT_NE(refusalOf({"-5", "USD", "EUR"}).reason.find("negative"), std::string::npos);
    EXPECT_NE(refusalOf({"1", "USD", std::nullopt}).reason.find("(to)"), std::string::npos);
}

TEST(Convert, RefusesWhatTheTableCannotAnswerWith422) {
    const auto unknown = refusalOf({"1", "USD", "XYZ"});
    EXPECT_EQ(unknown.status, RefusalStatus::Unprocessable);
    EXPECT_NE(unknown.reason.find("\"XYZ\""), std::string::npos);
    EXPECT_EQ(refusalOf({"1", "<b>", "USD"}).status, RefusalStatus::Unprocessable);
    EXPECT_EQ(refusalOf({"1e300", "USD", "TINY"}).status, RefusalStatus::Unprocessable);  // beyond a double
}

}  // namespace
}  // namespace kavrel::rates
