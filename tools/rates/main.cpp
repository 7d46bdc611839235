// kavrel-rates: the reference rate service Kavrel asks for its conversions.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/run_time_error.h"
#include "options.h"
#include "rate_cache.h"
#include "rate_server.h"
#include "reference_refresh.h"
#include "starting_rates.h"
#include "stop_requests.h"

namespace {

using namespace kavrel::rates;

// No iostreams: they would add a fifth to the size of the Windows program.
void write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);  // one call: stdio keeps concurrent lines whole
    std::fflush(stream);
}

void writeLogLine(const std::string& line) { write(stderr, line + "\n"); }

std::string describe(const ServedRates& rates) {
    const auto& sources = rates.sources;
    std::string text = "kavrel-rates: " + std::to_string(rates.table.rates().size()) + " rates of " +
                       sources.inUseDate() + ": the " +
                       (sources.tableFile.empty() ? "built-in table" : "table " + sources.tableFile) + " of " +
                       sources.tableDate;
    if (sources.bank) text += ", the European Central Bank's rates of " + sources.bank->date + " from " + sources.bank->origin;
    return text;
}

int serve(const Options& options, ServedRates rates, const StopRequests& stopRequests) {
    writeLogLine(describe(rates));
    RateServer server(rates, writeLogLine);
    const int port = server.bind(options.bind, options.port);
    writeLogLine("kavrel-rates: listening on http://" + options.bind + ":" + std::to_string(port) + "/");

    std::optional<ReferenceRefresher> refresher;  // after the server it publishes to
    if (!options.referenceUrl.empty()) {
        std::optional<RateCache> cache;
        if (!options.cacheFolder.empty()) cache.emplace(options.cacheFolder);
        refresher.emplace(std::move(rates),
                          RefreshSettings{options.referenceUrl, options.caFile, options.refreshInterval, cache},
                          [&server](ServedRates fresh) { server.publish(std::move(fresh)); }, writeLogLine);
    }
    const auto watch = stopRequests.watch([&server] { server.stop(); });
    server.run();
    writeLogLine("kavrel-rates: stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const StopRequests stopRequests;  // before any other thread starts
    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), userCacheFolder());
    } catch (const kavrel::RunTimeError& error) {
        write(stderr, "kavrel-rates: " + std::string(error.what()) + "\n" + usage());
        return 2;
    }
    if (options.help) {
        write(stdout, usage());
        return 0;
    }
    ServedRates rates;
    try {
        rates = startingRates(options, writeLogLine);
    } catch (const kavrel::RunTimeError& error) {
        writeLogLine("kavrel-rates: " + std::string(error.what()));
        return 2;
    }
    try {
        return serve(options, std::move(rates), stopRequests);
    } catch (const kavrel::RunTimeError& error) {
        writeLogLine("kavrel-rates: " + std::string(error.what()));
        return 1;
    }
}
