#include "retrieval/request.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "core/run_time_error.h"
#include "retrieval/rate_page_request.h"

namespace kavrel {
namespace {

TEST(ExtractCode, TakesTheFirstBracketedGroup) {
    EXPECT_EQ(extractCode(u"U.S. Dollar (USD)"), u"USD");
    EXPECT_EQ(extractCode(u"CFA Franc (BCEAO) (XOF)"), u"BCEAO");
    EXPECT_EQ(extractCode(u"USD)"), u"USD");
    EXPECT_EQ(extractCode(u"Odd ()"), u"");
    EXPECT_EQ(extractCode(u" (usd )"), u"usd ");
}

TEST(ExtractCode, FailsWithoutAClosingBracket) {
    for (const auto* selection : {u"", u"Euro (EUR", u"Euro"}) {
        try {
            extractCode(selection);
            ADD_FAILURE() << "no failure";
        } catch (const RunTimeError& error) {
            EXPECT_EQ(error.kind(), ErrorKind::InvalidArgument);
        }
    }
}

TEST(AmountValue, ReadsTheDigitString) {
    EXPECT_EQ(amountValue(u""), 0.0);
    EXPECT_EQ(amountValue(u"0"), 0.0);
    EXPECT_EQ(amountValue(u"100"), 100.0);
    EXPECT_EQ(amountValue(u"1000000000000000"), 1e15);
    EXPECT_EQ(amountValue(std::u16string(308, u'9')), 1e308);
    try {
        amountValue(std::u16string(400, u'9'));
        ADD_FAILURE() << "no overflow";
    } catch (const RunTimeError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::Overflow);
    }
}

TEST(AmountText, WritesFifteenSignificantDigits) {
    EXPECT_EQ(amountText(0, u'.'), u"0");
    EXPECT_EQ(amountText(100, u'.'), u"100");
    EXPECT_EQ(amountText(999999999999999, u'.'), u"999999999999999");
    EXPECT_EQ(amountText(1e15, u'.'), u"1E+15");
    EXPECT_EQ(amountText(1.5e15, u','), u"1,5E+15");
    EXPECT_EQ(amountText(1234567890123456789.0, u'.'), u"1.23456789012346E+18");
    EXPECT_EQ(amountText(1e300, u'.'), u"1E+300");
    EXPECT_EQ(amountText(2.5, u','), u"2,5");
}

TEST(RequestUrl, JoinsThePiecesInOrder) {
    EXPECT_EQ(requestUrl(u"http://rates.test", 100, u"USD", u"EUR", u'.'),
              u"http://rates.test/currency/convert?amt=100&from=USD&to=EUR&submit=Convert");
    EXPECT_EQ(requestUrl(u"http://h", 0, u"USD", u"EUR", u'.'),
              u"http://h/currency/convert?amt=0&from=USD&to=EUR&submit=Convert");
    EXPECT_EQ(requestUrl(u"http://h", 1e15, u"BCEAO", u"BEAC", u'.'),
              u"http://h/currency/convert?amt=1E%2B15&from=BCEAO&to=BEAC&submit=Convert");
    EXPECT_EQ(requestUrl(u"http://h", 1.5e15, u"A", u"B", u','),
              u"http://h/currency/convert?amt=1%2C5E%2B15&from=A&to=B&submit=Convert");
}

TEST(RequestUrl, TypedCodesCannotBreakTheQuery) {
    EXPECT_EQ(requestUrl(u"http://h", 1, u"US D&to=X", u"\u00e9/#?", u'.'),
              u"http://h/currency/convert?amt=1&from=US%20D%26to%3DX&to=%C3%A9%2F%23%3F&submit=Convert");
    EXPECT_EQ(encodeQueryComponent(u"a-b.c_d~e"), u"a-b.c_d~e");
}

class ScriptedNetwork : public RateNetwork {
public:
    bool connected = true;
    std::u16string requested;
    bool IsConnected() override { return connected; }
    std::u16string GetPageSource(const std::u16string& url) override {
        requested = url;
        return u"page";
    }
};

TEST(GetCD, AsksOnlyWhenOnline) {
    ScriptedNetwork network;
    const RateRequestSettings settings{u"http://h", u'.'};
    EXPECT_EQ(GetCD(5, u"ALL", u"DZD", settings, network), u"page");
    EXPECT_EQ(network.requested, u"http://h/currency/convert?amt=5&from=ALL&to=DZD&submit=Convert");

    network.connected = false;
    network.requested.clear();
    EXPECT_EQ(GetCD(5, u"ALL", u"DZD", settings, network), u"");
    EXPECT_TRUE(network.requested.empty());
}

}  // namespace
}  // namespace kavrel
