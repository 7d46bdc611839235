// The command line of kavrel-rates.
#include "options.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "core/run_time_error.h"

namespace kavrel::rates {
namespace {

TEST(Options, ReadsTheCommandLineAndRefusesBadValues) {
    const auto given = ParseOptions({"--port", "9000", "--bind=0.0.0.0", "--rates", "/tmp/r.csv", "--help", "--ecb",
                                     "a.xml", "--ecb=b.csv", "--ecb-url", "https://127.0.0.1/d.xml", "--refresh",
                                     "100ms", "--ca-file", "ca.pem", "--cache", "/tmp/c"});
    EXPECT_EQ(std::tie(given.port, given.bind, given.ratesFile, given.help, given.referenceUrl, given.caFile),
              std::tuple(9000, "0.0.0.0", "/tmp/r.csv", true, "https://127.0.0.1/d.xml", "ca.pem"));
    EXPECT_EQ(given.cacheFolder, "/tmp/c");
    const auto byDefault = ParseOptions({}, "/home/c");  // the bank's file, kept in the user's cache
    EXPECT_EQ(std::tie(byDefault.referenceUrl, byDefault.cacheFolder, byDefault.ratesFile),
              std::tuple(kBankDailyUrl, "/home/c", ""));
    const auto alone = ParseOptions({"--no-fetch", "--no-cache"}, "/home/c");
    EXPECT_EQ(alone.referenceUrl + alone.cacheFolder.string(), "");
    EXPECT_EQ(given.referenceFiles, (std::vector<std::string>{"a.xml", "b.csv"}));
    EXPECT_EQ(given.refreshInterval, std::chrono::milliseconds(100));
    EXPECT_EQ(ParseOptions({"--refresh=8784h"}).refreshInterval, std::chrono::hours(8784));

    // clang-format off
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--port", "x"}, {"--port", "70000"}, {"--port"}, {"--colour"}, {"extra"}, {"--refresh=6"},
             {"--refresh=99ms"}, {"--refresh=8785h"}, {"--ecb-url=ftp://a/d.xml"}, {"--ecb-url=http:///d.xml"},
             {"--no-fetch=1"}})
        // clang-format on
        EXPECT_THROW(ParseOptions(bad), RunTimeError) << bad.front();
}

}  // namespace
}  // namespace kavrel::rates
