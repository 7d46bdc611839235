#include "retrieval/result_page_parser.h"

#include <cstdint>
#include <utility>

#include "core/text.h"

namespace kavrel {

using text::Case;
using text::firstChars;
using text::from;
using text::position;

namespace {

constexpr std::u16string_view kResultsMarker = u"Currency Conversion Results";
constexpr std::u16string_view kTableStart = u"<table class=";
constexpr std::u16string_view kTableEnd = u"</table>";
constexpr std::u16string_view kRowStart = u"<tr align=";
constexpr std::u16string_view kCellStart = u"<td";

// Skips to the next row tag and past its closing ">".
std::u16string enterNextRow(const std::u16string& rest) {
    const auto row = from(rest, position(rest, kRowStart, Case::IgnoreAsciiLetters));
    return from(row, position(row, u">", Case::IgnoreAsciiLetters));
}

// The cell text from just after `opening` up to the next tag.
std::u16string cellText(const std::u16string& cell, std::u16string_view opening) {
    const auto afterOpening = from(cell, position(cell, opening, Case::IgnoreAsciiLetters) + opening.size());
    const auto tag = static_cast<std::int64_t>(position(afterOpening, u"<", Case::IgnoreAsciiLetters));
    return firstChars(afterOpening, tag - 1);
}

}  // namespace

ResultFields resultFields(const std::u16string& page) {
    // The results may stand anywhere in the page: no limit on the marker's position.
    auto rest = from(page, position(page, kResultsMarker, Case::Exact));
    rest = from(rest, position(rest, kTableStart, Case::IgnoreAsciiLetters));
    rest = firstChars(rest, static_cast<std::int64_t>(position(rest, kTableEnd, Case::IgnoreAsciiLetters)));
    rest = enterNextRow(rest);  // past the header row
    rest = enterNextRow(rest);  // into the result row

    const auto cells = text::split(rest, kCellStart);
    auto first = cellText(text::piece(cells, 4), u">");
    return {std::move(first), cellText(text::piece(cells, 5), u"b>")};
}

std::u16string resultPair(const ResultFields& fields) { return fields.first + u"~" + fields.second; }

std::u16string parsetex(const std::u16string& page) { return resultPair(resultFields(page)); }

}  // namespace kavrel
