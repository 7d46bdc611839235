#include "conversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kavrel::rates {
namespace {

Refusal BadRequest(std::string reason) { return {RefusalStatus::BadRequest, std::move(reason)}; }
Refusal Unprocessable(std::string reason) { return {RefusalStatus::Unprocessable, std::move(reason)}; }

// The end of the run of digits that starts at `from`.
std::size_t DigitsEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && text[from] >= '0' && text[from] <= '9') ++from;
    return from;
}

// Digits with an optional fraction and exponent, the decimal separator being
// "." or ",", the exponent sign "+", "-" or a blank. Scanned by hand: std::regex
// matches recursively, and a few thousand digits would take a thread's whole stack.
bool LooksLikeAmount(std::string_view text) {
    std::size_t at = DigitsEnd(text, 0);
    bool hasDigits = at > 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        const auto fractionEnd = DigitsEnd(text, at + 1);
        hasDigits = hasDigits || fractionEnd > at + 1;
        at = fractionEnd;
    }
    if (!hasDigits) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        if (++at < text.size() && (text[at] == '+' || text[at] == '-' || text[at] == ' ')) ++at;
        const auto exponentEnd = DigitsEnd(text, at);
        if (exponentEnd == at) return false;
        at = exponentEnd;
    }
    return at == text.size();
}

// The same text in the form std::from_chars reads.
std::string NormalisedAmount(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), ',', '.');
    std::replace(out.begin(), out.end(), ' ', '+');
    if (!out.empty() && out.front() == '.') out.insert(out.begin(), '0');
    return out;
}

}  // namespace

std::optional<double> ParseAmount(std::string_view text) {
    if (!LooksLikeAmount(text)) return std::nullopt;
    const auto normal = NormalisedAmount(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error != std::errc{} || end != normal.data() + normal.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

ConversionAnswer Convert(const RateTable& table, const ConversionQuery& query) {
    if (!query.amount || query.amount->empty()) return BadRequest("The amount (amt) is missing.");
    if (!query.from || query.from->empty()) return BadRequest("The currency to convert from (from) is missing.");
    if (!query.to || query.to->empty()) return BadRequest("The currency to convert to (to) is missing.");

    const auto amount = ParseAmount(*query.amount);
    if (!amount) {
        const bool negative = query.amount->front() == '-' && ParseAmount(query.amount->substr(1));
        return BadRequest(negative ? "The amount \"" + *query.amount + "\" is negative."
                                   : "The amount \"" + *query.amount + "\" is not a finite number.");
    }
    const Rate* from = table.Find(*query.from);
    if (!from) return Unprocessable("The currency code \"" + *query.from + "\" is not in the rate table.");
    const Rate* to = table.Find(*query.to);
    if (!to) return Unprocessable("The currency code \"" + *query.to + "\" is not in the rate table.");

    const double rate = from->usdValue / to->usdValue;
    const double result = *amount * rate;
    if (!std::isfinite(rate) || !std::isfinite(result))
        return Unprocessable("The converted amount is too large to be written.");
    return Conversion{from->code, to->code, *amount, rate, result, std::min(from->date, to->date)};
}

}  // namespace kavrel::rates
