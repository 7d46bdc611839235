#include "retrieval/body_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kavrel {
namespace {

TEST(ReadBody, EndsAtAnEmptyReadTheCapOrTheDeadline) {
    constexpr std::size_t kNever = 1000;
    const struct {
        const char* name;
        std::vector<std::size_t> reads;  // what each read delivers; then 0
        std::size_t limit;
        std::size_t expiresAfter;  // reads before the deadline passes
        std::size_t size, readsMade;
    } cases[] = {
        {"full reads, then empty", {2048, 2048, 0}, kMaxBodyBytes, kNever, 4096, 3},
        {"short reads do not end it", {10, 1, 700, 0, 5}, kMaxBodyBytes, kNever, 711, 4},
        {"cap", {2048, 2048, 2048, 2048}, 5000, kNever, 5000, 3},
        {"deadline between reads", {2048, 1, 1, 1, 1}, kMaxBodyBytes, 3, 2050, 3},
        {"deadline before the first read", {2048}, kMaxBodyBytes, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t made = 0;
        const auto body = readBody(
            [&](char* buffer, std::size_t capacity) {
                EXPECT_EQ(capacity, kReadChunkBytes);
                const std::size_t n = made < c.reads.size() ? c.reads[made] : 0;
                std::memset(buffer, 'a' + static_cast<int>(made % 26), n);
                ++made;
                return n;
            },
            [&] { return made >= c.expiresAfter; }, c.limit);
        EXPECT_EQ(body.size(), c.size);
        EXPECT_EQ(made, c.readsMade);
        // Each read's bytes, in order.
        for (std::size_t i = 0, at = 0; i < made && at < body.size(); at += c.reads[i++])
            EXPECT_EQ(body[at], 'a' + static_cast<int>(i % 26)) << at;
    }
}

}  // namespace
}  // namespace kavrel
