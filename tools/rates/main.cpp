// kavrel-rates: the reference rate service Kavrel asks for its conversions.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/run_time_error.h"
#include "options.h"
#include "rate_server.h"
#include "rate_table.h"
#include "reference_rates.h"
#include "reference_refresh.h"

namespace {

using kavrel::rates::RateServer;

// SIGINT and SIGTERM are blocked in every thread and taken synchronously by
// one waiting thread, so the program needs no signal handler and no global flag.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        // Before any other thread starts, so that all of them inherit the mask.
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    }

    // Stops the server when a signal comes; the waiting thread ends with the server.
    std::jthread stopOnSignal(RateServer& server) const {
        return std::jthread([this, &server] {
            int signal = 0;
            sigwait(&set_, &signal);
            server.stop();
        });
    }

    // Wakes the waiting thread when the server ended without a signal.
    static void release(std::jthread& waiter) { pthread_kill(waiter.native_handle(), SIGTERM); }

private:
    sigset_t set_{};
};

void writeLogLine(const std::string& line) {
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);  // one call: stdio keeps concurrent lines whole
}

// The rate table with the reference files merged in, in the order given.
kavrel::rates::RateTable startTable(const kavrel::rates::Options& options) {
    auto table = kavrel::rates::RateTable::load(options.ratesFile);
    for (const auto& file : options.referenceFiles)
        table = kavrel::rates::withReferenceRates(table, kavrel::rates::loadReferenceRates(file));
    return table;
}

int serve(const kavrel::rates::Options& options, kavrel::rates::RateTable table, const StopSignals& signals) {
    std::cerr << "kavrel-rates: " << table.rates().size() << " rates, newest of " << table.newestDate() << std::endl;
    RateServer server(table, writeLogLine);
    const int port = server.bind(options.bind, options.port);
    std::cerr << "kavrel-rates: listening on http://" << options.bind << ":" << port << "/" << std::endl;

    std::optional<kavrel::rates::ReferenceRefresher> refresher;  // after the server it publishes to
    if (!options.referenceUrl.empty())
        refresher.emplace(std::move(table),
                          kavrel::rates::RefreshSettings{options.referenceUrl, options.caFile, options.refreshInterval},
                          [&server](kavrel::rates::RateTable fresh) { server.publish(std::move(fresh)); },
                          writeLogLine);
    auto waiter = signals.stopOnSignal(server);
    server.run();
    StopSignals::release(waiter);
    std::cerr << "kavrel-rates: stopped" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const StopSignals signals;
    kavrel::rates::Options options;
    try {
        options = kavrel::rates::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const kavrel::RunTimeError& error) {
        std::cerr << "kavrel-rates: " << error.what() << "\n" << kavrel::rates::usage();
        return 2;
    }
    if (options.help) {
        std::cout << kavrel::rates::usage();
        return 0;
    }
    kavrel::rates::RateTable table;
    try {
        table = startTable(options);
    } catch (const kavrel::RunTimeError& error) {
        std::cerr << "kavrel-rates: " << error.what() << "\n";
        return 2;
    }
    try {
        return serve(options, std::move(table), signals);
    } catch (const kavrel::RunTimeError& error) {
        std::cerr << "kavrel-rates: " << error.what() << "\n";
        return 1;
    }
}
