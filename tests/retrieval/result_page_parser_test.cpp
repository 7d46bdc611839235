#include "retrieval/result_page_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <variant>

#include "core/run_time_error.h"
#include "outcome.h"

namespace kavrel {
namespace {

const std::u16string kNav = u"<table class=nav><tr align=left><td>Home</td></tr></table>\n";
const std::u16string kMarker = u"<h2>Currency Conversion Results</h2>\n";
const std::u16string kHeaderRow =
    u"<tr align=center><th>From</th><th>To</th><th>Amount</th><th>Rate</th><th>Result</th></tr>\n";

std::u16string Row(const std::u16string& fourthCell, const std::u16string& fifthCell) {
    return u"<tr align=right><td>USD</td><td>EUR</td><td>100</td>" + fourthCell + fifthCell + u"</tr>\n";
}
const std::u16string kResultRow = Row(u"<td class=r>0.8123</td>", u"<td><b>81.23</b></td>");

std::u16string Page(const std::u16string& rows, const std::u16string& marker = kMarker) {
    return kNav + marker + u"<table class=grid>\n" + rows + u"</table>\n";
}

TEST(Parsetex, CutsTheTwoCellsOrFailsWithItsKind) {
    using K = ErrorKind;
    const std::u16string upper =
        u"<h2>Currency Conversion Results</h2><TABLE CLASS=grid><TR ALIGN=center><th>x</th></TR>"
        u"<TR ALIGN=right><td>USD</td><td>EUR</td><td>100</td><td "
        u"class=r>0.8123</td><td><B>81.23</B></td></TR></TABLE>";
    const std::tuple<const char*, std::u16string, std::variant<std::u16string, ErrorKind>> cases[] = {
        {"markers in capitals", upper, u"0.8123~81.23"},
        {"fifth cell without bold", Page(kHeaderRow + Row(u"<td>0.8123</td>", u"<td>81.23</td>")), u"0.8123~81.23"},
        {"fifth cell with an attribute", Page(kHeaderRow + Row(u"<td>0.8123</td>", u"<td class=x>81.23</td>")),
         u"0.8123~class=x>81.23"},
        {"cells taken across rows",
         Page(kHeaderRow + u"<tr align=right><td>USD</td><td>EUR</td><td>100</td><td>0.8123</td></tr>"
                           u"<tr align=right><td><b>9.9</b></td></tr>"),
         u"0.8123~9.9"},
        {"the first b> whatever tag it ends", Page(kHeaderRow + Row(u"<td>0.8123</td>", u"<td>x</b>7<i>")),
         u"0.8123~7"},
        {"fourth cell starting with a tag", Page(kHeaderRow + Row(u"<td><i>0.8</i></td>", u"<td><b>1</b></td>")),
         u"~1"},
        {"entities and ~ stay", Page(kHeaderRow + Row(u"<td>&nbsp;0.8 ~x</td>", u"<td><b>\u00e9</b></td>")),
         u"&nbsp;0.8 ~x~\u00e9"},
        {"worked example, far down the page", std::u16string(100000, u' ') + Page(kHeaderRow + kResultRow),
         u"0.8123~81.23"},
        {"results marker in lower case", Page(kHeaderRow + kResultRow, u"currency conversion results"),
         K::InvalidArgument},
        {"no table", kMarker + u"<p>no table</p>", K::InvalidArgument},
        {"no table end", kMarker + u"<table class=grid>" + kHeaderRow + kResultRow, K::InvalidArgument},
        {"no row tag", Page(u"<tr><td>a</td></tr>"), K::InvalidArgument},
        {"one row tag", Page(kHeaderRow), K::InvalidArgument},
        {"row tag never closed", Page(u"<tr align=center"), K::InvalidArgument},
        {"cell tags in capitals",
         Page(kHeaderRow +
              u"<tr align=right><TD>USD</TD><TD>EUR</TD><TD>100</TD><TD>0.8123</TD><TD><b>81.23</b></TD></tr>"),
         K::IndexOutOfRange},
        {"no tag after the fifth cell", Page(kHeaderRow + u"<tr align=right><td>1<td>2<td>3<td>4<td><b>5"),
         K::InvalidArgument},
    };
    for (const auto& [name, text, result] : cases)
        EXPECT_EQ(Outcome<std::u16string>([&] { return parsetex(text); }), result) << name;
}

}  // namespace
}  // namespace kavrel
