#pragma once
// One request to the rate service: the online check, the URL, the download.
#include <string>

namespace kavrel {

// The network underneath a retrieval. The Windows build answers it with WinINet;
// tests answer it with fakes.
class RateNetwork {
public:
    virtual ~RateNetwork() = default;
    virtual bool IsConnected() = 0;
    // The body of `url` as text; empty when it cannot be fetched.
    virtual std::u16string GetPageSource(const std::u16string& url) = 0;
};

struct RateRequestSettings {
    std::u16string serviceBase;        // scheme, host and optional port
    char16_t decimalSeparator = u'.';  // the user locale's
};

// The rate service's answer page for `amount` from `fromCode` to `toCode`, or the
// empty string when the machine is offline (then nothing is sent).
std::u16string GetCD(double amount, const std::u16string& fromCode, const std::u16string& toCode,
                     const RateRequestSettings& settings, RateNetwork& network);

}  // namespace kavrel
