#pragma once
// The download loop: fixed-size reads appended until a read delivers nothing.
#include <cstddef>
#include <string>

namespace kavrel {

inline constexpr std::size_t kReadChunkBytes = 2048;
// An endless answer must not grow until memory runs out: stop here and go on
// with what has arrived.
inline constexpr std::size_t kMaxBodyBytes = 8u * 1024u * 1024u;

// `read(buffer, capacity)` fills at most `capacity` bytes and returns how many it
// placed; 0 ends the body (also when the read failed). A short read does not end it.
template <class Read>
std::string readBody(Read&& read, std::size_t limit = kMaxBodyBytes) {
    std::string body;
    char buffer[kReadChunkBytes];
    while (body.size() < limit) {
        const std::size_t got = read(buffer, sizeof buffer);
        if (got == 0) break;
        body.append(buffer, got < sizeof buffer ? got : sizeof buffer);
    }
    if (body.size() > limit) body.resize(limit);
    return body;
}

}  // namespace kavrel
