#include "retrieval/result_page_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "core/run_time_error.h"

namespace kavrel {
namespace {

const std::u16string kNav = u"<table class=nav><tr align=left><td>Home</td></tr></table>\n";
const std::u16string kMarker = u"<h2>Currency Conversion Results</h2>\n";
const std::u16string kHeaderRow =
    u"<tr align=center><th>From</th><th>To</th><th>Amount</th><th>Rate</th><th>Result</th></tr>\n";

std::u16string resultRow(const std::u16string& fifthCell = u"<td><b>81.23</b></td>") {
    return u"<tr align=right><td>USD</td><td>EUR</td><td>100</td><td class=r>0.8123</td>" + fifthCell + u"</tr>\n";
}

std::u16string page(const std::u16string& rows, const std::u16string& marker = kMarker,
                    const std::u16string& table = u"<table class=grid>\n") {
    return kNav + marker + table + rows + u"</table>\n";
}

const std::u16string kWorkedExample = page(kHeaderRow + resultRow());

ErrorKind failureOf(const std::u16string& text) {
    try {
        parsetex(text);
    } catch (const RunTimeError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "parse did not fail";
    return ErrorKind::MissingSystemFunction;
}

TEST(Parsetex, WorkedExampleGivesRateAndBoldResult) { EXPECT_EQ(parsetex(kWorkedExample), u"0.8123~81.23"); }

TEST(Parsetex, PagesWithoutTheResultTableFailWithTheirKind) {
    using K = ErrorKind;
    EXPECT_EQ(failureOf(u""), K::InvalidArgument);
    EXPECT_EQ(failureOf(page(kHeaderRow + resultRow(), u"currency conversion results")), K::InvalidArgument);
    EXPECT_EQ(failureOf(kMarker + u"<p>no table</p>"), K::InvalidArgument);
    EXPECT_EQ(failureOf(kMarker + u"<table class=grid>" + kHeaderRow + resultRow()), K::InvalidArgument);
    EXPECT_EQ(failureOf(page(u"<tr><td>a</td></tr>")), K::InvalidArgument);
    EXPECT_EQ(failureOf(page(kHeaderRow)), K::InvalidArgument);
    EXPECT_EQ(failureOf(page(u"<tr align=center")), K::InvalidArgument);
    EXPECT_EQ(failureOf(page(kHeaderRow + u"<tr align=right><td>1<td>2<td>3<td>4</tr>")), K::IndexOutOfRange);
    EXPECT_EQ(failureOf(page(kHeaderRow + u"<tr align=right><td>1<td>2<td>3</tr>")), K::IndexOutOfRange);
    EXPECT_EQ(failureOf(page(kHeaderRow + u"<tr align=right><td>1<td>2<td>3<td>4<td><b>5")), K::InvalidArgument);
}

TEST(Parsetex, MarkerCaseRules) {
    // Table, row and bold markers are found in capitals; the results marker and cell tags are exact.
    const auto upper = u"<h2>Currency Conversion Results</h2><TABLE CLASS=grid>"
                       u"<TR ALIGN=center><th>x</th></TR>"
                       u"<TR ALIGN=right><td>USD</td><td>EUR</td><td>100</td><td class=r>0.8123</td>"
                       u"<td><B>81.23</B></td></TR></TABLE>";
    EXPECT_EQ(parsetex(upper), u"0.8123~81.23");
    const auto capitalCells = page(kHeaderRow + u"<tr align=right><TD>USD</TD><TD>EUR</TD><TD>100</TD>"
                                                u"<TD>0.8123</TD><TD><b>81.23</b></TD></tr>");
    EXPECT_EQ(failureOf(capitalCells), ErrorKind::IndexOutOfRange);
}

TEST(Parsetex, CellsAreTakenByPositionAcrossRows) {
    EXPECT_EQ(parsetex(page(kHeaderRow + resultRow(u"<td>81.23</td>"))), u"0.8123~81.23");
    EXPECT_EQ(parsetex(page(kHeaderRow + resultRow(u"<td class=x>81.23</td>"))), u"0.8123~class=x>81.23");
    const auto fourCells = u"<tr align=right><td>USD</td><td>EUR</td><td>100</td><td>0.8123</td></tr>"
                           u"<tr align=right><td><b>9.9</b></td></tr>";
    EXPECT_EQ(parsetex(page(kHeaderRow + fourCells)), u"0.8123~9.9");
    // The first "b>" is taken whatever tag it ends.
    EXPECT_EQ(parsetex(page(kHeaderRow + resultRow(u"<td>x</b>7<i>"))), u"0.8123~7");
}

TEST(Parsetex, FieldsKeepWhatTheCellsHold) {
    const auto row = [](const std::u16string& fourth) {
        return u"<tr align=right><td>USD</td><td>EUR</td><td>100</td>" + fourth + u"<td><b>81.23</b></td></tr>";
    };
    EXPECT_EQ(parsetex(page(kHeaderRow + row(u"<td></td>"))), u"~81.23");
    EXPECT_EQ(parsetex(page(kHeaderRow + row(u"<td><i>0.8</i></td>"))), u"~81.23");
    EXPECT_EQ(parsetex(page(kHeaderRow + row(u"<td>&nbsp;0.8 ~x</td>"))), u"&nbsp;0.8 ~x~81.23");
    EXPECT_EQ(parsetex(page(kHeaderRow + row(u"<td>\u00e9</td>"))), u"\u00e9~81.23");
}

TEST(Parsetex, ResultsFarDownThePageAreStillFound) {
    // Earlier programs held the marker's position in 16 bits; a long page is still a valid page.
    for (std::size_t padding : {32766u, 32767u, 100000u}) {
        EXPECT_EQ(parsetex(std::u16string(padding, u' ') + kWorkedExample.substr(kNav.size())), u"0.8123~81.23")
            << padding;
    }
}

}  // namespace
}  // namespace kavrel
