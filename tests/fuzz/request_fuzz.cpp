// Code extraction and the request URL: whatever the selection texts hold, the
// query keeps its four parameters in order.
#include <algorithm>

#include "fuzz_input.h"
#include "core/run_time_error.h"
#include "retrieval/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    const auto input = fuzz::Widen(data, size);
    const auto split = input.find(u'\n');
    const auto from = input.substr(0, split);
    const auto to = split == std::u16string::npos ? input : input.substr(split + 1);
    try {
        const auto fromCode = ExtractCode(from), toCode = ExtractCode(to);
        fuzz::Require(from.find(fromCode) != std::u16string::npos, "code is not part of its selection");
        const auto url = RequestUrl(u"http://h", 1, fromCode, toCode, u',');
        const std::u16string query = url.substr(url.find(u'?') + 1);
        fuzz::Require(std::count(query.begin(), query.end(), u'&') == 3, "query lost its shape");
        fuzz::Require(std::count(query.begin(), query.end(), u'=') == 4, "query lost its shape");
        fuzz::Require(query.ends_with(u"&submit=Convert"), "query lost its end");
    } catch (const RunTimeError&) {
    }
    return 0;
}
