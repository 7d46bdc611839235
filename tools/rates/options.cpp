#include "options.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <utility>

#include "core/run_time_error.h"
#include "reference_refresh.h"

namespace kavrel::rates {
namespace {

constexpr int kMaxPort = 65535;

constexpr std::chrono::milliseconds kShortestRefresh{100};
constexpr std::chrono::hours kLongestRefresh{24 * 366};

enum OptionId : int {
    Port = 'p',
    Bind = 'b',
    Rates = 'r',
    Ecb = 'e',
    EcbUrl = 'u',
    Refresh = 'f',
    CaFile = 'c',
    Help = 'h',
};

constexpr std::array<option, 9> kLongOptions{{
    {"port", required_argument, nullptr, Port},
    {"bind", required_argument, nullptr, Bind},
    {"rates", required_argument, nullptr, Rates},
    {"ecb", required_argument, nullptr, Ecb},
    {"ecb-url", required_argument, nullptr, EcbUrl},
    {"refresh", required_argument, nullptr, Refresh},
    {"ca-file", required_argument, nullptr, CaFile},
    {"help", no_argument, nullptr, Help},
    {nullptr, 0, nullptr, 0},
}};

[[noreturn]] void fail(const std::string& what) { throw RunTimeError(ErrorKind::InvalidArgument, what); }

int portNumber(std::string_view text) {
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < 0 || port > kMaxPort)
        fail("--port needs a number from 0 to 65535, not \"" + std::string(text) + "\"");
    return port;
}

// A whole number and a unit: 500ms, 90s, 30m, 6h.
std::chrono::milliseconds duration(std::string_view text) {
    static constexpr std::pair<std::string_view, std::chrono::milliseconds> kUnits[] = {
        {"ms", std::chrono::milliseconds{1}}, {"s", std::chrono::seconds{1}},
        {"m", std::chrono::minutes{1}},       {"h", std::chrono::hours{1}}};
    long long count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    for (const auto& [name, length] : kUnits) {
        if (error != std::errc{} || unit != name || count > kLongestRefresh / length) continue;
        if (const auto interval = count * length; interval >= kShortestRefresh) return interval;
    }
    fail("--refresh needs a whole number and a unit (ms, s, m or h) from 100ms to 8784h, not \"" +
         std::string(text) + "\"");
}

std::string fetchableUrl(const std::string& url) {
    if (!isFetchableUrl(url)) fail("--ecb-url needs an http:// or https:// address, not \"" + url + "\"");
    return url;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    // getopt_long wants a mutable argv with the program name in front.
    std::vector<std::string> words{"kavrel-rates"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    Options options;
    options.ratesFile = KAVREL_RATES_DEFAULT_FILE;
    optind = 0;  // start a fresh scan: the parser keeps its position between calls
    opterr = 0;  // errors are reported by the exception below, not printed by getopt
    const int argc = static_cast<int>(words.size());
    for (int id; (id = getopt_long(argc, argv.data(), "", kLongOptions.data(), nullptr)) != -1;) {
        switch (id) {
            case Port: options.port = portNumber(optarg); break;
            case Bind: options.bind = optarg; break;
            case Rates: options.ratesFile = optarg; break;
            case Ecb: options.referenceFiles.emplace_back(optarg); break;
            case EcbUrl: options.referenceUrl = fetchableUrl(optarg); break;
            case Refresh: options.refreshInterval = duration(optarg); break;
            case CaFile: options.caFile = optarg; break;
            case Help: options.help = true; break;
            default: fail("unknown option or missing value: " + words[static_cast<std::size_t>(optind - 1)]);
        }
    }
    if (optind < argc) fail("unexpected argument: " + words[static_cast<std::size_t>(optind)]);
    return options;
}

std::string usage() {
    return std::string("Usage: kavrel-rates [--port N] [--bind ADDRESS] [--rates FILE] [--ecb FILE]...\n"
                       "                    [--ecb-url URL [--refresh DURATION] [--ca-file FILE]]\n"
                       "Serves Kavrel's conversion query from a reference rate table.\n"
                       "  --port N          TCP port, 0 for any free one (default ") +
           std::to_string(kDefaultPort) + ")\n" + "  --bind ADDRESS    address to listen on (default " + kDefaultBind +
           ")\n" + "  --rates FILE      rate table (default " + KAVREL_RATES_DEFAULT_FILE + ")\n" +
           "  --ecb FILE        euro reference rates (ECB daily XML, daily CSV or history CSV)\n"
           "                    in place of the table's; repeatable\n"
           "  --ecb-url URL     fetch such a file at start and at every refresh\n"
           "  --refresh DURATION  time between fetches: 500ms, 90s, 30m, 6h (default 6h)\n"
           "  --ca-file FILE    trust the certificates in FILE instead of the system's CA store\n"
           "  --help            this text\n"
           "Stops cleanly on SIGINT or SIGTERM.\n";
}

}  // namespace kavrel::rates
