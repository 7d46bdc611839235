#pragma once
// The European Central Bank's euro foreign exchange reference rates, in the
// three forms it publishes them: the daily XML file, the daily CSV file and the
// CSV history since 1999. Each is read into rates in US dollars, which then
// take the place of the table's own rates.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "rate_table.h"

namespace kavrel::rates {

// Many times the size of the whole history; anything larger is refused unread.
inline constexpr std::size_t kMaxReferenceFileBytes = std::size_t{16} << 20;

// Reads a reference file, its form told by its content. `name` (a path or an
// address) names the file in error messages and in every rate's source. Each
// currency's newest rate is kept with its own date and put in US dollars
// through the US dollar's rate of that same day; the euro itself is priced
// too. Raises RunTimeError naming the file and the line (and, in XML, the
// element) at the first fault: nothing of a faulty file is used.
std::vector<Rate> ParseReferenceRates(std::string_view text, const std::string& name);
std::vector<Rate> LoadReferenceRates(const std::filesystem::path& file);

// The table with the reference rates in place of its own for the same code,
// unless the table's rate is of a later day; codes the table lacks are added.
// Currencies fixed to another (the euro's legacy currencies, the CFA and CFP
// francs, currencies at par with sterling and others) follow their anchor's
// new rate at their fixed ratio.
RateTable WithReferenceRates(const RateTable& table, const std::vector<Rate>& reference);

}  // namespace kavrel::rates
