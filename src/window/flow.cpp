#include "window/flow.h"

#include <new>
#include <utility>

#include "core/run_time_error.h"
#include "retrieval/request.h"
#include "retrieval/result_page_parser.h"

namespace kavrel {
namespace {

// The busy state: status text, Convert disabled, hourglass. Left on every way
// out of a retrieval, and before a successful one writes its result.
class BusyState {
public:
    explicit BusyState(ConversionView& view) : view_(&view) {
        view.SetStatusText(kRetrievingStatus);
        view.SetConvertEnabled(false);
        view.SetMousePointer(MousePointer::Hourglass);
    }
    // Cleanup must not throw: a view that fails while a failed retrieval leaves
    // the busy state would otherwise end the program through std::terminate.
    // The retrieval has failed already; the first error is the one that counts.
    ~BusyState() {
        try {
            Leave();
        } catch (...) {
        }
    }
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

    void Leave() {
        if (!view_) return;
        ConversionView& view = *std::exchange(view_, nullptr);
        view.SetStatusText(u"");
        view.SetConvertEnabled(true);
        view.SetMousePointer(MousePointer::Default);
    }
    // The window has gone: there is nothing left to restore.
    void Abandon() { view_ = nullptr; }

private:
    ConversionView* view_;
};

// Clears a flag on every way out of a scope.
class FlagReset {
public:
    explicit FlagReset(bool& flag) : flag_(flag) {}
    ~FlagReset() { flag_ = false; }
    FlagReset(const FlagReset&) = delete;
    FlagReset& operator=(const FlagReset&) = delete;

private:
    bool& flag_;
};

}  // namespace

ConversionFlow::ConversionFlow(ConversionView& view, PageFetcher getCD) : view_(view), getCD_(std::move(getCD)) {}

void ConversionFlow::RetrieveRates() {
    view_.SetResultText(u"");
    const auto fromCode = ExtractCode(view_.FromText());
    const auto toCode = ExtractCode(view_.ToText());

    BusyState busy(view_);
    if (!view_.ProcessPendingEvents()) {
        // Closed from the system while the events ran: stop here, as the close
        // square does, rather than read a dead amount box and send a request.
        busy.Abandon();
        return;
    }
    const double amount = AmountValue(view_.AmountText());
    const auto fields = ReadResultFields(getCD_(amount, fromCode, toCode));
    lastResult_ = ResultPair(fields);
    busy.Leave();

    view_.SetResultText(fields.second + u" @ " + fields.first + u" per Unit");
}

// Pending events run once inside a retrieval; a tick or click delivered there
// must not start a second retrieval inside the first.
void ConversionFlow::Command1_Click() {
    if (retrieving_) return;
    retrieving_ = true;
    const FlagReset done(retrieving_);
    try {
        if (view_.AmountText().empty()) view_.SetAmountText(u"1");
        RetrieveRates();
    } catch (const RunTimeError&) {
        // Failures are silent by design: the empty result line is all the user sees.
    } catch (const std::bad_alloc&) {
        // A page too large for memory ends this retrieval, not the program.
    }
}

void ConversionFlow::Timer1_Timer() {
    if (!autoRetrieve_ || retrieving_) return;
    retrieving_ = true;
    const FlagReset done(retrieving_);
    try {
        RetrieveRates();
    } catch (const RunTimeError&) {
        // As for Convert: a failed tick shows nothing, the next tick tries again.
    } catch (const std::bad_alloc&) {
        // As for Convert: out of memory ends this retrieval only.
    }
}

void ConversionFlow::Check1_Click() { autoRetrieve_ = view_.AutoRetrieveBoxValue() == CheckBoxValue::Checked; }

}  // namespace kavrel
