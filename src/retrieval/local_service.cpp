#include "retrieval/local_service.h"

#include <algorithm>

namespace kavrel {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

// Digits only, no leading zero, at most `limit`: a number that reads the same
// to every parser (a leading zero is octal to some).
std::optional<unsigned> PlainNumber(std::u16string_view digits, unsigned limit) {
    if (digits.empty() || digits.size() > 5 || (digits.size() > 1 && digits.front() == u'0')) return std::nullopt;
    unsigned value = 0;
    for (char16_t c : digits) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - u'0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

// 127.x.y.z: four plain numbers up to 255, the first 127.
bool IsLoopbackIpv4(std::u16string_view host) {
    int parts = 0;
    for (std::size_t start = 0; start <= host.size(); ++parts) {
        const std::size_t dot = std::min(host.find(u'.', start), host.size());
        const auto part = PlainNumber(host.substr(start, dot - start), 255);
        if (!part || (parts == 0 && *part != 127)) return false;
        start = dot + 1;
    }
    return parts == 4;
}

// The host's loopback address to listen on, if it is one.
std::optional<std::u16string> LoopbackBindAddress(std::u16string_view host) {
    if (host == u"[::1]") return u"::1";
    if (EqualIgnoringAsciiCase(host, u"localhost")) return u"127.0.0.1";
    if (IsLoopbackIpv4(host)) return std::u16string(host);
    return std::nullopt;
}

}  // namespace

std::optional<LocalService> LocalServiceOf(std::u16string_view serviceBase) {
    constexpr std::u16string_view scheme = u"http://";
    if (!EqualIgnoringAsciiCase(serviceBase.substr(0, scheme.size()), scheme)) return std::nullopt;
    const auto rest = serviceBase.substr(scheme.size());
    const auto authority = rest.substr(0, rest.find_first_of(u"/?#"));
    // The port's colon is the last one after any "]" of an IPv6 host.
    const std::size_t bracket = authority.rfind(u']');
    const std::size_t colon = authority.find(u':', bracket == std::u16string_view::npos ? 0 : bracket);
    const auto bindAddress = LoopbackBindAddress(authority.substr(0, colon));
    if (!bindAddress) return std::nullopt;
    if (colon == std::u16string_view::npos) return LocalService{*bindAddress, 80};
    const auto port = PlainNumber(authority.substr(colon + 1), 65535);
    if (!port || *port == 0) return std::nullopt;
    return LocalService{*bindAddress, static_cast<std::uint16_t>(*port)};
}

}  // namespace kavrel
