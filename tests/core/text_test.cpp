#include "core/text.h"

#include <gtest/gtest.h>

#include "core/run_time_error.h"

namespace kavrel::text {
namespace {

// The parser's own tests prove these rules on pages; here are the edges no page reaches.
TEST(Text, CountsFromOneFoldsOnlyAsciiLettersAndRefusesImpossibleCuts) {
    EXPECT_EQ(Position(u"x<TABLE", u"<table", Case::IgnoreAsciiLetters), 2u);
    EXPECT_EQ(Position(u"\u00C9", u"\u00E9", Case::IgnoreAsciiLetters), 0u);
    EXPECT_EQ(From(u"abc", 4), u"");
    EXPECT_THROW(From(u"abc", 0), RunTimeError);
    EXPECT_THROW(FirstChars(u"abc", -1), RunTimeError);
    EXPECT_EQ(Split(u"~a~~", u"~"), (std::vector<std::u16string>{u"", u"a", u"", u""}));
}

TEST(Text, Utf8CoversEveryPlaneAndReplacesALoneSurrogate) {
    EXPECT_EQ(ToUtf8(u"A\u00E9\u20AC\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kavrel::text
