// The amount box keeps its digits only, whatever reaches it.
#include <gtest/gtest.h>

#include <string>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

class AmountBoxTest : public FormTest {
protected:
    HWND Box() const { return Control("txtAm"); }
    void Paste(const std::wstring& text) { SetWindowTextW(Box(), text.c_str()); }
    void Type(wchar_t character) { SendMessageW(Box(), WM_CHAR, character, 1); }
    std::pair<DWORD, DWORD> Selection() const {
        DWORD start = 0, end = 0;
        SendMessageW(Box(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
};

TEST_F(AmountBoxTest, PastedAndTypedTextKeepsItsDigitsWithTheCaretAtTheEnd) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"12a3", L"123"},
        {L"1,234.50", L"123450"},
        {L"-5", L"5"},
        {L"\xFF11\xFF12\x0663", L""},  // full-width and Arabic-Indic digits are no digits here
        {L"0042", L"0042"},
    };
    for (const auto& [pasted, kept] : cases) {
        Paste(pasted);
        EXPECT_EQ(Text(Box()), kept) << "pasted " << Text(Box()).size();
        const DWORD length = static_cast<DWORD>(std::wstring(kept).size());
        EXPECT_EQ(Selection(), std::make_pair(length, length));
    }

    // Typed characters.
    Paste(L"12");
    Type(L'a');
    EXPECT_EQ(Text(Box()), L"12");
    Type(L'3');
    EXPECT_EQ(Text(Box()), L"123");

    SendMessageW(Box(), EM_SETSEL, 1, 1);
    Type(L'5');
    EXPECT_EQ(Text(Box()), L"1523");
    EXPECT_EQ(Selection(), std::make_pair(DWORD{4}, DWORD{4}));
}

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
