#include "retrieval/body_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kavrel {
namespace {

// Hands out the scripted read sizes in turn, recording what each read asked for.
struct ScriptedReads {
    std::vector<std::size_t> sizes;
    std::vector<std::size_t> asked;
    std::size_t next = 0;
    std::size_t operator()(char* buffer, std::size_t capacity) {
        asked.push_back(capacity);
        const std::size_t n = next < sizes.size() ? sizes[next++] : 0;
        std::memset(buffer, 'a' + static_cast<int>(asked.size() % 26), n);
        return n;
    }
};

TEST(ReadBody, ReadsFullChunksUntilAnEmptyRead) {
    ScriptedReads reads{{2048, 2048, 0}, {}};
    EXPECT_EQ(readBody(std::ref(reads)).size(), 4096u);
    EXPECT_EQ(reads.asked, (std::vector<std::size_t>{2048, 2048, 2048}));
}

TEST(ReadBody, ShortReadsDoNotEndTheBody) {
    ScriptedReads reads{{10, 1, 700, 0, 5}, {}};
    const auto body = readBody(std::ref(reads));
    EXPECT_EQ(body, std::string(10, 'b') + std::string(1, 'c') + std::string(700, 'd'));
    EXPECT_EQ(reads.asked.size(), 4u);
}

TEST(ReadBody, StopsAtTheLimit) {
    std::size_t reads = 0;
    const auto body = readBody(
        [&](char* buffer, std::size_t capacity) {
            ++reads;
            std::memset(buffer, 'x', capacity);
            return capacity;
        },
        5000);
    EXPECT_EQ(body.size(), 5000u);
    EXPECT_EQ(reads, 3u);
}

}  // namespace
}  // namespace kavrel
