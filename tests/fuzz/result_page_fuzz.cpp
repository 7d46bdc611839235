// parsetex on any page: a result or the program's run-time error, nothing else,
// and fields that end where the next tag begins.
#include "fuzz_input.h"
#include "core/run_time_error.h"
#include "retrieval/result_page_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    const auto page = fuzz::Widen(data, size);
    try {
        const auto fields = ReadResultFields(page);
        fuzz::Require(fields.first.find(u'<') == std::u16string::npos, "first field holds a tag");
        fuzz::Require(fields.second.find(u'<') == std::u16string::npos, "second field holds a tag");
        fuzz::Require(parsetex(page) == fields.first + u"~" + fields.second, "pair differs from its fields");
    } catch (const RunTimeError&) {
    }
    return 0;
}
