// Figures for writing the service's pages and for Kavrel's parser reading them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "conversion.h"
#include "starting_rates.h"
#include "page.h"
#include "rate_table.h"
#include "reference_rates.h"
#include "retrieval/result_page_parser.h"

namespace {

using namespace kavrel::rates;

constexpr std::size_t kMiB = 1 << 20;

const RateTable& shippedTable() {
    static const RateTable table = builtInRateTable();
    return table;
}

Conversion sampleConversion() {
    return std::get<Conversion>(convert(shippedTable(), {"100", "EUR", "GBP"}));
}

// Kavrel widens the body byte by byte; the pages are ASCII.
std::u16string widened(const std::string& page) { return std::u16string(page.begin(), page.end()); }

// A page of about 1 MiB whose result table stands at its very end.
std::u16string mebibytePage() {
    const std::string result = resultPage(sampleConversion());
    std::string page = "<html><body>\n";
    const std::string filler = "<p class=\"filler\">Rates, tables and nothing of interest in this line.</p>\n";
    while (page.size() + filler.size() + result.size() < kMiB) page += filler;
    return widened(page + result);
}

void resultPageWriting(benchmark::State& state) {
    const auto conversion = sampleConversion();
    for (auto _ : state) benchmark::DoNotOptimize(resultPage(conversion));
}
BENCHMARK(resultPageWriting);

void conversionAndResultPage(benchmark::State& state) {
    const ConversionQuery query{"100", "BCEAO", "JPY"};
    for (auto _ : state) {
        const auto answer = convert(shippedTable(), query);
        benchmark::DoNotOptimize(resultPage(std::get<Conversion>(answer)));
    }
}
BENCHMARK(conversionAndResultPage);

void homePageWriting(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(homePage({shippedTable(), {"2022-09-05", "", std::nullopt, ""}}, "2024-01-05T16:00:00Z"));
    state.counters["rows"] = static_cast<double>(shippedTable().rates().size());
}
BENCHMARK(homePageWriting);

void parsetexOnResultPage(benchmark::State& state) {
    const auto page = widened(resultPage(sampleConversion()));
    for (auto _ : state) benchmark::DoNotOptimize(kavrel::parsetex(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size() * sizeof(char16_t)));
}
BENCHMARK(parsetexOnResultPage);

void parsetexOnMebibytePage(benchmark::State& state) {
    const auto page = mebibytePage();
    for (auto _ : state) benchmark::DoNotOptimize(kavrel::parsetex(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size() * sizeof(char16_t)));
    state.counters["chars"] = static_cast<double>(page.size());
}
BENCHMARK(parsetexOnMebibytePage)->Unit(benchmark::kMillisecond);

// A history file of `days` working days in the shape of the central bank's: 41
// currencies, newest day first, the retired ones "N/A" after their last day.
std::string historyFile(int days) {
    static constexpr std::string_view kCodes[] = {
        "USD", "JPY", "BGN", "CYP", "CZK", "DKK", "EEK", "GBP", "HUF", "LTL", "LVL", "MTL", "PLN", "ROL",
        "RON", "SEK", "SIT", "SKK", "CHF", "ISK", "NOK", "HRK", "RUB", "TRL", "TRY", "AUD", "BRL", "CAD",
        "CNY", "HKD", "IDR", "ILS", "INR", "KRW", "MXN", "MYR", "NZD", "PHP", "SGD", "THB", "ZAR"};
    std::string text = "Date,";
    for (const auto code : kCodes) (text += code) += ',';
    text += '\n';
    const auto first = std::chrono::sys_days{std::chrono::year{2024} / 1 / 5};
    for (int day = 0; day < days; ++day) {
        const std::chrono::year_month_day date{first - std::chrono::days{day}};
        char iso[16];
        std::snprintf(iso, sizeof iso, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        text += iso;
        for (std::size_t column = 0; column < std::size(kCodes); ++column)
            text += (column % 7 == 3 && day < 1000) ? ",N/A" : "," + std::to_string(1.0921 + column + day * 1e-4);
        text += ",\n";
    }
    return text;
}

void historyFileReading(benchmark::State& state) {
    const auto text = historyFile(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(parseReferenceRates(text, "eurofxref-hist.csv"));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(historyFileReading)->Arg(6000)->Unit(benchmark::kMillisecond);

void mergeOntoShippedTable(benchmark::State& state) {
    const auto rates = parseReferenceRates(historyFile(1), "eurofxref.csv");
    for (auto _ : state) benchmark::DoNotOptimize(withReferenceRates(shippedTable(), rates));
}
BENCHMARK(mergeOntoShippedTable);

}  // namespace

BENCHMARK_MAIN();
