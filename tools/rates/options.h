#pragma once
// The command line of kavrel-rates.
#include <chrono>
#include <string>
#include <vector>

namespace kavrel::rates {

inline constexpr int kDefaultPort = 8750;
inline constexpr const char* kDefaultBind = "127.0.0.1";
inline constexpr std::chrono::hours kDefaultRefresh{6};

struct Options {
    int port = kDefaultPort;  // 0: any free port
    std::string bind = kDefaultBind;
    std::string ratesFile;  // the repository's tools/rates/rates.csv unless given
    std::vector<std::string> referenceFiles;  // --ecb, in the order given
    std::string referenceUrl;                 // --ecb-url, empty for none
    std::chrono::milliseconds refreshInterval = kDefaultRefresh;
    std::string caFile;  // empty: the system's CA store
    bool help = false;
};

// Reads --port N, --bind ADDRESS, --rates FILE, --ecb FILE (repeatable),
// --ecb-url URL, --refresh DURATION, --ca-file FILE and --help (also as --name=value).
// `arguments` excludes the program name. A bad option raises RunTimeError.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usage();

}  // namespace kavrel::rates
