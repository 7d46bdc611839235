// The read loop under any read sizes, cap and deadline: bytes kept in order up
// to the cap, no read after the deadline or after an empty one, and an end only
// for one of its reasons.
#include <algorithm>

#include "fuzz_input.h"
#include "retrieval/body_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    if (size < 2) return 0;
    const std::size_t limit = std::size_t{data[0]} * 97;
    const std::size_t expiresAfter = data[1];
    std::size_t made = 0, delivered = 0, last = 1;
    const auto body = ReadBody(
        [&](char* buffer, std::size_t capacity) {
            fuzz::Require(capacity == kReadChunkBytes, "read asked for another size");
            fuzz::Require(last != 0, "read after an empty read");
            const std::size_t at = 2 + made++;
            last = at < size ? std::min<std::size_t>(std::size_t{data[at]} * 13, capacity) : 0;
            for (std::size_t i = 0; i < last; ++i) buffer[i] = static_cast<char>((delivered + i) % 251);
            delivered += last;
            return last;
        },
        [&] { return made >= expiresAfter; }, limit);
    fuzz::Require(body.size() == std::min(delivered, limit), "bytes lost or kept past the cap");
    fuzz::Require(made <= expiresAfter, "read after the deadline");
    fuzz::Require(last == 0 || body.size() == limit || made == expiresAfter, "ended early");
    for (std::size_t i = 0; i < body.size(); ++i)
        fuzz::Require(static_cast<unsigned char>(body[i]) == i % 251, "bytes out of order");
    return 0;
}
