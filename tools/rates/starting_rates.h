#pragma once
// The rates the service starts with, before any fetch.
#include "options.h"
#include "served_rates.h"

namespace kavrel::rates {

// The table built into the program, made from rates.csv when it was built.
RateTable BuiltInRateTable();

// The rate table (built in, or --rates), then the file kept from the last good
// fetch, then the --ecb files, each merged onto what came before. A kept file
// that cannot be read or is bad is passed over with one log line, never
// served; a bad table or --ecb file raises RunTimeError.
ServedRates StartingRates(const Options& options, const LogSink& log);

}  // namespace kavrel::rates
