#pragma once
// The conversion flow: one retrieval from the two currency selections and the
// amount to the result line, and the handlers that start it.
#include <functional>
#include <string>

namespace kavrel {

enum class MousePointer { Default = 0, Hourglass = 11 };

// A check box's value, numbered as the system numbers it.
enum class CheckBoxValue { Unchecked = 0, Checked = 1, Grayed = 2 };

// What the flow reads from and writes to the window. Form1 implements these on
// its controls; tests record them.
class ConversionView {
public:
    virtual ~ConversionView() = default;
    virtual std::u16string FromText() = 0;    // optCountry1
    virtual std::u16string ToText() = 0;      // optCountry2
    virtual std::u16string AmountText() = 0;  // txtAm
    virtual void SetAmountText(const std::u16string& digits) = 0;
    virtual void SetStatusText(const std::u16string& status) = 0;  // lblC
    virtual void SetConvertEnabled(bool enabled) = 0;              // Command1
    virtual void SetMousePointer(MousePointer pointer) = 0;        // Form1
    // One pass over the queue; false when those events closed the window.
    virtual bool ProcessPendingEvents() = 0;
    virtual void SetResultText(const std::u16string& result) = 0;  // Label1
    virtual CheckBoxValue AutoRetrieveBoxValue() = 0;              // Check1
};

// GetCD: the page text for an amount and two currency codes.
using PageFetcher =
    std::function<std::u16string(double amount, const std::u16string& fromCode, const std::u16string& toCode)>;

inline constexpr char16_t kRetrievingStatus[] = u"Retrieving Rates...";

class ConversionFlow {
public:
    ConversionFlow(ConversionView& view, PageFetcher getCD);

    void Command1_Click();  // Convert: "1" into an empty amount box, then a retrieval
    void Timer1_Timer();    // the minute tick: a retrieval while auto-retrieve is on
    void Check1_Click();    // auto-retrieve follows the check box

    bool AutoRetrieve() const { return autoRetrieve_; }
    const std::u16string& LastResult() const { return lastResult_; }

private:
    // One retrieval; raises whatever its steps raise. The two handlers around it
    // end quietly on RunTimeError and std::bad_alloc; anything else is a fault
    // of the program and passes on.
    void RetrieveRates();

    ConversionView& view_;
    PageFetcher getCD_;
    bool autoRetrieve_ = false;
    std::u16string lastResult_;
    bool retrieving_ = false;  // a tick or click met inside a retrieval starts none
};

}  // namespace kavrel
