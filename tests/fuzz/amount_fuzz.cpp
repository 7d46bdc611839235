// The amount on its way out: the box keeps digits only, an accepted value is
// sent as a text that reads back as a finite number, and any finite double has
// a text.
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
    const auto digits = OnlyDigits(fuzz::Widen(data, size));
    fuzz::Require(digits.find_first_not_of(u"0123456789") == std::u16string::npos, "filter let a non-digit pass");
    try {
        const auto sent = text::ToUtf8(AmountText(AmountValue(digits), u'.'));
        double readBack = 0;
        const auto [end, error] = std::from_chars(sent.data(), sent.data() + sent.size(), readBack);
        fuzz::Require(error == std::errc{} && end == sent.data() + sent.size() && std::isfinite(readBack),
                      "amount text does not read back as a finite number");
    } catch (const RunTimeError&) {
    }
    double any = 0;
    if (size < sizeof any) return 0;
    std::memcpy(&any, data, sizeof any);
    try {
        fuzz::Require(!AmountText(any, u',').empty(), "empty amount text");
    } catch (const RunTimeError&) {
        fuzz::Require(!std::isfinite(any), "a finite amount was refused");
    }
    return 0;
}
