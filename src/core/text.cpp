#include "core/text.h"

#include <algorithm>

#include "core/run_time_error.h"

namespace kavrel::text {
namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

std::size_t Position(std::u16string_view text, std::u16string_view marker, Case rule) {
    if (rule == Case::Exact) {
        const auto at = text.find(marker);
        return at == std::u16string_view::npos ? 0 : at + 1;
    }
    const auto hit = std::search(text.begin(), text.end(), marker.begin(), marker.end(),
                                 [](char16_t a, char16_t b) { return FoldAscii(a) == FoldAscii(b); });
    if (hit == text.end() && !marker.empty()) return 0;
    return static_cast<std::size_t>(hit - text.begin()) + 1;
}

std::u16string From(std::u16string_view text, std::size_t p) {
    if (p == 0) throw RunTimeError(ErrorKind::InvalidArgument, "text position 0");
    if (p > text.size()) return {};
    return std::u16string(text.substr(p - 1));
}

std::u16string FirstChars(std::u16string_view text, std::int64_t n) {
    if (n < 0) throw RunTimeError(ErrorKind::InvalidArgument, "negative character count");
    return std::u16string(text.substr(0, static_cast<std::size_t>(n)));
}

std::vector<std::u16string> Split(std::u16string_view text, std::u16string_view delimiter) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (auto at = text.find(delimiter); at != std::u16string_view::npos; at = text.find(delimiter, start)) {
        pieces.emplace_back(text.substr(start, at - start));
        start = at + delimiter.size();
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

const std::u16string& Piece(const std::vector<std::u16string>& pieces, std::size_t index) {
    if (index >= pieces.size()) throw RunTimeError(ErrorKind::IndexOutOfRange, "piece index out of range");
    return pieces[index];
}

std::u16string WidenAscii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        const bool highSurrogate = c >= 0xD800 && c <= 0xDBFF;
        if (highSurrogate && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace kavrel::text
