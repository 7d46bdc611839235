// kavrel-rates: the reference rate service Kavrel asks for its conversions.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "core/run_time_error.h"
#include "options.h"
#include "rate_server.h"
#include "rate_table.h"

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

int serve(const kavrel::rates::Options& options, const StopSignals& signals) {
    auto table = kavrel::rates::RateTable::load(options.ratesFile);
    const auto count = table.rates().size();
    const auto date = table.mostCommonDate();
    RateServer server(std::move(table), writeLogLine);
    const int port = server.bind(options.bind, options.port);
    std::cerr << "kavrel-rates: " << count << " rates, most of " << date << ", from " << options.ratesFile
              << ", listening on http://" << options.bind << ":" << port << "/" << std::endl;

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
    try {
        return serve(options, signals);
    } catch (const kavrel::RunTimeError& error) {
        std::cerr << "kavrel-rates: " << error.what() << "\n";
        return 1;
    }
}
