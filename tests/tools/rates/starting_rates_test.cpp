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
        EXPECT_TRUE(rates.sources.bankFiles.empty()) << bad;
        EXPECT_EQ(rates.table.find("EUR")->usdValue, builtIn.find("EUR")->usdValue) << bad;
        EXPECT_EQ(rates.sources.inUseDate(), "2022-09-05") << bad;
    }
    cache_.keep(daily);
    log.clear();
    const auto rates = start();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(rates.sources.inUseDate(), "2024-01-05");
    EXPECT_EQ(rates.sources.bankFiles.at(0).origin, cache_.file().string());
    EXPECT_DOUBLE_EQ(rates.table.find("EUR")->usdValue, 1.25);
}

TEST_F(KeptFile, AFileOlderThanTheTablesRatesIsSaidToBeUnusedAndTheTablesDateStands) {
    std::filesystem::create_directories(folder_);
    Options options;
    options.referenceFiles = {(folder_ / "old.xml").string()};
    std::ofstream(options.referenceFiles[0])
        << "<Cube><Cube time='2022-01-03'><Cube currency='USD' rate='1.13'/><Cube currency='GBP' rate='0.84'/></Cube></Cube>";
    std::vector<std::string> log;
    const auto rates = startingRates(options, [&](const std::string& line) { log.push_back(line); });
    EXPECT_EQ(rates.sources.bankFiles.at(0).ratesInUse, 0u);
    EXPECT_EQ(rates.sources.inUseDate(), "2022-09-05");
    EXPECT_EQ(log, std::vector<std::string>{"kavrel-rates: none of the rates of " + options.referenceFiles[0] +
                                            " (2022-01-03) is used: the service has later ones"});
}

}  // namespace
}  // namespace kavrel::rates
