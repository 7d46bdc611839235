#include "retrieval/request.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/run_time_error.h"
#include "core/text.h"

namespace kavrel {

std::u16string ExtractCode(std::u16string_view selection) {
    const auto rest = text::From(selection, text::Position(selection, u"(") + 1);
    const auto close = static_cast<std::int64_t>(text::Position(rest, u")"));
    return text::FirstChars(rest, close - 1);
}

double AmountValue(std::u16string_view digits) {
    std::string ascii;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') break;
        ascii += static_cast<char>(c);
    }
    if (ascii.empty()) return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error == std::errc::result_out_of_range || std::isinf(value))
        throw RunTimeError(ErrorKind::Overflow, "amount exceeds the largest double");
    // Just below the largest double, the 15-digit text rounds up past it, and
    // no server could read the amount it is sent.
    const std::string sent = text::ToUtf8(AmountText(value, u'.'));
    double readBack = 0.0;
    if (std::from_chars(sent.data(), sent.data() + sent.size(), readBack).ec != std::errc{} || !std::isfinite(readBack))
        throw RunTimeError(ErrorKind::Overflow, "amount does not survive its text");
    return value;
}

std::u16string AmountText(double amount, char16_t decimalSeparator) {
    if (!std::isfinite(amount)) throw RunTimeError(ErrorKind::Overflow, "amount is not a finite number");
    if (amount == 0.0) return u"0";
    // Round to 15 significant digits first; the exponent decides the form.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(amount));
    const std::string scientific = buffer;  // d.dddddddddddddde[+-]xx
    const auto ePos = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, ePos - 2);
    int exponent = 0;
    std::from_chars(scientific.data() + ePos + (scientific[ePos + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = amount < 0 ? "-" : "";
    const char separator = '.';  // replaced by the locale's separator below
    if (exponent >= 15 || exponent < -15) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += separator + digits.substr(1);
        char power[16];
        std::snprintf(power, sizeof power, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += power;
    } else if (exponent >= 0) {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + separator + digits.substr(whole);
        }
    } else {
        out += "0" + std::string(1, separator) + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }

    std::u16string result = text::WidenAscii(out);
    for (auto& c : result)
        if (c == u'.') c = decimalSeparator;
    return result;
}

std::u16string EncodeQueryComponent(std::u16string_view component) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    for (unsigned char byte : text::ToUtf8(component)) {
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~';
        if (unreserved) {
            out += static_cast<char16_t>(byte);
        } else {
            out += u'%';
            out += static_cast<char16_t>(kHex[byte >> 4]);
            out += static_cast<char16_t>(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::u16string RequestUrl(std::u16string_view serviceBase, double amount, std::u16string_view fromCode,
                          std::u16string_view toCode, char16_t decimalSeparator) {
    std::u16string url(serviceBase);
    url += u"/currency/convert?";
    url += u"amt=" + EncodeQueryComponent(AmountText(amount, decimalSeparator));
    url += u"&from=" + EncodeQueryComponent(fromCode);
    url += u"&to=" + EncodeQueryComponent(toCode);
    url += u"&submit=Convert";
    return url;
}

}  // namespace kavrel
