// The amount on its way out: the box's filter, the value, and its text. An
// amount that is accepted must be sent as a finite number.
#include <charconv>
#include <cmath>
#include <cstring>

#include "fuzz_input.h"
#include "core/run_time_error.h"
#include "core/text.h"
#include "input/amount_filter.h"
#include "retrieval/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    const auto digits = onlyDigits(fuzz::Widen(data, size));
    fuzz::Require(digits.find_first_not_of(u"0123456789") == std::u16string::npos, "filter let a non-digit pass");
    try {
        const double value = amountValue(digits);
        const auto sent = text::toUtf8(amountText(value, u'.'));
        double readBack = 0;
        const auto [end, error] = std::from_chars(sent.data(), sent.data() + sent.size(), readBack);
        fuzz::Require(error == std::errc{} && end == sent.data() + sent.size(), "amount text does not read back");
        fuzz::Require(std::isfinite(readBack), "amount text reads back as infinite");
    } catch (const RunTimeError&) {
    }
    // Any double at all, NaN and infinity included: a text or the program's error.
    if (size >= sizeof(double)) {
        double any;
        std::memcpy(&any, data, sizeof any);
        try {
            fuzz::Require(!amountText(any, u',').empty(), "empty amount text");
        } catch (const RunTimeError&) {
            fuzz::Require(!std::isfinite(any), "a finite amount was refused");
        }
    }
    return 0;
}
