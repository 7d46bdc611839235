// The pages the service writes, and how it writes numbers in them.
#include "page.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel::rates {
namespace {

constexpr auto npos = std::string::npos;
const std::string kHeader = "code,usd_value,date,source\n";

TEST(NumberFormat, RatesKeepSixSignificantDigitsAmountsTwoDecimalsOrThreeDigitsBelowACent) {
    // clang-format off
    const std::pair<double, const char*> rates[] = {
        {0.8123, "0.8123"}, {1234567.89, "1234568"}, {9.9999996, "10"}, {9.999999e-7, "0.000001"},
        {1.2e-7, "1.2E-07"}, {1e15, "1E+15"}, {123456789012345.0, "123456789012345"}};
    for (const auto& [value, text] : rates) EXPECT_EQ(FormatRate(value), text) << value;
    const std::pair<double, const char*> amounts[] = {
        {81.235001, "81.24"}, {0.0, "0.00"}, {1e15, "1000000000000000.00"}, {0.00152449, "0.00152"},
        {0.0099996, "0.01"}, {1e-9, "1E-09"}};
    // clang-format on
    for (const auto& [value, text] : amounts) EXPECT_EQ(FormatAmount(value), text) << value;
}

TEST(Pages, EscapeTheirTextAndTheHomePageListsEveryRate) {
    EXPECT_EQ(HtmlEscape("a'b\"c<d>e&f"), "a&#39;b&quot;c&lt;d&gt;e&amp;f");
    EXPECT_NE(NotFoundPage("/x<y").find("/x&lt;y"), npos);
    EXPECT_NE(RefusalPage({RefusalStatus::Unprocessable, "\"<b>\""}).find("&quot;&lt;b&gt;&quot;"), npos);

    const auto table = RateTable::Parse(kHeader + "EUR,0.99,2022-09-05,units <euro>\nUSD,1,2022-09-06,base\n");
    EXPECT_EQ(table.MostCommonDate(), "2022-09-06");  // a tie goes to the later date
    const auto home =
        HomePage({table, {"2022-09-06", "", {{"2024-01-05", "x.xml", 31}, {"2021-01-04", "old.csv", 0}}, "offline"}},
                 "2026-12-06T22:55:00Z");
    for (const char* part :
         {"<td>EUR</td><td class=\"rate\">0.99</td><td class=\"rate\">1.0101</td>", "units &lt;euro&gt;",
          "Conversions go by the rates of <b>2024-01-05</b>", "rates of 2024-01-05 (x.xml) for 31 rates",
          "built-in rate table of 2022-09-06 for the rest", "Put in service at 2026-12-06T22:55:00Z.",
          "None of the rates of 2021-01-04 (old.csv) is used", "file could not be had: offline."})
        EXPECT_NE(home.find(part), npos) << part;
}

}  // namespace
}  // namespace kavrel::rates
