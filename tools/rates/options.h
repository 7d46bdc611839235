#pragma once
// The command line of kavrel-rates.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "build_config.h"

namespace kavrel::rates {

inline constexpr int kDefaultPort = KAVREL_SERVICE_PORT;
inline constexpr const char* kDefaultBind = "127.0.0.1";
inline constexpr std::chrono::hours kDefaultRefresh{6};
// The European Central Bank's euro reference rates of the last working day.
inline constexpr const char* kBankDailyUrl = "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-daily.xml";

struct Options {
    int port = kDefaultPort;  // 0: any free port
    std::string bind = kDefaultBind;
    std::string ratesFile;                     // empty: the table compiled into the program
    std::vector<std::string> referenceFiles;   // --ecb, in the order given
    std::string referenceUrl = kBankDailyUrl;  // empty (--no-fetch): no fetch
    std::chrono::milliseconds refreshInterval = kDefaultRefresh;
    std::string caFile;                 // empty: the system's CA store
    std::filesystem::path cacheFolder;  // empty (--no-cache): no cache
    bool help = false;
};

// Reads --port N, --bind ADDRESS, --rates FILE, --ecb FILE (repeatable),
// --ecb-url URL, --no-fetch, --refresh DURATION, --ca-file FILE, --cache FOLDER,
// --no-cache and --help (a value also as --name=value). `arguments` excludes
// the program name; `defaultCacheFolder` is the user's (see rate_cache.h).
// A bad option raises RunTimeError.
Options ParseOptions(const std::vector<std::string>& arguments, const std::filesystem::path& defaultCacheFolder = {});

std::string Usage();

}  // namespace kavrel::rates
