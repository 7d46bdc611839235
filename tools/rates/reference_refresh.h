#pragma once
// Fetching a reference rate file by HTTP or HTTPS, and keeping the service's
// rates current by fetching it again at a fixed interval.
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "rate_table.h"

namespace kavrel::rates {

// Whether `url` starts with http:// or https:// and a host.
bool isFetchableUrl(std::string_view url);

// The body of `url` (http:// or https://). HTTPS verifies the server's
// certificate against the system's CA store, or against the certificates in
// `caFile` when it is given. Raises RunTimeError on any failure, a status
// other than 200, or a body beyond kMaxReferenceFileBytes.
std::string fetchReferenceFile(const std::string& url, const std::string& caFile = {});

struct RefreshSettings {
    std::string url;
    std::string caFile;  // empty: the system's CA store
    std::chrono::milliseconds interval;
};

// Fetches the reference file at once and then every interval on its own
// thread, and hands each good one, merged onto `base`, to `publish`. A fetch
// or file that fails leaves the rates in service as they are. Each attempt is
// logged as one line. Destruction stops the thread (after a fetch under way).
class ReferenceRefresher {
public:
    using Publish = std::function<void(RateTable)>;
    using LogSink = std::function<void(const std::string& line)>;

    ReferenceRefresher(RateTable base, RefreshSettings settings, Publish publish, LogSink log);

private:
    void run(std::stop_token stop) const;
    void refresh() const;

    const RateTable base_;
    const RefreshSettings settings_;
    const Publish publish_;
    const LogSink log_;
    std::jthread thread_;  // last: started once everything it uses is in place
};

}  // namespace kavrel::rates
