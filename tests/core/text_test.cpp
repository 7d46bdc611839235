#include "core/text.h"

#include <gtest/gtest.h>

#include "core/run_time_error.h"

namespace kavrel::text {
namespace {

ErrorKind kindOf(auto&& call) {
    try {
        call();
    } catch (const RunTimeError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::MissingSystemFunction;
}

TEST(Text, PositionsAreOneBasedAndCaseRulesDiffer) {
    EXPECT_EQ(position(u"abcabc", u"ca"), 3u);
    EXPECT_EQ(position(u"abc", u"x"), 0u);
    EXPECT_EQ(position(u"<TABLE class", u"<table", Case::Exact), 0u);
    EXPECT_EQ(position(u"x<TABLE class", u"<table", Case::IgnoreAsciiLetters), 2u);
    // Only A-Z fold: no other letters are considered equal.
    EXPECT_EQ(position(u"\u00C9", u"\u00E9", Case::IgnoreAsciiLetters), 0u);
}

TEST(Text, CuttingOutsideTheTextFollowsTheCountingRules) {
    EXPECT_EQ(from(u"abc", 2), u"bc");
    EXPECT_EQ(from(u"abc", 4), u"");
    EXPECT_EQ(from(u"abc", 99), u"");
    EXPECT_EQ(kindOf([] { from(u"abc", 0); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(firstChars(u"abc", 0), u"");
    EXPECT_EQ(firstChars(u"abc", 9), u"abc");
    EXPECT_EQ(kindOf([] { firstChars(u"abc", -1); }), ErrorKind::InvalidArgument);
}

TEST(Text, SplitKeepsEmptyPiecesAndPieceChecksItsIndex) {
    const auto pieces = split(u"~a~~b~", u"~");
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"", u"a", u"", u"b", u""}));
    EXPECT_EQ(split(u"none", u"~").size(), 1u);
    EXPECT_EQ(piece(pieces, 3), u"b");
    EXPECT_EQ(kindOf([&] { piece(pieces, 5); }), ErrorKind::IndexOutOfRange);
}

TEST(Text, Utf8CoversEveryPlane) {
    EXPECT_EQ(toUtf8(u"A\u00E9\u20AC\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kavrel::text
