#include "starting_rates.h"

#include "core/run_time_error.h"
#include "rate_cache.h"
#include "reference_rates.h"

namespace kavrel::rates {
namespace {

void MergeKeptFile(ServedRates& rates, const RateCache& cache, const LogSink& log) {
    const auto origin = cache.File().string();
    try {
        const auto kept = cache.Read();
        if (!kept) return log("kavrel-rates: no file kept from an earlier fetch in " + origin);
        LogUnusedBankFile(MergeBankFile(rates, ParseReferenceRates(*kept, origin), origin), log);
    } catch (const RunTimeError& error) {
        log("kavrel-rates: the kept file is passed over: " + std::string(error.what()));
    }
}

}  // namespace

ServedRates StartingRates(const Options& options, const LogSink& log) {
    ServedRates rates{options.ratesFile.empty() ? BuiltInRateTable() : RateTable::Load(options.ratesFile), {}};
    rates.sources.tableDate = rates.table.MostCommonDate();
    rates.sources.tableFile = options.ratesFile;
    if (!options.cacheFolder.empty()) MergeKeptFile(rates, RateCache(options.cacheFolder), log);
    for (const auto& file : options.referenceFiles)
        LogUnusedBankFile(MergeBankFile(rates, LoadReferenceRates(file), file), log);
    return rates;
}

}  // namespace kavrel::rates
