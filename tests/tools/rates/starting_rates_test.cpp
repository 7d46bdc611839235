// The rates the service starts with, and the file it keeps between starts.
#include "starting_rates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "rate_cache.h"

namespace kavrel::rates {
namespace {

class KeptFile : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder_); }
    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("kavrel-kept-" + std::to_string(::getpid()));
    const RateCache cache_{folder_};
};

TEST_F(KeptFile, IsReplacedWholeAndLeavesNothingBeside) {
    EXPECT_EQ(cache_.read(), std::nullopt);
    cache_.keep("first, and longer");
    cache_.keep("second");
    EXPECT_EQ(cache_.read(), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(KeptFile, ServesAGoodOneAndPassesOverAMissingTruncatedOrBadOneWithALogLine) {
    const std::string daily = "<Cube><Cube time='2024-01-05'><Cube currency='USD' rate='1.25'/></Cube></Cube>";
    Options options;
    options.cacheFolder = folder_;
    std::vector<std::string> log;
    const auto start = [&] { return startingRates(options, [&](const std::string& line) { log.push_back(line); }); };
    const auto builtIn = builtInRateTable();

    for (const std::string& bad : {std::string(), daily.substr(0, daily.size() / 2), std::string("garbage")}) {
        if (!bad.empty()) cache_.keep(bad);
        log.clear();
        const auto rates = start();
        EXPECT_EQ(log.size(), 1u) << bad;
        EXPECT_FALSE(rates.sources.bank) << bad;
        EXPECT_EQ(rates.table.find("EUR")->usdValue, builtIn.find("EUR")->usdValue) << bad;
        EXPECT_EQ(rates.sources.inUseDate(), "2022-09-05") << bad;
    }
    cache_.keep(daily);
    log.clear();
    const auto rates = start();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(rates.sources.inUseDate(), "2024-01-05");
    EXPECT_EQ(rates.sources.bank->origin, cache_.file().string());
    EXPECT_DOUBLE_EQ(rates.table.find("EUR")->usdValue, 1.25);
}

}  // namespace
}  // namespace kavrel::rates
