#include "retrieval/body_reader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kavrel {
namespace {

// Order, cap, short reads and a deadline between reads are the fuzz target's
// invariants over its corpus; these two ends are not in that corpus.
TEST(ReadBody, EndsAtTheFirstEmptyReadAndReadsNothingPastAnEarlyDeadline) {
    std::size_t made = 0;
    const auto twoFullReads = [&](char* buffer, std::size_t capacity) {
        const std::size_t n = made++ < 2 ? capacity : 0;
        std::memset(buffer, 'a', n);
        return n;
    };
    EXPECT_EQ(readBody(twoFullReads, [&] { return made > 9; }), std::string(2 * kReadChunkBytes, 'a'));
    EXPECT_EQ(made, 3u);
    made = 0;
    EXPECT_EQ(readBody(twoFullReads, [] { return true; }), "");
    EXPECT_EQ(made, 0u);
}

}  // namespace
}  // namespace kavrel
