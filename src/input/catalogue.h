#pragma once
// The 149 currencies and metals offered in both currency boxes, in the order
// they are shown. Each text is a name, a blank and the code in parentheses.
#include <array>
#include <cstddef>
#include <string_view>

namespace kavrel {

inline constexpr std::size_t kCatalogueSize = 149;
extern const std::array<std::u16string_view, kCatalogueSize> CurrencyCatalogue;

// Positions selected at start-up: "Albanian Lek (ALL)" and "Algerian Dinar (DZD)".
inline constexpr std::size_t kDefaultFromPosition = 0;
inline constexpr std::size_t kDefaultToPosition = 1;

}  // namespace kavrel
