#include "input/amount_filter.h"

#include <gtest/gtest.h>

#include <utility>

namespace kavrel {
namespace {

TEST(OnlyDigits, KeepsAsciiDigitsAndDropsEverythingElse) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"12a3", u"123"},
        {u"1,234.50", u"123450"},
        {u"-5", u"5"},
        {u"\uFF11\uFF12\u0661\u00B2 /:", u""},  // full-width, Arabic-Indic, superscript
        {u"", u""},
    };
    for (const auto& [typed, kept] : cases) EXPECT_EQ(onlyDigits(typed), kept);
}

}  // namespace
}  // namespace kavrel
