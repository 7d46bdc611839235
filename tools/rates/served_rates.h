#pragma once
// The rates in service and where they come from, as the home page and /healthz tell it.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "rate_table.h"

namespace kavrel::rates {

struct RateSources {
    std::string tableDate;    // the date most of the table's own rates are of
    std::string tableFile;    // the file it was read from; empty: the table built into the program
    struct BankFile {
        std::string date;    // the newest reference date in the file
        std::string origin;  // its address, or the file it was read from
    };
    std::optional<BankFile> bank;  // the newest of the bank's files whose rates are in use
    std::string fetchProblem;      // why the last fetch failed; empty when it did not

    // The date the conversions go by: the bank's rates' when any are in use, else the table's.
    std::string inUseDate() const { return bank ? bank->date : tableDate; }
};

struct ServedRates {
    RateTable table;
    RateSources sources;
};

// Where the service writes its log, one line at a time.
using LogSink = std::function<void(const std::string& line)>;

// The newest date of a reference file's rates: the file's own date.
inline std::string newestDateOf(const std::vector<Rate>& rates) {
    std::string newest;
    for (const auto& rate : rates) newest = std::max(newest, rate.date);
    return newest;
}

}  // namespace kavrel::rates
