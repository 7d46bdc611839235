#include <gtest/gtest.h>

#include <set>
#include <string>

#include "input/amount_filter.h"
#include "input/catalogue.h"
#include "retrieval/request.h"

namespace kavrel {
namespace {

TEST(OnlyDigits, KeepsAsciiDigitsAndDropsEverythingElse) {
    // Sign, separators, blank, letter, and full-width, Arabic-Indic and superscript digits.
    EXPECT_EQ(onlyDigits(u"-1,234.50 x\uFF11\u0661\u00B2"), u"123450");
}

bool isUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }

TEST(CurrencyCatalogue, EveryEntryEndsInAThreeLetterCodeAndYieldsADistinctCode) {
    std::set<std::u16string> codes;
    for (const auto entry : CurrencyCatalogue) {
        const auto tail = entry.substr(entry.size() - 6);
        EXPECT_TRUE(tail[0] == u' ' && tail[1] == u'(' && isUpper(tail[2]) && isUpper(tail[3]) && isUpper(tail[4]) &&
                    tail[5] == u')')
            << std::string(entry.begin(), entry.end());
        codes.insert(extractCode(entry));  // "CFA Franc (BCEAO) (XOF)" gives BCEAO
    }
    EXPECT_EQ(codes.size(), CurrencyCatalogue.size());
}

TEST(CurrencyCatalogue, IsOrderedIgnoringCaseWithPunctuationFirst) {
    const auto key = [](std::u16string_view text) {
        std::u16string folded(text);
        for (auto& c : folded)
            if (isUpper(c)) c = static_cast<char16_t>(c - u'A' + u'a');
        return folded;
    };
    for (std::size_t i = 1; i < CurrencyCatalogue.size(); ++i)
        EXPECT_LT(key(CurrencyCatalogue[i - 1]), key(CurrencyCatalogue[i])) << "position " << i;
}

}  // namespace
}  // namespace kavrel
