#pragma once
// The rates in service and where they come from, as the home page, /healthz
// and the log tell it.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "rate_table.h"

namespace kavrel::rates {

struct RateSources {
    std::string tableDate;  // the date most of the table's own rates are of: its generation day
    std::string tableFile;  // the file it was read from; empty: the table built into the program
    struct BankFile {
        std::string date;            // the file's reference date, its newest
        std::string origin;          // its address, or the file it was read from
        std::size_t ratesInUse = 0;  // none when the service had later rates for all of them
    };
    std::vector<BankFile> bankFiles;  // in the order merged
    std::string fetchProblem;         // why the last fetch failed; empty when it did not

    // The date the conversions go by: the newest bank file's whose rates are in use, else the table's.
    std::string InUseDate() const;
};

struct ServedRates {
    RateTable table;
    RateSources sources;
};

// Merges a reference file's rates onto the rates (see WithReferenceRates) and
// counts again how many rates each bank file gives. Returns the file's entry.
const RateSources::BankFile& MergeBankFile(ServedRates& rates, const std::vector<Rate>& reference,
                                           const std::string& origin);

// Where the service writes its log, one line at a time.
using LogSink = std::function<void(const std::string& line)>;

// One log line for a bank file none of whose rates is used.
void LogUnusedBankFile(const RateSources::BankFile& file, const LogSink& log);

}  // namespace kavrel::rates
