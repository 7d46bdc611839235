#include "input/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "retrieval/request.h"

namespace kavrel {
namespace {

bool isUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }

TEST(CurrencyCatalogue, EveryEntryEndsInAThreeLetterCodeAndYieldsADistinctCode) {
    std::set<std::u16string> codes;
    for (const auto entry : CurrencyCatalogue) {
        const auto tail = entry.substr(entry.size() - 6);
        EXPECT_TRUE(tail[0] == u' ' && tail[1] == u'(' && isUpper(tail[2]) && isUpper(tail[3]) && isUpper(tail[4]) &&
                    tail[5] == u')')
            << std::string(entry.begin(), entry.end());
        codes.insert(extractCode(entry));
    }
    EXPECT_EQ(codes.size(), CurrencyCatalogue.size());
}

// Codes come from these texts by extractCode (see its own test): at 23 and 24
// the qualifier, not the last group, is what the service is asked for.
TEST(CurrencyCatalogue, KeepsTheTextsUsersKnowAtTheirPlaces) {
    const std::pair<std::size_t, std::u16string_view> cases[] = {
        {kDefaultFromPosition, u"Albanian Lek (ALL)"},
        {kDefaultToPosition, u"Algerian Dinar (DZD)"},
        {23, u"CFA Franc (BCEAO) (XOF)"},
        {24, u"CFA Franc (BEAC) (XAF)"},
        {36, u"Dijibouti Franc (DJF)"},  // spelling kept
        {135, u"Tonga Pa'anga (TOP)"},
        {136, u"Trinidad&Tobago Dollar (TTD)"},
        {148, u"Zimbabwe Dollar (ZWD)"},
    };
    for (const auto& [position, text] : cases) EXPECT_EQ(CurrencyCatalogue[position], text) << position;
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
