#pragma once
// Cutting 16-bit text by 1-based positions, the way the program's parsing and
// code extraction count. Out-of-range requests raise RunTimeError.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::text {

enum class Case { Exact, IgnoreAsciiLetters };

// 1-based position of the first occurrence of `marker` in `text`; 0 when absent.
std::size_t Position(std::u16string_view text, std::u16string_view marker, Case rule = Case::Exact);

// The characters from 1-based position `p` to the end; empty past the end.
// p == 0 is an invalid argument.
std::u16string From(std::u16string_view text, std::size_t p);

// The first `n` characters (all of them when n exceeds the length).
// A negative n is an invalid argument.
std::u16string FirstChars(std::u16string_view text, std::int64_t n);

// Splits at every occurrence of `delimiter` (exact); the delimiters belong to no piece.
std::vector<std::u16string> Split(std::u16string_view text, std::u16string_view delimiter);

// The piece at `index`, or an index-out-of-range error.
const std::u16string& Piece(const std::vector<std::u16string>& pieces, std::size_t index);

// ASCII-only conversions for texts the program builds from literals and digits.
std::u16string WidenAscii(std::string_view ascii);
std::string ToUtf8(std::u16string_view text);

}  // namespace kavrel::text
