// Figures for writing the service's pages, for Kavrel's parser reading them and for reading the bank's files.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "conversion.h"
#include "starting_rates.h"
#include "page.h"
#include "rate_table.h"
#include "reference_rates.h"
#include "retrieval/result_page_parser.h"

namespace {

using namespace kavrel::rates;

constexpr std::size_t kMiB = 1 << 20;

const RateTable& ShippedTable() {
    static const RateTable table = BuiltInRateTable();
    return table;
}

Conversion SampleConversion() { return std::get<Conversion>(Convert(ShippedTable(), {"100", "EUR", "GBP"})); }

// Kavrel widens the body byte by byte; the pages are ASCII.
std::u16string Widened(const std::string& page) { return std::u16string(page.begin(), page.end()); }

// A page of about 1 MiB whose result table stands at its very end.
std::u16string MebibytePage() {
    const std::string result = ResultPage(SampleConversion());
    std::string page = "<html><body>\n";
    const std::string filler = "<p class=\"filler\">Rates, tables and nothing of interest in this line.</p>\n";
    while (page.size() + filler.size() + result.size() < kMiB) page += filler;
    return Widened(page + result);
}

void ResultPageWriting(benchmark::State& state) {
    const auto conversion = SampleConversion();
    for (auto _ : state) benchmark::DoNotOptimize(ResultPage(conversion));
}
BENCHMARK(ResultPageWriting);

void ConversionAndResultPage(benchmark::State& state) {
    const ConversionQuery query{"100", "BCEAO", "JPY"};
    for (auto _ : state) {
        const auto answer = Convert(ShippedTable(), query);
        benchmark::DoNotOptimize(ResultPage(std::get<Conversion>(answer)));
    }
}
BENCHMARK(ConversionAndResultPage);

void HomePageWriting(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(HomePage({ShippedTable(), {"2022-09-05", "", {}, ""}}, "2024-01-05T16:00:00Z"));
    state.counters["rows"] = static_cast<double>(ShippedTable().Rates().size());
}
BENCHMARK(HomePageWriting);

void ParsetexOnResultPage(benchmark::State& state) {
    const auto page = Widened(ResultPage(SampleConversion()));
    for (auto _ : state) benchmark::DoNotOptimize(kavrel::parsetex(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size() * sizeof(char16_t)));
}
BENCHMARK(ParsetexOnResultPage);

void ParsetexOnMebibytePage(benchmark::State& state) {
    const auto page = MebibytePage();
    for (auto _ : state) benchmark::DoNotOptimize(kavrel::parsetex(page));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size() * sizeof(char16_t)));
    state.counters["chars"] = static_cast<double>(page.size());
}
BENCHMARK(ParsetexOnMebibytePage)->Unit(benchmark::kMillisecond);

// The full history's length: working days from 1999-01-04 to late 2025.
constexpr int kHistoryDays = 6983;

// A currency of the synthetic history, quoted from its first year to its last, "N/A" outside.
struct HistoryColumn {
    std::string_view code;
    double perEuro;  // near its real rate, so that the numbers have the bank's digits
    int firstYear = 1999;
    int lastYear = 9999;
};

// The bank's 41 columns: about 30 currencies quoted today, some added after
// 1999, and the retired ones "N/A" after their last year.
// clang-format off
constexpr HistoryColumn kHistoryColumns[] = {
    {"USD", 1.0921},   {"JPY", 157.22},  {"BGN", 1.9558},  {"CYP", 0.5853, 1999, 2007},
    {"CZK", 24.65},    {"DKK", 7.4568},  {"GBP", 0.86053}, {"EEK", 15.647, 1999, 2010},
    {"HUF", 378.45},   {"PLN", 4.3515},  {"SEK", 11.088},  {"LTL", 3.4528, 1999, 2014},
    {"CHF", 0.9321},   {"ISK", 150.3},   {"NOK", 11.43},   {"LVL", 0.7028, 1999, 2013},
    {"AUD", 1.6275},   {"CAD", 1.4627},  {"HKD", 8.5383},  {"MTL", 0.4293, 1999, 2007},
    {"KRW", 1433.2},   {"NZD", 1.7569},  {"SGD", 1.4545},  {"ROL", 36030, 1999, 2005},
    {"ZAR", 20.312},   {"RON", 4.9713, 2005},              {"SIT", 239.64, 1999, 2006},
    {"TRY", 32.71, 2005},                {"CNY", 7.8136, 2005},             {"SKK", 30.126, 1999, 2008},
    {"IDR", 16950, 2005},                {"MYR", 5.0569, 2005},             {"HRK", 7.5345, 1999, 2022},
    {"PHP", 60.58, 2005},                {"THB", 37.851, 2005},             {"RUB", 89.5, 1999, 2022},
    {"BRL", 5.3562, 2008},               {"MXN", 18.53, 2008},              {"TRL", 1.8e6, 1999, 2004},
    {"INR", 90.83, 2009},                {"ILS", 3.9945, 2011},
};
// clang-format on

// One row a working day, "N/A" where a currency had no rate that day.
struct HistoryDay {
    std::string date;
    std::vector<std::string> rates;  // by kHistoryColumns
};

std::string IsoDate(std::chrono::year_month_day date) {
    char iso[16];
    std::snprintf(iso, sizeof iso, "%04d-%02u-%02u", static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()));
    return iso;
}

// The newest `newest` days of the history, newest first as the bank writes them.
std::vector<HistoryDay> History(int newest) {
    using namespace std::chrono;
    std::vector<HistoryDay> rows;
    int index = 0;
    for (sys_days day = sys_days{1999y / January / 4}; index < kHistoryDays; day += days{1}) {
        if (weekday{day} == Saturday || weekday{day} == Sunday) continue;
        if (++index <= kHistoryDays - newest) continue;
        const year_month_day date{day};
        const int year = static_cast<int>(date.year());
        HistoryDay row{IsoDate(date), {}};
        for (const auto& column : kHistoryColumns) {
            char rate[32] = "N/A";
            if (year >= column.firstYear && year <= column.lastYear)  // wandering a little from day to day
                std::snprintf(rate, sizeof rate, "%.5g", column.perEuro * (1.0 + 0.1 * std::sin(index * 0.01)));
            row.rates.emplace_back(rate);
        }
        rows.push_back(std::move(row));
    }
    std::reverse(rows.begin(), rows.end());
    return rows;
}

std::string HistoryCsv(const std::vector<HistoryDay>& rows) {
    std::string text = "Date,";
    for (const auto& column : kHistoryColumns) (text += column.code) += ',';
    text += '\n';
    for (const auto& row : rows) {
        text += row.date;
        for (const auto& rate : row.rates) (text += ',') += rate;
        text += ",\n";
    }
    return text;
}

// The same days as the bank writes them in XML, leaving out the "N/A"s.
std::string HistoryXml(const std::vector<HistoryDay>& rows) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gesmes:Envelope xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
        "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n"
        "\t<gesmes:subject>Reference rates</gesmes:subject>\n"
        "\t<gesmes:Sender>\n\t\t<gesmes:name>European Central Bank</gesmes:name>\n\t</gesmes:Sender>\n\t<Cube>\n";
    for (const auto& row : rows) {
        text += "\t\t<Cube time=\"" + row.date + "\">\n";
        for (std::size_t column = 0; column < row.rates.size(); ++column)
            if (row.rates[column] != "N/A")
                text += "\t\t\t<Cube currency=\"" + std::string(kHistoryColumns[column].code) + "\" rate=\"" +
                        row.rates[column] + "\"/>\n";
        text += "\t\t</Cube>\n";
    }
    return text + "\t</Cube>\n</gesmes:Envelope>\n";
}

void ReadingFile(benchmark::State& state, const std::string& text, const std::string& name) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseReferenceRates(text, name));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}

// The newest range(0) days of the history in either form: 1 is the daily
// file, 90 the bank's 90-day file; twice the days should take twice the time.
void HistoryCsvReading(benchmark::State& state) {
    ReadingFile(state, HistoryCsv(History(static_cast<int>(state.range(0)))), "eurofxref-hist.csv");
}
BENCHMARK(HistoryCsvReading)->Arg(kHistoryDays)->Unit(benchmark::kMillisecond);

void HistoryXmlReading(benchmark::State& state) {
    ReadingFile(state, HistoryXml(History(static_cast<int>(state.range(0)))), "eurofxref-hist.xml");
}
BENCHMARK(HistoryXmlReading)->Arg(1)->Arg(90)->Arg(1000)->Arg(2000)->Arg(kHistoryDays)->Unit(benchmark::kMillisecond);

void MergeOntoShippedTable(benchmark::State& state) {
    const auto rates = ParseReferenceRates(HistoryCsv(History(1)), "eurofxref.csv");
    for (auto _ : state) benchmark::DoNotOptimize(WithReferenceRates(ShippedTable(), rates));
}
BENCHMARK(MergeOntoShippedTable);

}  // namespace

BENCHMARK_MAIN();
