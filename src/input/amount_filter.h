#pragma once
#include <string>
#include <string_view>

namespace kavrel {

// The amount box keeps the characters "0" to "9" (U+0030 to U+0039) and nothing
// else: no signs, separators, blanks, or digits of other scripts.
std::u16string OnlyDigits(std::u16string_view text);

}  // namespace kavrel
