#include "input/amount_filter.h"

#include <algorithm>
#include <iterator>

namespace kavrel {

std::u16string OnlyDigits(std::u16string_view text) {
    std::u16string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits),
                 [](char16_t c) { return c >= u'0' && c <= u'9'; });
    return digits;
}

}  // namespace kavrel
