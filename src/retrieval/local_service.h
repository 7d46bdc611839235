#pragma once
// Whether the rate service Kavrel asks lives on this machine, so that Kavrel can
// start it: the address and port a service there would listen on.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

struct LocalService {
    std::u16string bindAddress;  // "127.0.0.1" (also for "localhost"), "127.x.y.z" as written, or "::1"
    std::uint16_t port = 0;      // the URL's, or 80
    bool operator==(const LocalService&) const = default;
};

// "http://" + a loopback host (127.x.y.z, "localhost", "[::1]") + an optional
// ":port", then anything from a "/" on. Every other address (another host or
// scheme, user information, a malformed host or port) is no service of this
// machine's: nullopt.
std::optional<LocalService> LocalServiceOf(std::u16string_view serviceBase);

}  // namespace kavrel
