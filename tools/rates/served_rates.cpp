#include "served_rates.h"

#include <algorithm>

#include "reference_rates.h"

namespace kavrel::rates {

std::string RateSources::InUseDate() const {
    std::string newest;
    for (const auto& file : bankFiles)
        if (file.ratesInUse > 0) newest = std::max(newest, file.date);
    return newest.empty() ? tableDate : newest;
}

const RateSources::BankFile& MergeBankFile(ServedRates& rates, const std::vector<Rate>& reference,
                                           const std::string& origin) {
    rates.table = WithReferenceRates(rates.table, reference);
    std::string date;
    for (const auto& rate : reference) date = std::max(date, rate.date);
    auto& files = rates.sources.bankFiles;
    files.push_back({date, origin, 0});
    // A rate taken from a file, or fixed to one taken from it, names the file at the end of its source.
    for (auto& file : files) {
        const auto mark = ", " + file.origin;
        file.ratesInUse = static_cast<std::size_t>(
            std::count_if(rates.table.Rates().begin(), rates.table.Rates().end(),
                          [&](const auto& entry) { return entry.second.source.ends_with(mark); }));
    }
    return files.back();
}

void LogUnusedBankFile(const RateSources::BankFile& file, const LogSink& log) {
    if (file.ratesInUse == 0)
        log("kavrel-rates: none of the rates of " + file.origin + " (" + file.date +
            ") is used: the service has later ones");
}

}  // namespace kavrel::rates
