#pragma once
#include <string>

namespace kavrel {

// The two cells a result page is cut down to: the fourth cell of the result
// table's second row, and the bold text of its fifth cell.
struct ResultFields {
    std::u16string first;
    std::u16string second;
};

// Plain substring searches only: no HTML parsing, no entity decoding, no
// trimming. A page without the expected result table raises RunTimeError.
ResultFields ReadResultFields(const std::u16string& page);

// The fields joined as the ResultPair, first "~" second. A "~" inside a field
// stays in it, so the pair cannot be split again reliably: the display takes
// the fields themselves.
std::u16string ResultPair(const ResultFields& fields);

// ResultPair(ReadResultFields(page)).
std::u16string parsetex(const std::u16string& page);

}  // namespace kavrel
