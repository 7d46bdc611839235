// The conversion flow and the amount box on the real controls: what the black-box suite cannot see.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

TEST_F(FormTest, AQuitMetDuringARetrievalIsLeftForTheProgramsLoop) {
    PostQuitMessage(7);  // met by the retrieval's pass over the queue
    SendMessageW(Control(ControlId::Command1), BM_CLICK, 0, 0);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    // The retrieval went on to the end regardless.
    ASSERT_EQ(downloads, 1);
    EXPECT_EQ(Text(Control(ControlId::Label1)), L"81.23 @ 0.8123 per Unit");
}

TEST_F(FormTest, ASystemCloseMetDuringARetrievalStopsItBeforeTheRequest) {
    PostMessageW(Form(), WM_CLOSE, 0, 0);  // Alt+F4 or the task bar's Close, already queued
    SendMessageW(Control(ControlId::Command1), BM_CLICK, 0, 0);
    EXPECT_EQ(downloads, 0);
    EXPECT_EQ(Form(), nullptr);
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program is not told to end";
}

// The busy state's texts are read from outside by the black-box suite; the
// pointer is not, so it is asked here.
TEST_F(FormTest, TheWindowAnswersForItsChildrenWithTheHourglassWhileBusy) {
    const auto hourglassAnswered = [&] {
        return SendMessageW(Form(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(ControlId::txtAm)),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
    };
    bool answeredWhileBusy = false;
    HCURSOR pointer = nullptr;
    duringDownload = [&] {
        answeredWhileBusy = hourglassAnswered();
        pointer = GetCursor();
    };
    SendMessageW(Control(ControlId::Command1), BM_CLICK, 0, 0);
    EXPECT_TRUE(answeredWhileBusy);
    EXPECT_EQ(pointer, LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_FALSE(hourglassAnswered());
}

TEST_F(FormTest, AnAmpersandInTheResultIsShownLiterally) {
    // The width of the white text on the result bar.
    const auto inkWidth = [&](const char16_t* result) {
        form->SetResultText(result);
        const Snapshot shot(Form());
        const auto bar = ClientRect(Form(), Control(ControlId::Label1));
        int first = bar.right, last = bar.left;
        for (int y = bar.top; y < bar.bottom; ++y)
            for (int x = bar.left; x < bar.right; ++x)
                if (shot.At(x, y) == RGB(255, 255, 255)) first = std::min(first, x), last = std::max(last, x);
        return last - first;
    };
    // Read as an access key, "&" would vanish and underline the second W.
    EXPECT_GT(inkWidth(u"W&W"), inkWidth(u"WW") + 3);
}

TEST_F(FormTest, CheckBoxValuesReachTheFlowAndTicksNeverNest) {
    const WPARAM timer = kFirstControlId + layout::IndexOf(ControlId::Timer1);
    const HWND box = Control(ControlId::Check1);
    struct Step {
        UINT message;  // to the check box, then a tick
        WPARAM value;
        LRESULT shown;
        int downloads;  // after the tick
    };
    const Step steps[] = {
        {BM_CLICK, 0, BST_CHECKED, 1},
        {BM_CLICK, 0, BST_UNCHECKED, 1},
        {BM_SETCHECK, BST_INDETERMINATE, BST_INDETERMINATE, 1},  // greyed: the click handler reads it as off
    };
    for (const auto& step : steps) {
        SendMessageW(box, step.message, step.value, 0);
        if (step.message == BM_SETCHECK) form->Check1_Click();
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), step.shown);
        SendMessageW(Form(), WM_TIMER, timer, 0);
        EXPECT_EQ(downloads, step.downloads) << step.shown;
    }

    // Ticks met inside a retrieval start no second one.
    SendMessageW(box, BM_CLICK, 0, 0);
    duringDownload = [&] {
        duringDownload = nullptr;
        SendMessageW(Form(), WM_TIMER, timer, 0);
    };
    PostMessageW(Form(), WM_TIMER, timer, 0);  // waiting when the retrieval runs the queue
    SendMessageW(Control(ControlId::Command1), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(downloads, 2);
}

// The amount box with texts no person types: very long ones, and the text it already holds.
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

void OfferToClipboard(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    ASSERT_NE(memory, nullptr);
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// A paste puts the digits of the clipboard's first line in place of the
// selection, and the caret after the last digit of the box, also when there
// was nothing to insert.
TEST_F(AmountBoxTest, PasteKeepsTheDigitsOfTheFirstLine) {
    struct Case {
        const wchar_t* before;
        DWORD selectFrom, selectTo;
        const wchar_t* clipboard;
        const wchar_t* after;
    };
    const Case cases[] = {
        {L"98", 1, 2, L"-1,2\r\n34", L"912"},
        {L"12", 0, 0, L"ab", L"12"},
        {L"55", 0, 2, L"x", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pasting " << c.clipboard);
        Paste(c.before);
        SendMessageW(Box(), EM_SETSEL, c.selectFrom, c.selectTo);
        OfferToClipboard(c.clipboard);
        SendMessageW(Box(), WM_PASTE, 0, 0);
        EXPECT_EQ(Text(Box()), c.after);
        const auto end = static_cast<DWORD>(std::wcslen(c.after));
        EXPECT_EQ(Selection(), std::make_pair(end, end));
    }
}

}  // namespace
}  // namespace kavrel::win32::testing
