// The whole retrieval with a fake window whose page is the input. The first
// byte picks a view operation that fails, at once or from its second call, and
// whether the pending events close the window. Nothing may escape Convert; a
// retrieval that ends normally leaves the window idle with the fields in their
// places (the line from the fields, not from the pair they are joined into).
#include "fuzz_input.h"
#include "core/run_time_error.h"
#include "retrieval/result_page_parser.h"
#include "../window/scripted_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    if (size == 0) return 0;
    ScriptedView view;
    view.checkValue = CheckBoxValue::Checked;
    view.failing = (data[0] & 0x80) ? (data[0] & 0x0F) % 9 : -1;
    view.failsFromCall = (data[0] & 0x10) ? 2 : 1;
    const bool closes = (data[0] & 0x40) != 0;
    view.pendingEvents = [closes] { return !closes; };
    const auto page = fuzz::Widen(data + 1, size - 1);
    ConversionFlow flow(view, [&](double, const std::u16string&, const std::u16string&) { return page; });
    flow.Command1_Click();  // anything escaping here ends the run
    flow.Check1_Click();
    flow.Timer1_Timer();
    if (view.failing >= 0 || closes) return 0;
    fuzz::Require(view.status.empty() && view.enabled && view.pointer == MousePointer::Default, "window left busy");
    try {
        const auto fields = ReadResultFields(page);
        fuzz::Require(view.result == fields.second + u" @ " + fields.first + u" per Unit", "fields out of place");
        fuzz::Require(flow.LastResult() == ResultPair(fields), "LastResult differs from the pair");
    } catch (const RunTimeError&) {
        fuzz::Require(view.result.empty() && flow.LastResult().empty(), "a result shown for a page without one");
    }
    return 0;
}
