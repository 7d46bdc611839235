#pragma once
#include <string>

namespace kavrel {

// Cuts the rate service's answer page down to its ResultPair: the fourth cell
// of the result table's second row, "~", and the bold text of its fifth cell.
// Plain substring searches only: no HTML parsing, no entity decoding, no trimming.
// A page without the expected result table raises RunTimeError.
std::u16string parsetex(const std::u16string& page);

}  // namespace kavrel
