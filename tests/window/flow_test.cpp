#include "window/flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "result_page.h"

namespace kavrel {
namespace {

using ::testing::ElementsAre;

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Records every view operation in order, as text.
class RecordingView : public ConversionView {
public:
    std::u16string from = u"U.S. Dollar (USD)", to = u"Euro (EUR)", amount = u"100";
    int checkValue = 0;
    std::vector<std::string> log;

    std::u16string FromText() override { return record("from?", from); }
    std::u16string ToText() override { return record("to?", to); }
    std::u16string AmountText() override { return record("amount?", amount); }
    void SetAmountText(const std::u16string& digits) override {
        amount = digits;
        log.push_back("amount=" + narrow(digits));
    }
    void SetStatusText(const std::u16string& status) override { log.push_back("status=" + narrow(status)); }
    void SetConvertEnabled(bool enabled) override { log.push_back(enabled ? "enable" : "disable"); }
    void SetMousePointer(MousePointer pointer) override {
        log.push_back("pointer=" + std::to_string(static_cast<int>(pointer)));
    }
    void ProcessPendingEvents() override { log.push_back("events"); }
    void SetResultText(const std::u16string& result) override { log.push_back("result=" + narrow(result)); }
    int AutoRetrieveBoxValue() override { return checkValue; }

private:
    std::u16string record(const char* what, const std::u16string& value) {
        log.push_back(what);
        return value;
    }
};

struct Request {
    double amount;
    std::u16string from, to;
};

class FlowTest : public ::testing::Test {
protected:
    RecordingView view;
    std::vector<Request> requests;
    std::u16string page = kResultPage;
    ConversionFlow flow{view, [this](double amount, const std::u16string& from, const std::u16string& to) {
                            view.log.push_back("GetCD");
                            requests.push_back({amount, from, to});
                            return page;
                        }};
};

TEST_F(FlowTest, ConvertRunsTheStepsInOrder) {
    flow.Command1_Click();
    EXPECT_THAT(view.log, ElementsAre("amount?", "result=", "from?", "to?", "status=Retrieving Rates...", "disable",
                                      "pointer=11", "events", "amount?", "GetCD", "status=", "enable", "pointer=0",
                                      "result=81.23 @ 0.8123 per Unit"));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].amount, 100.0);
    EXPECT_EQ(requests[0].from, u"USD");
    EXPECT_EQ(requests[0].to, u"EUR");
    EXPECT_EQ(flow.LastResult(), u"0.8123~81.23");
}

TEST_F(FlowTest, EmptyAmountBecomesOneOnConvertButZeroOnTheTimer) {
    view.amount.clear();
    flow.Command1_Click();
    EXPECT_EQ(view.amount, u"1");
    view.amount.clear();
    view.checkValue = 1;
    flow.Check1_Click();
    flow.Timer1_Timer();
    EXPECT_EQ(view.amount, u"");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].amount, 1.0);
    EXPECT_EQ(requests[1].amount, 0.0);
}

TEST_F(FlowTest, CheckBoxSwitchesAutoRetrieveOnlyWhenTicked) {
    for (auto [value, expected] : {std::pair{1, true}, {0, false}, {2, false}}) {
        view.checkValue = value;
        flow.Check1_Click();
        EXPECT_EQ(flow.AutoRetrieve(), expected) << value;
    }
    view.log.clear();
    flow.Timer1_Timer();
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(requests.empty());
}

TEST_F(FlowTest, SecondFieldComesFirstAndExtraPiecesAreDropped) {
    const auto resultFor = [this](const std::u16string& fourth, const std::u16string& fifth) {
        page = u"Currency Conversion Results<table class=g><tr align=c></tr><tr align=r><td>1<td>2<td>3<td>" +
               fourth + u"</td><td><b>" + fifth + u"</b></td></tr></table>";
        flow.Command1_Click();
        return view.log.back();
    };
    EXPECT_EQ(resultFor(u"", u""), "result= @  per Unit");
    EXPECT_EQ(resultFor(u"1~2", u"3"), "result=2 @ 1 per Unit");
}

TEST_F(FlowTest, UnextractableCodeFailsBeforeTheBusyState) {
    view.to = u"Euro";
    flow.Command1_Click();
    EXPECT_THAT(view.log, ElementsAre("amount?", "result=", "from?", "to?"));
    EXPECT_TRUE(requests.empty());
}

TEST_F(FlowTest, FailuresAfterTheBusyStateLeaveItAndKeepTheLastResult) {
    flow.Command1_Click();
    const std::vector<std::string> idleAgain{"status=", "enable", "pointer=0"};

    page = u"";  // offline, or no result table
    view.log.clear();
    flow.Command1_Click();
    EXPECT_EQ(std::vector<std::string>(view.log.end() - 3, view.log.end()), idleAgain);
    EXPECT_EQ(flow.LastResult(), u"0.8123~81.23");

    view.amount = std::u16string(400, u'9');  // overflow
    view.log.clear();
    flow.Command1_Click();
    EXPECT_EQ(std::vector<std::string>(view.log.end() - 3, view.log.end()), idleAgain);
    EXPECT_EQ(requests.size(), 2u);
}

TEST(Flow, ErrorsFromTheFetcherEndTheRetrievalQuietly) {
    RecordingView view;
    for (int kind = 0; kind < 2; ++kind) {
        ConversionFlow flow{view, [kind](double, const std::u16string&, const std::u16string&) -> std::u16string {
                                if (kind == 0) throw RunTimeError(ErrorKind::MissingSystemFunction, "no wininet");
                                throw std::bad_alloc();
                            }};
        view.log.clear();
        EXPECT_NO_THROW(flow.Command1_Click());
        EXPECT_EQ(view.log.back(), "pointer=0");
    }
}

TEST(Flow, EventsDeliveredDuringARetrievalDoNotStartAnother) {
    int fetches = 0;
    ConversionFlow* running = nullptr;
    class NestingView : public RecordingView {
    public:
        ConversionFlow** flow = nullptr;
        void ProcessPendingEvents() override {
            (*flow)->Timer1_Timer();
            (*flow)->Command1_Click();
        }
    } nesting;
    nesting.flow = &running;
    nesting.checkValue = 1;
    ConversionFlow flow{nesting, [&](double, const std::u16string&, const std::u16string&) {
                            ++fetches;
                            return kResultPage;
                        }};
    running = &flow;
    flow.Check1_Click();
    flow.Timer1_Timer();
    EXPECT_EQ(fetches, 1);
    EXPECT_FALSE(flow.Retrieving());
}

}  // namespace
}  // namespace kavrel
