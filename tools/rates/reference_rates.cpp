#include "reference_rates.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <utility>

#include "core/run_time_error.h"

namespace kavrel::rates {
namespace {

struct Quote {
    std::string_view code;  // in the file's text or the CSV header
    double perEuro = 0.0;   // units of the currency per euro
};

struct Day {
    std::string date;  // YYYY-MM-DD
    std::vector<Quote> quotes;
};

// A currency fixed to another: `unitsPerAnchor` of it make one of the anchor.
struct FixedRatio {
    std::string_view code;
    std::string_view anchor;
    double unitsPerAnchor;
};

// The euro's conversion rates, the CFA francs' and the CFP franc's parities,
// and currencies at par with (or redenominated from) one the bank quotes.
constexpr std::array<FixedRatio, 36> kFixedRatios{{
    {"ATS", "EUR", 13.7603},  {"BEF", "EUR", 40.3399},     {"BGN", "EUR", 1.95583},   {"CYP", "EUR", 0.585274},
    {"DEM", "EUR", 1.95583},  {"EEK", "EUR", 15.6466},     {"ESP", "EUR", 166.386},   {"FIM", "EUR", 5.94573},
    {"FRF", "EUR", 6.55957},  {"GRD", "EUR", 340.750},     {"HRK", "EUR", 7.53450},   {"IEP", "EUR", 0.787564},
    {"ITL", "EUR", 1936.27},  {"LTL", "EUR", 3.45280},     {"LUF", "EUR", 40.3399},   {"LVL", "EUR", 0.702804},
    {"MTL", "EUR", 0.429300}, {"NLG", "EUR", 2.20371},     {"PTE", "EUR", 200.482},   {"SIT", "EUR", 239.640},
    {"SKK", "EUR", 30.1260},  {"XOF", "EUR", 655.957},     {"BCEAO", "EUR", 655.957}, {"XAF", "EUR", 655.957},
    {"BEAC", "EUR", 655.957}, {"XPF", "EUR", 1000 / 8.38}, {"FKP", "GBP", 1},         {"GGP", "GBP", 1},
    {"IMP", "GBP", 1},        {"JEP", "GBP", 1},           {"SHP", "GBP", 1},         {"BTN", "INR", 1},
    {"FOK", "DKK", 1},        {"KID", "AUD", 1},           {"TVD", "AUD", 1},         {"ROL", "RON", 10000},
}};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r";

[[noreturn]] void FailFile(const std::string& file, const std::string& what) {
    throw RunTimeError(ErrorKind::InvalidArgument, file + ": " + what);
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::size_t LineAt(std::string_view text, std::ptrdiff_t offset) {
    const auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    return 1 + static_cast<std::size_t>(std::count(text.begin(), end, '\n'));
}

// <Cube currency="USD" rate="1.0921"> as it stands, for error messages.
std::string Described(const pugi::xml_node& node) {
    std::string text = std::string("<") + node.name();
    for (const auto& attribute : node.attributes())
        text += std::string(" ") + attribute.name() + "=\"" + attribute.value() + "\"";
    return text + ">";
}

// Where a value stands, for error messages: an offset in the file's text and, in XML, the
// element. Its line and the element's description are worked out only when a fault is
// reported: counting lines for every value would make reading grow with the square of the file.
struct Place {
    const std::string& file;
    std::string_view text;
    std::ptrdiff_t offset;
    pugi::xml_node element{};

    [[noreturn]] void Fail(const std::string& what) const {
        throw RunTimeError(ErrorKind::InvalidArgument, file + " line " + std::to_string(LineAt(text, offset)) +
                                                           (element ? ", " + Described(element) : "") + ": " + what);
    }
};

Place PlaceOf(const pugi::xml_node& element, std::string_view text, const std::string& file) {
    return {file, text, element.offset_debug(), element};
}

// The value of 1 to `width` decimal digits, or -1 when the text is not that.
int DigitsValue(std::string_view text, std::size_t width) {
    int value = -1;
    if (text.empty() || text.size() > width ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return value;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// "2024-01-05", or "05 January 2024" as the daily CSV file writes it.
std::string CheckedDate(std::string_view text, const Place& place) {
    static constexpr std::array<std::string_view, 12> kMonths{"January",   "February", "March",    "April",
                                                              "May",       "June",     "July",     "August",
                                                              "September", "October",  "November", "December"};
    int year = -1, month = -1, day = -1;
    const auto firstBlank = text.find(' '), lastBlank = text.rfind(' ');
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        year = DigitsValue(text.substr(0, 4), 4);
        month = DigitsValue(text.substr(5, 2), 2);
        day = DigitsValue(text.substr(8, 2), 2);
    } else if (firstBlank != std::string_view::npos && lastBlank == text.size() - 5) {
        day = DigitsValue(text.substr(0, firstBlank), 2);
        const auto name = text.substr(firstBlank + 1, lastBlank - firstBlank - 1);
        month = static_cast<int>(std::find(kMonths.begin(), kMonths.end(), name) - kMonths.begin()) + 1;
        year = DigitsValue(text.substr(lastBlank + 1), 4);
    }
    const std::chrono::year_month_day calendarDay{std::chrono::year{year},
                                                  std::chrono::month{static_cast<unsigned>(month)},
                                                  std::chrono::day{static_cast<unsigned>(day)}};
    if (year < 0 || !calendarDay.ok())
        place.Fail("\"" + std::string(text) + "\" is not a date (YYYY-MM-DD or DD Month YYYY)");
    char iso[40];  // room for any three ints, though a valid date needs 11
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", year, month, day);
    return iso;
}

std::string_view CheckedCode(std::string_view text, const Place& place) {
    if (text.size() != 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        place.Fail("currency code \"" + std::string(text) + "\" is not three capital letters");
    return text;
}

double CheckedRate(std::string_view text, const Place& place) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) || value <= 0.0)
        place.Fail("rate \"" + std::string(text) + "\" is not a positive number");
    return value;
}

// Each currency's rate of its newest day that has a US dollar rate too.
class NewestRates {
public:
    void Add(const Day& day) {
        const auto dollar =
            std::find_if(day.quotes.begin(), day.quotes.end(), [](const Quote& quote) { return quote.code == "USD"; });
        if (dollar == day.quotes.end()) return;
        Keep("EUR", day.date, 1.0, dollar->perEuro);
        for (const auto& quote : day.quotes) Keep(quote.code, day.date, quote.perEuro, dollar->perEuro);
    }

    // The rates in US dollars, the file named as their source.
    std::vector<Rate> InDollars(const std::string& file) const {
        if (newest_.empty()) FailFile(file, "no day has a US dollar rate, so no rate can be put in US dollars");
        std::vector<Rate> rates;
        for (const auto& [code, rate] : newest_) {
            const double usdValue = rate.dollarsPerEuro / rate.perEuro;
            if (!std::isfinite(usdValue) || usdValue <= 0.0) FailFile(file, "the rate of " + code + " is out of range");
            rates.push_back({code, usdValue, rate.date, "ECB euro reference rate, " + file});
        }
        return rates;
    }

private:
    struct Newest {
        std::string date;
        double perEuro;
        double dollarsPerEuro;
    };

    void Keep(std::string_view code, const std::string& date, double perEuro, double dollarsPerEuro) {
        const auto entry = newest_.find(code);
        if (entry == newest_.end()) newest_.emplace(code, Newest{date, perEuro, dollarsPerEuro});
        else if (entry->second.date < date) entry->second = {date, perEuro, dollarsPerEuro};
    }

    std::map<std::string, Newest, std::less<>> newest_;
};

// Every <Cube time="..."> of the document, in document order. A walk, not
// XPath: the Windows build leaves pugixml's XPath engine out (about a tenth of
// the program).
std::vector<pugi::xml_node> DayCubes(pugi::xml_document& document) {
    struct Collect : pugi::xml_tree_walker {
        std::vector<pugi::xml_node> cubes;
        bool for_each(pugi::xml_node& node) override {
            if (std::string_view(node.name()) == "Cube" && node.attribute("time")) cubes.push_back(node);
            return true;
        }
    } collect;
    document.traverse(collect);
    return std::move(collect.cubes);
}

// Every <Cube time="..."> holding <Cube currency="..." rate="..."/> elements.
void ReadXml(std::string_view text, const std::string& file, NewestRates& newest) {
    pugi::xml_document document;
    const auto parsed = document.load_buffer(text.data(), text.size());
    if (!parsed) Place{file, text, parsed.offset}.Fail(std::string("not XML: ") + parsed.description());
    const auto cubes = DayCubes(document);
    if (cubes.empty()) FailFile(file, "no <Cube time=\"...\"> element: not a euro reference rate file");
    Day day;                           // one for every day, so that its storage is reused
    std::set<std::string_view> codes;  // the day's, to refuse one quoted twice (a CSV header is checked once)
    for (const auto& cube : cubes) {
        day.date = CheckedDate(cube.attribute("time").value(), PlaceOf(cube, text, file));
        day.quotes.clear();
        codes.clear();
        for (const auto& quote : cube.children("Cube")) {
            const auto place = PlaceOf(quote, text, file);
            const auto code = CheckedCode(quote.attribute("currency").value(), place);
            if (!codes.insert(code).second)
                place.Fail("currency " + std::string(code) + " appears twice on " + day.date);
            day.quotes.push_back({code, CheckedRate(quote.attribute("rate").value(), place)});
        }
        newest.Add(day);
    }
}

// The fields of a line, without blanks around them or the empty one after a trailing comma.
std::vector<std::string_view> CsvFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const auto comma = line.find(',', start);
        fields.push_back(Trimmed(line.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
    return fields;
}

// A header "Date, USD, JPY, ..." and one row a day, "N/A" where a currency had no rate.
void ReadCsv(std::string_view text, const std::string& file, NewestRates& newest) {
    std::vector<std::string_view> codes;
    Day day;  // one for every row, so that its storage is reused
    for (std::size_t start = 0; start < text.size();) {
        const auto end = std::min(text.find('\n', start), text.size());
        const auto line = text.substr(start, end - start);
        const Place place{file, text, static_cast<std::ptrdiff_t>(start)};
        start = end + 1;
        if (Trimmed(line).empty()) continue;
        const auto fields = CsvFields(line);
        if (codes.empty()) {
            if (fields.front() != "Date" || fields.size() < 2) place.Fail("expected the header \"Date, USD, ...\"");
            for (auto field = fields.begin() + 1; field != fields.end(); ++field) {
                const auto code = CheckedCode(*field, place);
                if (std::find(codes.begin(), codes.end(), code) != codes.end())
                    place.Fail(std::string(code) + " named twice");
                codes.push_back(code);
            }
            continue;
        }
        if (fields.size() != codes.size() + 1)
            place.Fail("expected " + std::to_string(codes.size() + 1) + " fields, found " +
                       std::to_string(fields.size()));
        day.date = CheckedDate(fields.front(), place);
        day.quotes.clear();
        for (std::size_t i = 0; i < codes.size(); ++i)
            if (fields[i + 1] != "N/A") day.quotes.push_back({codes[i], CheckedRate(fields[i + 1], place)});
        newest.Add(day);
    }
}

}  // namespace

std::vector<Rate> ParseReferenceRates(std::string_view text, const std::string& name) {
    if (text.size() > kMaxReferenceFileBytes)
        FailFile(name, std::to_string(text.size()) + " bytes, more than a reference file may have");
    std::string_view content = text;
    if (content.starts_with(kUtf8Mark)) content.remove_prefix(kUtf8Mark.size());
    const auto start = content.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) FailFile(name, "the file is empty");
    NewestRates newest;
    if (content[start] == '<') {
        ReadXml(content, name, newest);
    } else if (content.substr(start).starts_with("Date")) {
        ReadCsv(content, name, newest);
    } else {
        Place{name, content, static_cast<std::ptrdiff_t>(start)}.Fail(
            "neither the XML nor a CSV form of the euro reference rates");
    }
    return newest.InDollars(name);
}

std::vector<Rate> LoadReferenceRates(const std::filesystem::path& file) {
    const auto name = file.string();
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) FailFile(name, "cannot be read: " + error.message());
    if (size > kMaxReferenceFileBytes)
        FailFile(name, std::to_string(size) + " bytes, more than a reference file may have");
    std::string text(size, '\0');
    std::ifstream in(file, std::ios::binary);
    if (!in.read(text.data(), static_cast<std::streamsize>(size))) FailFile(name, "cannot be read");
    return ParseReferenceRates(text, name);
}

RateTable WithReferenceRates(const RateTable& table, const std::vector<Rate>& reference) {
    const auto fixed = [](std::string_view code) {
        return std::any_of(kFixedRatios.begin(), kFixedRatios.end(), [&](const auto& f) { return f.code == code; });
    };
    RateTable merged = table;
    std::set<std::string, std::less<>> replaced;
    for (const auto& rate : reference) {
        if (fixed(rate.code)) continue;  // follows its anchor below, whatever the file says
        const Rate* own = merged.Find(rate.code);
        if (own && own->date > rate.date) continue;
        merged.Put(rate);
        replaced.insert(rate.code);
    }
    for (const auto& [code, anchor, unitsPerAnchor] : kFixedRatios) {
        if (!replaced.contains(anchor) || !table.Find(code)) continue;
        const Rate& anchorRate = *merged.Find(anchor);
        char ratio[32];
        const auto end = std::to_chars(ratio, ratio + sizeof ratio, unitsPerAnchor).ptr;
        merged.Put({std::string(code), anchorRate.usdValue / unitsPerAnchor, anchorRate.date,
                    "fixed at " + std::string(ratio, end) + " per " + std::string(anchor) + ": " + anchorRate.source});
    }
    return merged;
}

}  // namespace kavrel::rates
