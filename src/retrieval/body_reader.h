#pragma once
// The download loop: fixed-size reads appended until a read delivers nothing,
// the body reaches its cap, or the download's deadline has passed.
#include <chrono>
#include <cstddef>
#include <string>

namespace kavrel {

inline constexpr std::size_t kReadChunkBytes = 2048;
// An endless answer must not grow until memory runs out: stop here and go on
// with what has arrived.
inline constexpr std::size_t kMaxBodyBytes = 8u * 1024u * 1024u;

// One point in time for a whole download, on the monotonic clock: a server
// that drips one byte at a time cannot hold the window past it.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;
    explicit Deadline(Clock::duration budget) : end_(Clock::now() + budget) {}
    bool Passed() const { return Clock::now() >= end_; }
    Clock::duration Remaining() const { return Passed() ? Clock::duration::zero() : end_ - Clock::now(); }

private:
    Clock::time_point end_;
};

// `read(buffer, capacity)` fills at most `capacity` bytes and returns how many it
// placed; 0 ends the body (also when the read failed). A short read does not end
// it. `expired()` is asked before every read; once it answers true the body ends
// as after a failed read, with what has arrived.
template <class Read, class Expired>
std::string ReadBody(Read&& read, Expired&& expired, std::size_t limit = kMaxBodyBytes) {
    std::string body;
    char buffer[kReadChunkBytes];
    while (body.size() < limit && !expired()) {
        const std::size_t got = read(buffer, sizeof buffer);
        if (got == 0) break;
        body.append(buffer, got < sizeof buffer ? got : sizeof buffer);
    }
    if (body.size() > limit) body.resize(limit);
    return body;
}

}  // namespace kavrel
