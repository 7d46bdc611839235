// The answer to a query: the conversion and the pages it is written on.
#include "conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/run_time_error.h"
#include "core/text.h"
#include "page.h"
#include "retrieval/result_page_parser.h"

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
    // Amounts that parseAmount refuses, one for all: its own test has the rest.
    const ConversionQuery bad[] = {{std::nullopt, "USD", "EUR"}, {"", "USD", "EUR"}, {"1", std::nullopt, "EUR"},
                                   {"1", "USD", ""}, {"1", "USD", std::nullopt}, {"-5", "USD", "EUR"}};
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

std::u16string widened(const std::string& page) { return std::u16string(page.begin(), page.end()); }

TEST(NumberFormat, RatesKeepSixSignificantDigitsAmountsTwoDecimals) {
    const std::pair<double, const char*> rates[] = {
        {0.8123, "0.8123"},   {1.0, "1"},           {14920.634, "14920.6"}, {1234567.89, "1234568"},
        {9.9999996, "10"},    {0.000123456789, "0.000123457"}, {1e-6, "0.000001"}, {9.999999e-7, "0.000001"},
        {1.2e-7, "1.2E-07"},  {2.857142857e-42, "2.85714E-42"}, {1e15, "1E+15"}, {123456789012345.0, "123456789012345"},
        {0.0, "0"}};
    for (const auto& [value, text] : rates) EXPECT_EQ(formatRate(value), text) << value;

    const std::pair<double, const char*> amounts[] = {
        {81.234, "81.23"}, {81.235001, "81.24"}, {0.0, "0.00"}, {1e15, "1000000000000000.00"}, {0.01, "0.01"},
        {0.00152449, "0.00152"}, {0.0099996, "0.01"}, {1e-9, "1E-09"}};
    for (const auto& [value, text] : amounts) EXPECT_EQ(formatAmount(value), text) << value;
}

TEST(ResultPage, KavrelReadsTheRateAndTheAmount) {
    const Conversion conversion{"EUR", "GBP", 100, 0.86086956521, 86.086956521, "2022-09-05"};
    const auto page = resultPage(conversion);
    EXPECT_EQ(parsetex(widened(page)), u"0.86087~86.09");
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("<title>EUR to GBP"), std::string::npos);
    EXPECT_NE(page.find("<td>100.00</td>"), std::string::npos);

    // Whatever the size, both fields read back as the numbers the page was written from.
    const Conversion extremes[] = {{"USD", "VEB", 1e15, 7.8656e14, 7.8656e29, "2022-09-05"},
                                   {"ZWD", "USD", 100, 2.857142857e-42, 2.857142857e-40, "2015-06-15"}};
    for (const auto& c : extremes) {
        const auto pair = text::toUtf8(parsetex(widened(resultPage(c))));
        const auto tilde = pair.find('~');
        EXPECT_NEAR(std::stod(pair.substr(0, tilde)), c.rate, c.rate * 1e-5) << pair;
        EXPECT_NEAR(std::stod(pair.substr(tilde + 1)), c.result, std::max(c.result * 1e-15, 0.005)) << pair;
    }
}

TEST(OtherPages, HoldNoResultTableAndEscapeTheirText) {
    const auto refusal = refusalPage({RefusalStatus::Unprocessable, "The code \"<b>&x\" is unknown."});
    EXPECT_NE(refusal.find("&quot;&lt;b&gt;&amp;x&quot;"), std::string::npos);
    EXPECT_EQ(refusal.find("<b>&x"), std::string::npos);
    EXPECT_THROW(parsetex(widened(refusal)), RunTimeError);

    const auto table = RateTable::parse(
        "code,usd_value,date,source\nEUR,0.99,2022-09-05,units <euro> & co\nUSD,1,2022-09-06,base\n");
    const auto home = homePage(table, "2026-12-06T22:55:00Z");
    EXPECT_THROW(parsetex(widened(home)), RunTimeError);
    EXPECT_NE(home.find("<td>EUR</td><td class=\"rate\">0.99</td><td class=\"rate\">1.0101</td>"), std::string::npos);
    EXPECT_NE(home.find("units &lt;euro&gt; &amp; co"), std::string::npos);
    EXPECT_NE(home.find("Most rates are of 2022-09-06"), std::string::npos);  // a tie goes to the later date
    EXPECT_NE(home.find("Newest rate: <b>2022-09-06</b>. Rates loaded at 2026-12-06T22:55:00Z."), std::string::npos);
    EXPECT_NE(home.find("Kavrel is"), std::string::npos);

    EXPECT_EQ(htmlEscape("a'b\"c<d>e&f"), "a&#39;b&quot;c&lt;d&gt;e&amp;f");
    EXPECT_NE(notFoundPage("/x<y").find("/x&lt;y"), std::string::npos);
}

}  // namespace
}  // namespace kavrel::rates
