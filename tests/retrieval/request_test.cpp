#include "retrieval/request.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

#include "core/run_time_error.h"
#include "core/text.h"
#include "outcome.h"
#include "retrieval/rate_page_request.h"

namespace kavrel {
namespace {

TEST(ExtractCode, CutsTheFirstBracketedGroup) {
    const std::pair<std::u16string, std::variant<std::u16string, ErrorKind>> cases[] = {
        {u"CFA Franc (BCEAO) (XOF)", u"BCEAO"},     {u"USD)", u"USD"}, {u"Odd ()", u""}, {u" (usd )", u"usd "},
        {u"Euro (EUR", ErrorKind::InvalidArgument},
    };
    for (const auto& [selection, code] : cases)
        EXPECT_EQ(Outcome<std::u16string>([&] { return ExtractCode(selection); }), code) << text::ToUtf8(selection);
}

TEST(AmountValue, ReadsDigitsThatTheRequestCanCarry) {
    // (That an accepted amount's text reads back as a finite double is the amount fuzz target's.)
    const std::u16string belowLargest = u"179769313486231" + std::u16string(294, u'0');
    const std::pair<std::u16string, std::variant<double, ErrorKind>> cases[] = {
        {u"", 0.0},
        {u"100", 100.0},
        {belowLargest, 1.79769313486231e308},
        {std::u16string(400, u'9'), ErrorKind::Overflow}};
    for (const auto& [digits, value] : cases)
        EXPECT_EQ(Outcome<double>([&] { return AmountValue(digits); }), value) << digits.size() << " digits";
}

TEST(AmountText, WritesFifteenSignificantDigits) {
    const std::tuple<double, char16_t, std::variant<std::u16string, ErrorKind>> cases[] = {
        {0, u'.', u"0"},        {999999999999999, u'.', u"999999999999999"},
        {1e15, u'.', u"1E+15"}, {1234567890123456789.0, u'.', u"1.23456789012346E+18"},
        {2.5, u',', u"2,5"},    {std::numeric_limits<double>::infinity(), u'.', ErrorKind::Overflow}};
    for (const auto& [amount, separator, expected] : cases)
        EXPECT_EQ(Outcome<std::u16string>([&] { return AmountText(amount, separator); }), expected) << amount;
}

TEST(RequestUrl, JoinsThePiecesAndEncodesEach) {
    EXPECT_EQ(RequestUrl(u"http://h", 1.5e15, u"A", u"B", u','),
              u"http://h/currency/convert?amt=1%2C5E%2B15&from=A&to=B&submit=Convert");
    // Typed codes cannot break the query.
    EXPECT_EQ(RequestUrl(u"http://h", 1, u"US D&to=X-._~", u"\u00e9/#?", u'.'),
              u"http://h/currency/convert?amt=1&from=US%20D%26to%3DX-._~&to=%C3%A9%2F%23%3F&submit=Convert");
}

// One request, for the URL of the amount, the codes and the settings; none while offline.
TEST(GetCD, AsksOnlyWhenOnline) {
    struct : RateNetwork {
        bool connected = true;
        std::u16string requested;
        bool IsConnected() override { return connected; }
        std::u16string GetPageSource(const std::u16string& url) override { return requested += url, u"page"; }
    } network;
    const RateRequestSettings settings{u"http://h", u','};
    EXPECT_EQ(GetCD(2.5, u"ALL", u"DZD", settings, network), u"page");
    network.connected = false;
    EXPECT_EQ(GetCD(2.5, u"ALL", u"DZD", settings, network), u"");
    EXPECT_EQ(network.requested, u"http://h/currency/convert?amt=2%2C5&from=ALL&to=DZD&submit=Convert");
}

}  // namespace
}  // namespace kavrel
