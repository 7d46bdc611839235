#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "core/text.h"
#include "input/amount_filter.h"
#include "input/catalogue.h"
#include "retrieval/request.h"

namespace kavrel {
namespace {

TEST(OnlyDigits, KeepsAsciiDigitsAndDropsEverythingElse) {
    // Sign, separators, blank, letter, and full-width, Arabic-Indic and superscript digits.
    EXPECT_EQ(OnlyDigits(u"-1,234.50 x\uFF11\u0661\u00B2"), u"123450");
}

// Each ends in " (ABC)" and yields a code of its own; they are ordered ignoring the case of ASCII letters.
TEST(CurrencyCatalogue, EntriesEndInAThreeLetterCodeYieldDistinctCodesAndAreInOrder) {
    const std::regex endsInCode(R"( \([A-Z]{3}\)$)");
    std::set<std::u16string> codes;
    std::u16string previous;
    for (const auto entry : CurrencyCatalogue) {
        std::u16string key(entry);
        EXPECT_TRUE(std::regex_search(text::ToUtf8(key), endsInCode)) << text::ToUtf8(key);
        for (auto& c : key)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        EXPECT_LT(previous, key) << text::ToUtf8(key);  // punctuation sorts first
        previous = key;
        codes.insert(ExtractCode(entry));  // "CFA Franc (BCEAO) (XOF)" gives BCEAO
    }
    EXPECT_EQ(codes.size(), CurrencyCatalogue.size());
}

}  // namespace
}  // namespace kavrel
