#pragma once
// The HTML pages the service writes, and how it writes numbers in them.
//
// Numbers carry no digit grouping and use "." as the decimal point:
// - a rate has six significant digits with trailing zeros dropped, in plain
//   notation from 0.000001 up to 10^15 (0.8123, 14920.6, 1234568) and in
//   exponent form outside that range (2.85714E-42);
// - an amount of 0.01 or more has exactly two decimals (81.23, 1000000.00); a
//   smaller one has three significant digits, so that it does not read as
//   zero (0.00152), in the same plain or exponent form as a rate.
// Kavrel shows the result line as "81.23 @ 0.8123 per Unit".
#include <string>
#include <string_view>

#include "conversion.h"
#include "served_rates.h"

namespace kavrel::rates {

std::string FormatRate(double rate);
std::string FormatAmount(double amount);

// Escapes &, <, >, " and ' for text and attribute values.
std::string HtmlEscape(std::string_view text);

// The answer Kavrel reads: after "Currency Conversion Results" a table whose
// first row holds the headings and whose second row holds From, To, Amount,
// the rate (fourth cell) and the converted amount in bold (fifth cell).
std::string ResultPage(const Conversion& conversion);

// A refused query: the reason, and no result table. Here and on the page for
// any other address, the request's text is shown as well-formed UTF-8 without
// control characters (U+FFFD in their place).
std::string RefusalPage(const Refusal& refusal);

// The date the conversions go by and where their rates come from, why the
// bank's file could not be had when it could not, when the rates were put in
// service (`loadedAt`), what Kavrel is, how to ask this service, and the whole
// rate table.
std::string HomePage(const ServedRates& rates, std::string_view loadedAt);

// Any other address.
std::string NotFoundPage(std::string_view path);

}  // namespace kavrel::rates
