#include "options.h"

#include <getopt.h>

#include <array>
#include <charconv>

#include "core/run_time_error.h"

namespace kavrel::rates {
namespace {

constexpr int kMaxPort = 65535;

enum OptionId : int { Port = 'p', Bind = 'b', Rates = 'r', Help = 'h' };

constexpr std::array<option, 5> kLongOptions{{
    {"port", required_argument, nullptr, Port},
    {"bind", required_argument, nullptr, Bind},
    {"rates", required_argument, nullptr, Rates},
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
            case Help: options.help = true; break;
            default: fail("unknown option or missing value: " + words[static_cast<std::size_t>(optind - 1)]);
        }
    }
    if (optind < argc) fail("unexpected argument: " + words[static_cast<std::size_t>(optind)]);
    return options;
}

std::string usage() {
    return std::string("Usage: kavrel-rates [--port N] [--bind ADDRESS] [--rates FILE]\n"
                       "Serves Kavrel's conversion query from a reference rate table.\n"
                       "  --port N          TCP port, 0 for any free one (default ") +
           std::to_string(kDefaultPort) + ")\n" + "  --bind ADDRESS    address to listen on (default " + kDefaultBind +
           ")\n" + "  --rates FILE      rate table (default " + KAVREL_RATES_DEFAULT_FILE + ")\n" +
           "  --help            this text\n" + "Stops cleanly on SIGINT or SIGTERM.\n";
}

}  // namespace kavrel::rates
