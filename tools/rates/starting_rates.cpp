#include "starting_rates.h"

#include "core/run_time_error.h"
#include "rate_cache.h"
#include "reference_rates.h"

namespace kavrel::rates {
namespace {

void mergeKeptFile(ServedRates& rates, const RateCache& cache, const LogSink& log) {
    const auto origin = cache.file().string();
    try {
        const auto kept = cache.read();
        if (!kept) return log("kavrel-rates: no file kept from an earlier fetch in " + origin);
        logUnusedBankFile(mergeBankFile(rates, parseReferenceRates(*kept, origin), origin), log);
    } catch (const RunTimeError& error) {
        log("kavrel-rates: the kept file is passed over: " + std::string(error.what()));
    }
}

}  // namespace

ServedRates startingRates(const Options& options, const LogSink& log) {
    ServedRates rates{options.ratesFile.empty() ? builtInRateTable() : RateTable::load(options.ratesFile), {}};
    rates.sources.tableDate = rates.table.mostCommonDate();
    rates.sources.tableFile = options.ratesFile;
    if (!options.cacheFolder.empty()) mergeKeptFile(rates, RateCache(options.cacheFolder), log);
    for (const auto& file : options.referenceFiles)
        logUnusedBankFile(mergeBankFile(rates, loadReferenceRates(file), file), log);
    return rates;
}

}  // namespace kavrel::rates
