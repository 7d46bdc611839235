#include "page.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace kavrel::rates {
namespace {

constexpr int kRateDigits = 6;
constexpr int kSmallAmountDigits = 3;
constexpr double kSmallestTwoDecimalAmount = 0.01;
constexpr int kPlainExponentLow = -6;
constexpr int kPlainExponentHigh = 15;  // first exponent written in exponent form

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse}th,td{border:1px solid #bbb;padding:.2em .6em}"
    "th{background:#eee}td.rate{font-family:monospace}";

std::string ToChars(double value, std::chars_format format, int precision) {
    std::array<char, 400> buffer{};  // room for the widest fixed form of a double
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    return std::string(buffer.data(), end);
}

void DropTrailingZeros(std::string& digits) {
    if (digits.find('.') == std::string::npos) return;
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.') digits.pop_back();
}

// d.ddddde-xx from to_chars becomes d.ddddE-xx.
std::string ExponentForm(std::string scientific) {
    const auto e = scientific.find('e');
    auto mantissa = scientific.substr(0, e);
    DropTrailingZeros(mantissa);
    return mantissa + "E" + scientific.substr(e + 1);
}

std::string Page(std::string_view title, std::string_view body) {
    std::string out;
    out.reserve(body.size() + 512);
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    out += HtmlEscape(title);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>Kavrel reference rates</h1>\n";
    out += body;
    out += "<p><a href=\"/\">Home and all rates</a></p>\n</body>\n</html>\n";
    return out;
}

std::string Cell(std::string_view text) { return "<td>" + HtmlEscape(text) + "</td>"; }

std::string RateRow(const Rate& rate) {
    return "<tr>" + Cell(rate.code) + "<td class=\"rate\">" + FormatRate(rate.usdValue) + "</td>" +
           "<td class=\"rate\">" + FormatRate(1.0 / rate.usdValue) + "</td>" + Cell(rate.date) + Cell(rate.source) +
           "</tr>\n";
}

// `digits` significant digits, trailing zeros dropped, plain or in exponent form.
std::string Significant(double value, int digits) {
    if (value == 0.0 || !std::isfinite(value)) return ToChars(value, std::chars_format::general, digits);
    const auto scientific = ToChars(value, std::chars_format::scientific, digits - 1);
    const int exponent = std::stoi(scientific.substr(scientific.find('e') + 1));
    if (exponent < kPlainExponentLow || exponent >= kPlainExponentHigh) return ExponentForm(scientific);
    auto plain = ToChars(value, std::chars_format::fixed, std::max(0, digits - 1 - exponent));
    DropTrailingZeros(plain);
    return plain;
}

}  // namespace

std::string FormatRate(double rate) { return Significant(rate, kRateDigits); }

std::string FormatAmount(double amount) {
    if (amount > 0.0 && amount < kSmallestTwoDecimalAmount) return Significant(amount, kSmallAmountDigits);
    return ToChars(amount, std::chars_format::fixed, 2);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ResultPage(const Conversion& c) {
    const auto rate = FormatRate(c.rate);
    std::string body = "<h2>Currency Conversion Results</h2>\n<table class=\"results\">\n";
    body += "<tr align=\"center\"><th>From</th><th>To</th><th>Amount</th><th>Rate</th><th>Result</th></tr>\n";
    body += "<tr align=\"right\">" + Cell(c.fromCode) + Cell(c.toCode) + Cell(FormatAmount(c.amount)) +
            "<td class=\"rate\">" + rate + "</td><td><b>" + FormatAmount(c.result) + "</b></td></tr>\n";
    body += "</table>\n<p>1 " + HtmlEscape(c.fromCode) + " = " + rate + " " + HtmlEscape(c.toCode) +
            " at the reference rates of " + HtmlEscape(c.date) + ".</p>\n";
    return Page(c.fromCode + " to " + c.toCode + " - Kavrel reference rates", body);
}

namespace {

// The length of the well-formed UTF-8 sequence `text` starts with (RFC 3629:
// no overlong forms, no surrogates, nothing beyond U+10FFFF); 0 when none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

// Text from a request, for a page declared UTF-8: every byte outside a
// well-formed sequence and every control character (NUL among them) becomes U+FFFD.
std::string WellFormedText(std::string_view text) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto length = Utf8SequenceLength(text);
        const auto lead = static_cast<unsigned char>(text[0]);
        const bool control = (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
                             (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0);
        out += length == 0 || control ? kReplacement : text.substr(0, length);
        text.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return out;
}

}  // namespace

std::string RefusalPage(const Refusal& refusal) {
    return Page("Conversion refused - Kavrel reference rates",
                "<h2>Conversion refused</h2>\n<p>" + HtmlEscape(WellFormedText(refusal.reason)) +
                    "</p>\n<p>Ask for <code>/currency/convert?amt=100&amp;from=USD&amp;to=EUR</code>"
                    " with an amount of at least 0 and two codes listed on the home page.</p>\n");
}

namespace {

// The date the conversions go by, where each part of the rates comes from, and
// why the bank's file is missing when it is.
std::string SourcesParagraphs(const RateSources& sources, std::string_view loadedAt) {
    const auto table = sources.tableFile.empty() ? "the built-in rate table of " + HtmlEscape(sources.tableDate)
                                                 : "the rate table of " + HtmlEscape(sources.tableDate) + " from " +
                                                       HtmlEscape(sources.tableFile);
    std::string text =
        "<p class=\"status\">Conversions go by the rates of <b>" + HtmlEscape(sources.InUseDate()) + "</b>: ";
    std::string usedFiles, unusedFiles;
    for (const auto& file : sources.bankFiles) {
        const auto named = HtmlEscape(file.date) + " (" + HtmlEscape(file.origin) + ")";
        if (file.ratesInUse == 0) {
            unusedFiles +=
                "<p class=\"unused\">None of the rates of " + named + " is used: the service has later ones.</p>\n";
        } else {
            usedFiles += (usedFiles.empty() ? "" : "; ") + named + " for " + std::to_string(file.ratesInUse) + " rates";
        }
    }
    if (!usedFiles.empty())
        text += "the European Central Bank's euro reference rates of " + usedFiles +
                " (the currencies it quotes and those tied to them), and " + table + " for the rest.";
    else text += table + ".";
    text += " Put in service at " + HtmlEscape(loadedAt) + ".</p>\n" + unusedFiles;
    if (!sources.fetchProblem.empty())
        text += "<p class=\"problem\">The European Central Bank's file could not be had: " +
                HtmlEscape(sources.fetchProblem) + ". The rates above stay in service until it can.</p>\n";
    return text;
}

}  // namespace

std::string HomePage(const ServedRates& rates, std::string_view loadedAt) {
    std::string body =
        SourcesParagraphs(rates.sources, loadedAt) +
        "<p>Kavrel is a small currency converter for Windows: it sends the amount and the two currency codes"
        " you pick to a rate service and shows the converted amount and the rate it gets back.</p>\n"
        "<p>This service answers those requests from its reference table, for instance"
        " <a href=\"/currency/convert?amt=100&amp;from=USD&amp;to=EUR&amp;submit=Convert\">"
        "/currency/convert?amt=100&amp;from=USD&amp;to=EUR&amp;submit=Convert</a>."
        " Rates are cross rates through the US dollar; each row shows the date of its own.</p>\n";
    body +=
        "<table class=\"rates\">\n<tr><th>Code</th><th>US dollars per unit</th><th>Units per US dollar</th>"
        "<th>Date</th><th>Source</th></tr>\n";
    for (const auto& [code, rate] : rates.table.Rates()) body += RateRow(rate);
    body += "</table>\n";
    return Page("Kavrel reference rates", body);
}

std::string NotFoundPage(std::string_view path) {
    return Page("Not found - Kavrel reference rates",
                "<h2>Not found</h2>\n<p>There is nothing at " + HtmlEscape(WellFormedText(path)) + ".</p>\n");
}

}  // namespace kavrel::rates
