// The whole retrieval with a fake window whose page is the input. The first
// byte picks a view operation that fails, at once or from its second call, and
// whether the pending events close the window. Nothing may escape Convert; a
// retrieval that ends normally leaves the window idle with the fields in their
// places (the line from the fields, not from the pair they are joined into).
#include "fuzz_input.h"
#include "core/run_time_error.h"
#include "retrieval/result_page_parser.h"
#include "window/flow.h"

namespace {

using namespace kavrel;

class FakeView : public ConversionView {
public:
    int failing = -1, failsFromCall = 1;  // the operation that raises, by its number below
    bool closes = false, enabled = true;
    std::u16string amount = u"100", status, result;
    MousePointer pointer = MousePointer::Default;

    std::u16string FromText() override { return Step(0, u"U.S. Dollar (USD)"); }
    std::u16string ToText() override { return Step(1, u"Euro (EUR)"); }
    std::u16string AmountText() override { return Step(2, amount); }
    void SetAmountText(const std::u16string& digits) override { amount = Step(3, digits); }
    void SetStatusText(const std::u16string& text) override { status = Step(4, text); }
    void SetConvertEnabled(bool on) override { Step(5), enabled = on; }
    void SetMousePointer(MousePointer to) override { Step(6), pointer = to; }
    bool ProcessPendingEvents() override { return Step(7), !closes; }
    void SetResultText(const std::u16string& text) override { result = Step(8, text); }
    CheckBoxValue AutoRetrieveBoxValue() override { return CheckBoxValue::Checked; }

private:
    std::u16string Step(int operation, std::u16string value = {}) {
        if (operation == failing && ++calls_ >= failsFromCall) throw RunTimeError(ErrorKind::SystemCallFailed, "view");
        return value;
    }
    int calls_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    FakeView view;
    view.failing = (data[0] & 0x80) ? (data[0] & 0x0F) % 9 : -1;
    view.failsFromCall = (data[0] & 0x10) ? 2 : 1;
    view.closes = (data[0] & 0x40) != 0;
    const auto page = fuzz::Widen(data + 1, size - 1);
    ConversionFlow flow(view, [&](double, const std::u16string&, const std::u16string&) { return page; });
    flow.Command1_Click();  // anything escaping here ends the run
    flow.Check1_Click();
    flow.Timer1_Timer();
    if (view.failing >= 0 || view.closes) return 0;
    fuzz::Require(view.status.empty() && view.enabled && view.pointer == MousePointer::Default, "window left busy");
    try {
        const auto fields = resultFields(page);
        fuzz::Require(view.result == fields.second + u" @ " + fields.first + u" per Unit", "fields out of place");
        fuzz::Require(flow.LastResult() == resultPair(fields), "LastResult differs from the pair");
    } catch (const RunTimeError&) {
        fuzz::Require(view.result.empty() && flow.LastResult().empty(), "a result shown for a page without one");
    }
    return 0;
}
