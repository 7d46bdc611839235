#pragma once
// The reference rate table: every code the service prices, with its value in
// US dollars, the day that value holds for and where it came from.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kavrel::rates {

struct Rate {
    std::string code;
    double usdValue = 0.0;  // US dollars per unit, finite and above 0
    std::string date;       // YYYY-MM-DD
    std::string source;
};

class RateTable {
public:
    // Reads the table text: the header "code,usd_value,date,source", then one
    // rate a line with exactly those four comma-separated fields (no quoting).
    // A malformed line or a repeated code raises RunTimeError naming the line.
    static RateTable Parse(std::string_view csv);
    static RateTable Load(const std::filesystem::path& file);

    // The rate of a code in any letter case; nullptr when it is not priced.
    const Rate* Find(std::string_view code) const;

    // All rates, ordered by code.
    const std::map<std::string, Rate, std::less<>>& Rates() const { return rates_; }

    // The date most rates share (the later one on a tie): the table's date.
    std::string MostCommonDate() const;

    // Sets the rate of its code, replacing any the table had.
    void Put(Rate rate);

private:
    std::map<std::string, Rate, std::less<>> rates_;
};

}  // namespace kavrel::rates
