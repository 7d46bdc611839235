#include "retrieval/rate_page_request.h"

#include "retrieval/request.h"

namespace kavrel {

std::u16string GetCD(double amount, const std::u16string& fromCode, const std::u16string& toCode,
                     const RateRequestSettings& settings, RateNetwork& network) {
    if (!network.IsConnected()) return {};
    return network.GetPageSource(RequestUrl(settings.serviceBase, amount, fromCode, toCode, settings.decimalSeparator));
}

}  // namespace kavrel
