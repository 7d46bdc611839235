#include "window/flow.h"

#include <exception>
#include <utility>

#include "core/text.h"
#include "retrieval/result_page_parser.h"
#include "retrieval/request.h"

namespace kavrel {
namespace {

// The busy state: status text, Convert disabled, hourglass. Left on every way
// out of a retrieval, and before a successful one writes its result.
class BusyState {
public:
    explicit BusyState(ConversionView& view) : view_(view) {
        view_.SetStatusText(kRetrievingStatus);
        view_.SetConvertEnabled(false);
        view_.SetMousePointer(MousePointer::Hourglass);
    }
    ~BusyState() { leave(); }
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

    void leave() {
        if (left_) return;
        left_ = true;
        view_.SetStatusText(u"");
        view_.SetConvertEnabled(true);
        view_.SetMousePointer(MousePointer::Default);
    }

private:
    ConversionView& view_;
    bool left_ = false;
};

}  // namespace

ConversionFlow::ConversionFlow(ConversionView& view, PageFetcher getCD)
    : view_(view), getCD_(std::move(getCD)) {}

void ConversionFlow::RetrieveRates() {
    view_.SetResultText(u"");
    const auto fromCode = extractCode(view_.FromText());
    const auto toCode = extractCode(view_.ToText());

    BusyState busy(view_);
    view_.ProcessPendingEvents();
    const double amount = amountValue(view_.AmountText());
    const auto page = getCD_(amount, fromCode, toCode);
    lastResult_ = parsetex(page);
    const auto pieces = text::split(lastResult_, u"~");
    busy.leave();

    view_.SetResultText(pieces.at(1) + u" @ " + pieces.at(0) + u" per Unit");
}

void ConversionFlow::RetrieveQuietly() {
    if (retrieving_) return;
    retrieving_ = true;
    try {
        RetrieveRates();
    } catch (const std::exception&) {
        // A failed retrieval ends quietly: the empty result line is all the user sees.
    }
    retrieving_ = false;
}

void ConversionFlow::Command1_Click() {
    if (retrieving_) return;
    try {
        if (view_.AmountText().empty()) view_.SetAmountText(u"1");
    } catch (const std::exception&) {
        return;
    }
    RetrieveQuietly();
}

void ConversionFlow::Timer1_Timer() {
    if (autoRetrieve_) RetrieveQuietly();
}

void ConversionFlow::Check1_Click() { autoRetrieve_ = view_.AutoRetrieveBoxValue() == 1; }

}  // namespace kavrel
