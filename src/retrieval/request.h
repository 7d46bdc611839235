#pragma once
// What a retrieval sends: the currency codes cut out of the selection texts,
// the amount, and the request URL built from them.
#include <string>
#include <string_view>

namespace kavrel {

// The text between the first "(" and the first ")" after it.
// "CFA Franc (BCEAO) (XOF)" gives "BCEAO". No ")" is an invalid argument.
std::u16string ExtractCode(std::u16string_view selection);

// The numeric value of the amount box's digit string; empty gives 0.
// A value whose text (AmountText) would not read back as a finite double is an
// overflow: it could not be sent.
double AmountValue(std::u16string_view digits);

// The standard Double-to-text conversion: 15 significant digits, no grouping,
// no trailing zeros, plain digits below 1E+15 and exponent form ("1.5E+15")
// from there on, with the user locale's decimal separator. An infinite or NaN
// amount is an overflow.
std::u16string AmountText(double amount, char16_t decimalSeparator);

// Percent-encodes a query component as UTF-8: letters, digits and "-._~" stay.
std::u16string EncodeQueryComponent(std::u16string_view component);

// serviceBase + "/currency/convert?amt=...&from=...&to=...&submit=Convert".
std::u16string RequestUrl(std::u16string_view serviceBase, double amount, std::u16string_view fromCode,
                          std::u16string_view toCode, char16_t decimalSeparator);

}  // namespace kavrel
