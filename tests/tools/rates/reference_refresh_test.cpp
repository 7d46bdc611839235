// Fetching reference files, and the refresh of the service's rates from them.
#include "reference_refresh.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "core/run_time_error.h"
#include "loopback_servers.h"
#include "rate_cache.h"
#include "reference_rates.h"

namespace kavrel::rates::testing {
namespace {

using ::testing::ThrowsMessage;

const std::string kDaily =
    "<Cube><Cube time='2024-01-05'><Cube currency='USD' rate='1.25'/><Cube currency='GBP' rate='0.8'/></Cube></Cube>";

TEST(FetchReferenceFile, FailsOnAStatusOtherThan200ABodyTooLargeOrNoServer) {
    Source source({{404, "gone"}, {200, std::string(kMaxReferenceFileBytes + 1, 'x')}});
    const auto fetch = [&] { FetchReferenceFile(source.Url()); };
    EXPECT_THAT(fetch, ThrowsMessage<RunTimeError>(source.Url() + ": HTTP status 404"));
    EXPECT_THAT(fetch, ThrowsMessage<RunTimeError>(source.Url() + ": more bytes than a reference file may have"));
    source.Stop();
    EXPECT_THAT(fetch, ThrowsMessage<RunTimeError>(source.Url() + ": could not connect"));
}

TEST(ReferenceRefresher, KeepsAGoodFileAndPublishesAFailureAsANoteOnTheRatesInService) {
    Source source({{200, kDaily}, {200, "<html><body>Maintenance</body></html>"}});
    const auto failure = "kavrel-rates: refresh failed, the rates in service stay: " + source.Url() + ": no <Cube time";
    const auto folder = std::filesystem::temp_directory_path() / ("kavrel-keep-" + std::to_string(::getpid()));
    std::atomic<int> fresh{0}, noted{0}, failed{0};
    {
        const ReferenceRefresher refresher(
            kRates, {source.Url(), "", std::chrono::milliseconds(100), RateCache(folder)},
            [&](const ServedRates& rates) {
                const bool dated = rates.sources.InUseDate() == "2024-01-05";
                (rates.sources.fetchProblem.empty() ? fresh : noted) += dated;
            },
            [&](const std::string& line) { failed += line.starts_with(failure); });
        for (int tries = 0; tries < 1000 && (failed < 2 || noted < 2); ++tries)  // ten seconds at most
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(failed >= 2 && noted >= 2);
    }
    EXPECT_EQ(fresh, 1);
    EXPECT_EQ(RateCache(folder).Read(), kDaily);
    std::filesystem::remove_all(folder);
}

TEST(FetchReferenceFile, TrustsOnlyAVerifiedCertificate) {
    const auto dir = std::filesystem::temp_directory_path() / ("kavrel-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto key = (dir / "key.pem").string(), certificate = (dir / "certificate.pem").string();
    const auto makeCertificate =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj "
        "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + certificate + " 2>/dev/null";
    ASSERT_EQ(std::system(makeCertificate.c_str()), 0);
    const Source<httplib::SSLServer> source({{200, kDaily}}, certificate, key);
    const auto untrusted = source.Url() + ": the server's certificate is not trusted (self-signed certificate)";
    EXPECT_THAT([&] { FetchReferenceFile(source.Url()); }, ThrowsMessage<RunTimeError>(untrusted));
    EXPECT_EQ(ParseReferenceRates(FetchReferenceFile(source.Url(), certificate), "f").size(), 3u);  // USD, GBP, EUR
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kavrel::rates::testing
