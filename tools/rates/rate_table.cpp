#include "rate_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

#include "core/run_time_error.h"

namespace kavrel::rates {
namespace {

constexpr std::string_view kHeader = "code,usd_value,date,source";
constexpr std::size_t kFieldCount = 4;

[[noreturn]] void Fail(std::size_t lineNumber, const std::string& what) {
    throw RunTimeError(ErrorKind::InvalidArgument, "rate table line " + std::to_string(lineNumber) + ": " + what);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (auto comma = line.find(','); comma != std::string_view::npos; comma = line.find(',')) {
        fields.push_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
    fields.push_back(line);
    return fields;
}

bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string UpperCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    return out;
}

// Three-letter ISO codes and the longer issuer names Kavrel sends for the CFA francs.
bool IsCode(std::string_view code) {
    return code.size() >= 3 && code.size() <= 8 && std::all_of(code.begin(), code.end(), IsAsciiUpper);
}

bool IsDate(std::string_view date) {
    static constexpr std::string_view kShape = "dddd-dd-dd";
    return date.size() == kShape.size() && std::equal(date.begin(), date.end(), kShape.begin(), [](char c, char shape) {
               return shape == 'd' ? IsDigit(c) : c == shape;
           });
}

double UsdValue(std::string_view text, std::size_t lineNumber) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) || value <= 0.0)
        Fail(lineNumber, "usd_value \"" + std::string(text) + "\" is not a number above 0");
    return value;
}

Rate ParseRate(std::string_view line, std::size_t lineNumber) {
    const auto fields = SplitFields(line);
    if (fields.size() != kFieldCount) Fail(lineNumber, "expected 4 fields, found " + std::to_string(fields.size()));
    if (!IsCode(fields[0])) Fail(lineNumber, "code \"" + std::string(fields[0]) + "\" is not 3 to 8 capitals");
    if (!IsDate(fields[2])) Fail(lineNumber, "date \"" + std::string(fields[2]) + "\" is not YYYY-MM-DD");
    if (fields[3].find('"') != std::string_view::npos) Fail(lineNumber, "quoted fields are not supported");
    return Rate{std::string(fields[0]), UsdValue(fields[1], lineNumber), std::string(fields[2]),
                std::string(fields[3])};
}

}  // namespace

RateTable RateTable::Parse(std::string_view csv) {
    RateTable table;
    std::istringstream lines{std::string(csv)};
    std::string line;
    std::size_t lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber == 1) {
            if (line != kHeader) Fail(lineNumber, "expected the header \"" + std::string(kHeader) + "\"");
            continue;
        }
        if (line.empty()) continue;
        auto rate = ParseRate(line, lineNumber);
        const auto code = rate.code;
        if (!table.rates_.emplace(code, std::move(rate)).second) Fail(lineNumber, "code " + code + " repeated");
    }
    if (table.rates_.empty()) Fail(lineNumber, "the table holds no rate");
    return table;
}

RateTable RateTable::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw RunTimeError(ErrorKind::InvalidArgument, "cannot read the rate table " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

const Rate* RateTable::Find(std::string_view code) const {
    const auto found = rates_.find(UpperCase(code));
    return found == rates_.end() ? nullptr : &found->second;
}

std::string RateTable::MostCommonDate() const {
    std::map<std::string, std::size_t> counts;
    for (const auto& [code, rate] : rates_) ++counts[rate.date];
    std::string date;
    std::size_t most = 0;
    for (const auto& [candidate, count] : counts) {  // ascending, so ">=" lets the later date win a tie
        if (count >= most) std::tie(date, most) = std::tie(candidate, count);
    }
    return date;
}

void RateTable::Put(Rate rate) {
    auto code = rate.code;
    rates_.insert_or_assign(std::move(code), std::move(rate));
}

}  // namespace kavrel::rates
