// kavrel-rates: the reference rate service Kavrel asks for its conversions.
#include <cstdio>
#include <cstdlib>
#include <mutex>
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
void Write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);  // one call: stdio keeps concurrent lines whole
    std::fflush(stream);
}

void WriteLogLine(const std::string& line) { Write(stderr, line + "\n"); }

// What a stop request does: before the server is up (while files load, which
// may hang on a file that never ends) the service has nothing to clean up
// and ends at once; once it serves, the server stops and main returns.
class ServiceStop {
public:
    void Request() {
        const std::lock_guard lock(mutex_);
        if (server_) return server_->Stop();
        if (started_) return;  // the server has ended: main is on its way out
        WriteLogLine("kavrel-rates: stopped while starting");
        std::_Exit(0);
    }

    // Stop requests go to `server` while this lives.
    class Serving {
    public:
        Serving(ServiceStop& stop, RateServer& server) : stop_(stop) { stop_.ServeWith(&server); }
        Serving(const Serving&) = delete;
        Serving& operator=(const Serving&) = delete;
        ~Serving() { stop_.ServeWith(nullptr); }

    private:
        ServiceStop& stop_;
    };

private:
    void ServeWith(RateServer* server) {
        const std::lock_guard lock(mutex_);
        server_ = server;
        started_ = true;
    }

    std::mutex mutex_;
    RateServer* server_ = nullptr;
    bool started_ = false;
};

std::string Describe(const ServedRates& rates) {
    const auto& sources = rates.sources;
    std::string text =
        "kavrel-rates: " + std::to_string(rates.table.Rates().size()) + " rates of " + sources.InUseDate() + ": the " +
        (sources.tableFile.empty() ? "built-in table" : "table " + sources.tableFile) + " of " + sources.tableDate;
    for (const auto& file : sources.bankFiles)
        if (file.ratesInUse > 0) text += ", the European Central Bank's rates of " + file.date + " from " + file.origin;
    return text;
}

int Serve(const Options& options, ServedRates rates, ServiceStop& stop) {
    WriteLogLine(Describe(rates));
    RateServer server(rates, WriteLogLine);
    const ServiceStop::Serving serving(stop, server);
    const int port = server.Bind(options.bind, options.port);
    WriteLogLine("kavrel-rates: listening on http://" + options.bind + ":" + std::to_string(port) + "/");

    std::optional<ReferenceRefresher> refresher;  // after the server it publishes to
    if (!options.referenceUrl.empty()) {
        std::optional<RateCache> cache;
        if (!options.cacheFolder.empty()) cache.emplace(options.cacheFolder);
        refresher.emplace(
            std::move(rates), RefreshSettings{options.referenceUrl, options.caFile, options.refreshInterval, cache},
            [&server](ServedRates fresh) { server.Publish(std::move(fresh)); }, WriteLogLine);
    }
    server.Run();
    WriteLogLine("kavrel-rates: stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const StopRequests stopRequests;  // before any other thread starts
    ServiceStop stop;
    const auto watch = stopRequests.StartWatch([&stop] { stop.Request(); });
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), UserCacheFolder());
    } catch (const kavrel::RunTimeError& error) {
        Write(stderr, "kavrel-rates: " + std::string(error.what()) + "\n" + Usage());
        return 2;
    }
    if (options.help) {
        Write(stdout, Usage());
        return 0;
    }
    ServedRates rates;
    try {
        rates = StartingRates(options, WriteLogLine);
    } catch (const kavrel::RunTimeError& error) {
        WriteLogLine("kavrel-rates: " + std::string(error.what()));
        return 2;
    }
    try {
        return Serve(options, std::move(rates), stop);
    } catch (const kavrel::RunTimeError& error) {
        WriteLogLine("kavrel-rates: " + std::string(error.what()));
        return 1;
    }
}
