#include "input/amount_filter.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(OnlyDigits, KeepsAsciiDigitsAndDropsEverythingElse) {
    EXPECT_EQ(onlyDigits(u"12a3"), u"123");
    EXPECT_EQ(onlyDigits(u"1,234.50"), u"123450");
    EXPECT_EQ(onlyDigits(u"-5"), u"5");
    EXPECT_EQ(onlyDigits(u"\uFF11\uFF12\u0661\u00B2 /:"), u"");  // full-width, Arabic-Indic, superscript
    EXPECT_EQ(onlyDigits(u""), u"");
}

}  // namespace
}  // namespace kavrel
