// Figures for writing the service's pages and for Kavrel's parser reading them.
#include <benchmark/benchmark.h>

#include <string>

#include "conversion.h"
#include "options.h"
#include "page.h"
#include "rate_table.h"
#include "retrieval/parsetex.h"

namespace {

using namespace kavrel::rates;

constexpr std::size_t kMiB = 1 << 20;

const RateTable& shippedTable() {
    static const RateTable table = RateTable::load(parseOptions({}).ratesFile);
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
    for (auto _ : state) benchmark::DoNotOptimize(homePage(shippedTable()));
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

}  // namespace

BENCHMARK_MAIN();
