#include "retrieval/result_page_parser.h"

#include <cstdint>
#include <utility>

#include "core/text.h"

namespace kavrel {

using text::Case;
using text::FirstChars;
using text::From;
using text::Position;

namespace {

constexpr std::u16string_view kResultsMarker = u"Currency Conversion Results";
constexpr std::u16string_view kTableStart = u"<table class=";
constexpr std::u16string_view kTableEnd = u"</table>";
constexpr std::u16string_view kRowStart = u"<tr align=";
constexpr std::u16string_view kCellStart = u"<td";

// Skips to the next row tag and past its closing ">".
std::u16string EnterNextRow(const std::u16string& rest) {
    const auto row = From(rest, Position(rest, kRowStart, Case::IgnoreAsciiLetters));
    return From(row, Position(row, u">", Case::IgnoreAsciiLetters));
}

// The cell text from just after `opening` up to the next tag.
std::u16string CellText(const std::u16string& cell, std::u16string_view opening) {
    const auto afterOpening = From(cell, Position(cell, opening, Case::IgnoreAsciiLetters) + opening.size());
    const auto tag = static_cast<std::int64_t>(Position(afterOpening, u"<", Case::IgnoreAsciiLetters));
    return FirstChars(afterOpening, tag - 1);
}

}  // namespace

ResultFields ReadResultFields(const std::u16string& page) {
    // The results may stand anywhere in the page: no limit on the marker's position.
    auto rest = From(page, Position(page, kResultsMarker, Case::Exact));
    rest = From(rest, Position(rest, kTableStart, Case::IgnoreAsciiLetters));
    rest = FirstChars(rest, static_cast<std::int64_t>(Position(rest, kTableEnd, Case::IgnoreAsciiLetters)));
    rest = EnterNextRow(rest);  // past the header row
    rest = EnterNextRow(rest);  // into the result row

    const auto cells = text::Split(rest, kCellStart);
    auto first = CellText(text::Piece(cells, 4), u">");
    return {std::move(first), CellText(text::Piece(cells, 5), u"b>")};
}

std::u16string ResultPair(const ResultFields& fields) { return fields.first + u"~" + fields.second; }

std::u16string parsetex(const std::u16string& page) { return ResultPair(ReadResultFields(page)); }

}  // namespace kavrel
