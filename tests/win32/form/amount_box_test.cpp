// The amount box with texts no person types: very long ones, and the text it already holds.
#include <gtest/gtest.h>

#include <string>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

class AmountBoxTest : public FormTest {
protected:
    HWND Box() const { return Control(ControlId::txtAm); }
    void Paste(const std::wstring& text) { SetWindowTextW(Box(), text.c_str()); }
    std::pair<DWORD, DWORD> Selection() const {
        DWORD start = 0, end = 0;
        SendMessageW(Box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
};

TEST_F(AmountBoxTest, LongTextsAreFilteredWholeAndSameTextRaisesNoChange) {
    std::wstring text;
    for (int i = 0; i < 40000; ++i) text += (i % 2) ? L'x' : L'7';
    Paste(text);
    EXPECT_EQ(Text(Box()), std::wstring(20000, L'7'));
    EXPECT_EQ(Selection(), std::make_pair(DWORD{20000}, DWORD{20000}));

    // Setting the text the box already holds raises no change.
    Paste(L"123");
    SendMessageW(Box(), EM_SETSEL, 0, 1);
    form->SetAmountText(u"123");
    // Had the filter run, the caret would stand at the end.
    EXPECT_EQ(Selection(), std::make_pair(DWORD{0}, DWORD{1}));

    form->SetAmountText(u"45");
    EXPECT_EQ(Selection(), std::make_pair(DWORD{2}, DWORD{2}));
}

}  // namespace
}  // namespace kavrel::win32::testing
