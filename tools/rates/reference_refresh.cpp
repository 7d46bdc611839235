#include "reference_refresh.h"

#include <condition_variable>
#include <mutex>

#include "core/run_time_error.h"
#include "reference_rates.h"

namespace kavrel::rates {

bool IsFetchableUrl(std::string_view url) {
    for (const std::string_view scheme : {"http://", "https://"})
        if (url.starts_with(scheme) && url.size() > scheme.size() && url[scheme.size()] != '/') return true;
    return false;
}

ReferenceRefresher::ReferenceRefresher(ServedRates start, RefreshSettings settings, Publish publish, LogSink log)
    : start_(std::move(start)),
      settings_(std::move(settings)),
      publish_(std::move(publish)),
      log_(std::move(log)),
      current_(start_),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

void ReferenceRefresher::Run(std::stop_token stop) {
    std::mutex mutex;  // only for the timed wait, which a stop request cuts short
    std::condition_variable_any wake;
    Refresh(stop);
    for (std::unique_lock lock(mutex);
         !wake.wait_for(lock, stop, settings_.interval, [&] { return stop.stop_requested(); });)
        Refresh(stop);
}

void ReferenceRefresher::Refresh(std::stop_token stop) {
    try {
        const auto file = FetchReferenceFile(settings_.url, settings_.caFile, stop);
        const auto rates = ParseReferenceRates(file, settings_.url);
        ServedRates fresh = start_;
        const auto fetched = MergeBankFile(fresh, rates, settings_.url);
        current_ = fresh;
        publish_(std::move(fresh));
        log_("kavrel-rates: " + std::to_string(rates.size()) + " reference rates of " + fetched.date + " from " +
             settings_.url);
        LogUnusedBankFile(fetched, log_);
        Keep(file);
    } catch (const RunTimeError& error) {
        if (stop.stop_requested()) return;  // the service is stopping: nothing failed
        log_("kavrel-rates: refresh failed, the rates in service stay: " + std::string(error.what()));
        auto noted = current_;
        noted.sources.fetchProblem = error.what();
        publish_(std::move(noted));
    }
}

void ReferenceRefresher::Keep(const std::string& file) const {
    if (!settings_.cache) return;
    try {
        settings_.cache->Keep(file);
    } catch (const RunTimeError& error) {
        log_("kavrel-rates: the file is not kept for the next start: " + std::string(error.what()));
    }
}

}  // namespace kavrel::rates
