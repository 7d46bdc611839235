#pragma once
// Fetching a reference rate file by HTTP or HTTPS, and keeping the service's
// rates current by fetching it again at a fixed interval.
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "rate_cache.h"
#include "served_rates.h"

namespace kavrel::rates {

// Whether `url` starts with http:// or https:// and a host.
bool IsFetchableUrl(std::string_view url);

// The body of `url` (http:// or https://), through the platform's HTTP
// client: WinHTTP on Windows (the system's TLS, proxy settings and certificate
// store), cpp-httplib with OpenSSL elsewhere, verifying HTTPS against the
// system's CA store or the certificates in `CaFile` when it is given. A stop
// request cuts a fetch under way short. Raises RunTimeError on any failure, a
// stop, a status other than 200, or a body beyond kMaxReferenceFileBytes.
std::string FetchReferenceFile(const std::string& url, const std::string& caFile = {}, std::stop_token stop = {});

struct RefreshSettings {
    std::string url;
    std::string caFile;  // empty: the system's CA store
    std::chrono::milliseconds interval;
    std::optional<RateCache> cache;  // where each good file is kept, if anywhere
};

// Fetches the reference file at once and then every interval on its own
// thread. Each good one, merged onto the starting rates, is kept in the cache
// and handed to `publish`; a fetch or file that fails leaves the rates in
// service as they are and hands them on with the reason, for the home page.
// Each attempt is logged as one line. Destruction stops the thread, cutting a
// fetch under way short.
class ReferenceRefresher {
public:
    using Publish = std::function<void(ServedRates)>;

    ReferenceRefresher(ServedRates start, RefreshSettings settings, Publish publish, LogSink log);

private:
    void Run(std::stop_token stop);
    void Refresh(std::stop_token stop);
    void Keep(const std::string& file) const;

    const ServedRates start_;
    const RefreshSettings settings_;
    const Publish publish_;
    const LogSink log_;
    ServedRates current_;  // only the thread's own
    std::jthread thread_;  // last: started once everything it uses is in place
};

}  // namespace kavrel::rates
