#pragma once
// The command line of kavrel-rates.
#include <string>
#include <vector>

namespace kavrel::rates {

inline constexpr int kDefaultPort = 8750;
inline constexpr const char* kDefaultBind = "127.0.0.1";

struct Options {
    int port = kDefaultPort;  // 0: any free port
    std::string bind = kDefaultBind;
    std::string ratesFile;  // the repository's tools/rates/rates.csv unless given
    bool help = false;
};

// Reads --port N, --bind ADDRESS, --rates FILE and --help (also as --name=value).
// `arguments` excludes the program name. A bad option raises RunTimeError.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usage();

}  // namespace kavrel::rates
