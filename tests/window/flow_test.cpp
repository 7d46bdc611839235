#include "window/flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "core/text.h"
#include "result_page.h"
#include "scripted_view.h"

namespace kavrel {
namespace {

using ::testing::ElementsAre;

class FlowTest : public ::testing::Test {
public:
    ScriptedView view;
    std::vector<double> amounts;  // one per request
    std::function<std::u16string()> answer = [] { return kResultPage; };
    ConversionFlow flow{view, [this](double amount, const std::u16string& from, const std::u16string& to) {
                            view.log.push_back("GetCD " + text::ToUtf8(from) + " " + text::ToUtf8(to));
                            amounts.push_back(amount);
                            return answer();
                        }};
};

TEST_F(FlowTest, ConvertRunsTheStepsInOrder) {
    flow.Command1_Click();
    EXPECT_THAT(view.log, ElementsAre("amount?", "result=", "from?", "to?", "status=Retrieving Rates...", "disable",
                                      "pointer=11", "events", "amount?", "GetCD USD EUR", "status=", "enable",
                                      "pointer=0", "result=81.23 @ 0.8123 per Unit"));
    EXPECT_THAT(amounts, ElementsAre(100.0));
    EXPECT_EQ(flow.LastResult(), u"0.8123~81.23");
}

TEST_F(FlowTest, TheTimerRetrievesOnlyWhileTheBoxIsTickedAndSendsAnEmptyAmountAsZero) {
    view.amount.clear();
    flow.Command1_Click();  // Convert first writes "1" into the empty box
    EXPECT_EQ(view.amount, u"1");
    view.amount.clear();
    for (const auto boxValue : {CheckBoxValue::Checked, CheckBoxValue::Unchecked, CheckBoxValue::Grayed}) {
        view.checkValue = boxValue;
        flow.Check1_Click();
        flow.Timer1_Timer();
    }
    EXPECT_EQ(view.amount, u"");
    EXPECT_THAT(amounts, ElementsAre(1.0, 0.0));
}

// A failure ends the retrieval quietly: nothing escapes, no result is shown, and a
// busy state that was entered is left. (The flow fuzz target holds every page and
// every failing view operation to that; these are the failures it cannot make.)
TEST_F(FlowTest, FailuresEndTheRetrievalQuietly) {
    // What goes wrong, the requests sent and the last view operations.
    const std::tuple<const char*, std::function<void(FlowTest&)>, std::size_t, std::vector<std::string>> cases[] = {
        {"code without a closing bracket", [](FlowTest& t) { t.view.to = u"Euro"; }, 0, {"from?", "to?"}},
        {"out of memory in the download",
         [](FlowTest& t) { t.answer = []() -> std::u16string { throw std::bad_alloc(); }; },
         1,
         {"status=", "enable", "pointer=0"}},
        {"window closed by the pending events",
         [](FlowTest& t) { t.view.pendingEvents = [] { return false; }; },
         0,
         {"pointer=11", "events"}},
    };
    for (const auto& [name, arrange, requestsSent, lastEntries] : cases) {
        SCOPED_TRACE(name);
        view = ScriptedView();
        amounts.clear();
        answer = [] { return kResultPage; };
        arrange(*this);
        EXPECT_NO_THROW(flow.Command1_Click());
        EXPECT_EQ(amounts.size(), requestsSent);
        ASSERT_GE(view.log.size(), lastEntries.size());
        EXPECT_EQ(std::vector(view.log.end() - std::ssize(lastEntries), view.log.end()), lastEntries);
        EXPECT_EQ(flow.LastResult(), u"");
    }
}

TEST_F(FlowTest, AProgrammingFaultIsNotSwallowedAndTheNextClickStillRuns) {
    answer = []() -> std::u16string { throw std::logic_error("fault"); };
    EXPECT_THROW(flow.Command1_Click(), std::logic_error);
    answer = [] { return kResultPage; };
    flow.Command1_Click();
    EXPECT_EQ(view.log.back(), "result=81.23 @ 0.8123 per Unit");
}

TEST_F(FlowTest, EventsDeliveredDuringARetrievalDoNotStartAnother) {
    view.checkValue = CheckBoxValue::Checked;
    flow.Check1_Click();
    view.pendingEvents = [this] {
        flow.Timer1_Timer();
        flow.Command1_Click();
        return true;
    };
    flow.Timer1_Timer();
    flow.Timer1_Timer();
    EXPECT_EQ(amounts.size(), 2u);
}

}  // namespace
}  // namespace kavrel
