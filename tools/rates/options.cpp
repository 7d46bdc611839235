#include "options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <string_view>
#include <utility>

#include "core/run_time_error.h"
#include "reference_refresh.h"

namespace kavrel::rates {
namespace {

constexpr int kMaxPort = 65535;

constexpr std::chrono::milliseconds kShortestRefresh{100};
constexpr std::chrono::hours kLongestRefresh{24 * 366};

[[noreturn]] void Fail(const std::string& what) { throw RunTimeError(ErrorKind::InvalidArgument, what); }

int PortNumber(std::string_view text) {
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < 0 || port > kMaxPort)
        Fail("--port needs a number from 0 to 65535, not \"" + std::string(text) + "\"");
    return port;
}

// A whole number and a unit: 500ms, 90s, 30m, 6h.
std::chrono::milliseconds Duration(std::string_view text) {
    static constexpr std::pair<std::string_view, std::chrono::milliseconds> kUnits[] = {
        {"ms", std::chrono::milliseconds{1}},
        {"s", std::chrono::seconds{1}},
        {"m", std::chrono::minutes{1}},
        {"h", std::chrono::hours{1}}};
    long long count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    for (const auto& [name, length] : kUnits) {
        if (error != std::errc{} || unit != name || count > kLongestRefresh / length) continue;
        if (const auto interval = count * length; interval >= kShortestRefresh) return interval;
    }
    Fail("--refresh needs a whole number and a unit (ms, s, m or h) from 100ms to 8784h, not \"" + std::string(text) +
         "\"");
}

std::string FetchableUrl(const std::string& url) {
    if (!IsFetchableUrl(url)) Fail("--ecb-url needs an http:// or https:// address, not \"" + url + "\"");
    return url;
}

std::string CaFile(const std::string& file) {
#ifdef _WIN32
    // WinHTTP trusts the certificates of Windows' own store, which is where another one belongs.
    Fail("--ca-file is not supported on Windows: add the certificate to Windows' certificate store (" + file + ")");
#else
    return file;
#endif
}

// One option: its name, and what it does to the options with its value (empty
// for an option that takes none).
struct OptionRule {
    std::string_view name;
    bool takesValue;
    std::function<void(Options&, const std::string&)> apply;
};

const std::vector<OptionRule>& OptionRules() {
    static const std::vector<OptionRule> kRules{
        {"port", true, [](Options& o, const std::string& v) { o.port = PortNumber(v); }},
        {"bind", true, [](Options& o, const std::string& v) { o.bind = v; }},
        {"rates", true, [](Options& o, const std::string& v) { o.ratesFile = v; }},
        {"ecb", true, [](Options& o, const std::string& v) { o.referenceFiles.push_back(v); }},
        {"ecb-url", true, [](Options& o, const std::string& v) { o.referenceUrl = FetchableUrl(v); }},
        {"no-fetch", false, [](Options& o, const std::string&) { o.referenceUrl.clear(); }},
        {"refresh", true, [](Options& o, const std::string& v) { o.refreshInterval = Duration(v); }},
        {"ca-file", true, [](Options& o, const std::string& v) { o.caFile = CaFile(v); }},
        {"cache", true, [](Options& o, const std::string& v) { o.cacheFolder = v; }},
        {"no-cache", false, [](Options& o, const std::string&) { o.cacheFolder.clear(); }},
        {"help", false, [](Options& o, const std::string&) { o.help = true; }},
    };
    return kRules;
}

const OptionRule& RuleFor(std::string_view name, const std::string& word) {
    const auto& rules = OptionRules();
    const auto found =
        std::find_if(rules.begin(), rules.end(), [&](const OptionRule& rule) { return rule.name == name; });
    if (found == rules.end()) Fail("unknown option: " + word);
    return *found;
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments, const std::filesystem::path& defaultCacheFolder) {
    Options options;
    options.cacheFolder = defaultCacheFolder;
    for (auto word = arguments.begin(); word != arguments.end(); ++word) {
        if (!word->starts_with("--")) Fail("unexpected argument: " + *word);
        const auto equals = word->find('=');
        const auto& rule = RuleFor(std::string_view(*word).substr(2, equals - 2), *word);
        if (!rule.takesValue) {
            if (equals != std::string::npos) Fail(std::string("--") + std::string(rule.name) + " takes no value");
            rule.apply(options, {});
        } else if (equals != std::string::npos) {
            rule.apply(options, word->substr(equals + 1));
        } else {
            if (std::next(word) == arguments.end()) Fail("missing value: " + *word);
            rule.apply(options, *++word);
        }
    }
    return options;
}

std::string Usage() {
    return std::string(
               "Usage: kavrel-rates [--port N] [--bind ADDRESS] [--rates FILE] [--ecb FILE]...\n"
               "                    [--ecb-url URL | --no-fetch] [--refresh DURATION] [--ca-file FILE]\n"
               "                    [--cache FOLDER | --no-cache]\n"
               "Serves Kavrel's conversion query from a rate table kept current with the\n"
               "European Central Bank's euro reference rates.\n"
               "  --port N          TCP port, 0 for any free one (default ") +
           std::to_string(kDefaultPort) + ")\n" + "  --bind ADDRESS    address to listen on (default " + kDefaultBind +
           ")\n"
           "  --rates FILE      rate table (default: the table built into the program)\n"
           "  --ecb FILE        euro reference rates (the bank's daily or history XML or CSV)\n"
           "                    in place of the table's; repeatable\n"
           "  --ecb-url URL     where to fetch such a file, at start and at every refresh\n"
           "                    (default " +
           kBankDailyUrl +
           ")\n"
           "  --no-fetch        fetch nothing: serve the table and the --ecb files alone\n"
           "  --refresh DURATION  time between fetches: 500ms, 90s, 30m, 6h (default 6h)\n"
           "  --ca-file FILE    trust the certificates in FILE instead of the system's CA store\n"
           "  --cache FOLDER    keep the last good fetched file there (default: the user's cache)\n"
           "  --no-cache        keep no fetched file\n"
           "  --help            this text\n"
           "Stops cleanly on SIGINT or SIGTERM (Ctrl+C, Ctrl+Break or closing its console on Windows).\n";
}

}  // namespace kavrel::rates
