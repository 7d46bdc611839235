#pragma once
// One conversion query, from its raw parameter texts to either the converted
// amount or the reason it was refused.
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "rate_table.h"

namespace kavrel::rates {

// The parameters of /currency/convert as the query carried them (decoded).
struct ConversionQuery {
    std::optional<std::string> amount;  // amt
    std::optional<std::string> from;
    std::optional<std::string> to;
};

struct Conversion {
    std::string fromCode;  // the table's codes (capitals)
    std::string toCode;
    double amount = 0.0;
    double rate = 0.0;    // units of `to` per unit of `from`
    double result = 0.0;  // amount * rate
    std::string date;     // the older of the two rates' dates
};

// Status codes of refused queries: malformed parameters are 400; a well-formed
// query the table cannot answer (unknown code, result beyond a double) is 422;
// any query while no table is loaded is 503.
enum class RefusalStatus { BadRequest = 400, Unprocessable = 422, Unavailable = 503 };

struct Refusal {
    RefusalStatus status;
    std::string reason;  // one plain sentence for the error page
};

using ConversionAnswer = std::variant<Conversion, Refusal>;

ConversionAnswer Convert(const RateTable& table, const ConversionQuery& query);

// The amount as a number of at least 0, or nullopt when the text is not one.
// Accepts digits with one optional decimal point or comma (Kavrel writes the
// user's decimal separator) and an optional exponent ("1E+15"). A blank in
// place of the exponent's "+" is read as "+", since an unescaped "+" in a
// query decodes to a blank.
std::optional<double> ParseAmount(std::string_view text);

}  // namespace kavrel::rates
