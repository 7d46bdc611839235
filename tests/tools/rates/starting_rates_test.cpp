// The rates the service starts with, and the file it keeps between starts.
#include "starting_rates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "rate_cache.h"

namespace kavrel::rates {
namespace {

class KeptFile : public ::testing::Test {
protected:
    KeptFile() { options_.cacheFolder = folder_; }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    ServedRates Start() {
        log_.clear();
        return StartingRates(options_, [&](const std::string& line) { log_.push_back(line); });
    }
    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("kavrel-kept-" + std::to_string(::getpid()));
    const RateCache cache_{folder_};
    Options options_;
    std::vector<std::string> log_;
};

TEST_F(KeptFile, ServesAGoodOneAndPassesOverAMissingTruncatedOrBadOneWithALogLine) {
    const std::string daily = "<Cube><Cube time='2024-01-05'><Cube currency='USD' rate='1.25'/></Cube></Cube>";
    const auto builtIn = BuiltInRateTable();
    EXPECT_EQ(cache_.Read(), std::nullopt);
    for (const std::string& bad : {std::string(), daily.substr(0, daily.size() / 2), std::string("garbage")}) {
        if (!bad.empty()) cache_.Keep(bad);
        const auto rates = Start();
        EXPECT_EQ(log_.size(), 1u) << bad;
        EXPECT_TRUE(rates.sources.bankFiles.empty()) << bad;
        EXPECT_EQ(rates.table.Find("EUR")->usdValue, builtIn.Find("EUR")->usdValue) << bad;
        EXPECT_EQ(rates.sources.InUseDate(), "2022-09-05") << bad;
    }
    EXPECT_EQ(cache_.Read(), "garbage");  // in place of a longer file, whole, and nothing left beside it
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
    cache_.Keep(daily);
    const auto rates = Start();
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(rates.sources.InUseDate(), "2024-01-05");
    EXPECT_EQ(rates.sources.bankFiles.at(0).origin, cache_.File().string());
    EXPECT_DOUBLE_EQ(rates.table.Find("EUR")->usdValue, 1.25);
}

TEST_F(KeptFile, AFileOlderThanTheTablesRatesIsSaidToBeUnusedAndTheTablesDateStands) {
    cache_.Keep("<Cube><Cube time='2022-01-03'><Cube currency='USD' rate='1.13'/></Cube></Cube>");
    options_.referenceFiles = {cache_.File().string()};  // given by --ecb, with no kept file
    options_.cacheFolder.clear();
    const auto rates = Start();
    EXPECT_EQ(rates.sources.bankFiles.at(0).ratesInUse, 0u);
    EXPECT_EQ(rates.sources.InUseDate(), "2022-09-05");
    EXPECT_EQ(log_, std::vector<std::string>{"kavrel-rates: none of the rates of " + cache_.File().string() +
                                             " (2022-01-03) is used: the service has later ones"});
}

}  // namespace
}  // namespace kavrel::rates
