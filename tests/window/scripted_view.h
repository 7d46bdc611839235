#pragma once
// A window for the conversion flow's tests: it records every view operation in
// order, as text, keeps what the flow sets, and can be made to raise on one
// operation (at once or from its second call). The pending events can do
// anything, closing the window included.
#include <functional>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "window/flow.h"

namespace kavrel {

class ScriptedView : public ConversionView {
public:
    std::u16string from = u"U.S. Dollar (USD)", to = u"Euro (EUR)", amount = u"100", status, result;
    bool enabled = true;
    MousePointer pointer = MousePointer::Default;
    CheckBoxValue checkValue = CheckBoxValue::Unchecked;
    std::function<bool()> pendingEvents = [] { return true; };  // false: they closed the window
    int failing = -1, failsFromCall = 1;                        // the operation that raises, by its number below
    std::vector<std::string> log;

    std::u16string FromText() override { return Step(0, "from?", from); }
    std::u16string ToText() override { return Step(1, "to?", to); }
    std::u16string AmountText() override { return Step(2, "amount?", amount); }
    void SetAmountText(const std::u16string& digits) override { amount = Step(3, "amount=", digits); }
    void SetStatusText(const std::u16string& text) override { status = Step(4, "status=", text); }
    void SetConvertEnabled(bool on) override { Step(5, on ? "enable" : "disable"), enabled = on; }
    void SetMousePointer(MousePointer to) override {
        Step(6, "pointer=" + std::to_string(static_cast<int>(to))), pointer = to;
    }
    bool ProcessPendingEvents() override { return Step(7, "events"), pendingEvents(); }
    void SetResultText(const std::u16string& text) override { result = Step(8, "result=", text); }
    CheckBoxValue AutoRetrieveBoxValue() override { return checkValue; }

private:
    // Logs the operation, with the text it sets (a question, ending in "?", without the answer).
    std::u16string Step(int operation, const std::string& entry, const std::u16string& value = {}) {
        if (operation == failing && ++calls_ >= failsFromCall) throw RunTimeError(ErrorKind::SystemCallFailed, "view");
        log.push_back(entry.ends_with('?') ? entry : entry + std::string(value.begin(), value.end()));
        return value;
    }
    int calls_ = 0;
};

}  // namespace kavrel
