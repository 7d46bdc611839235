// Form1's behaviour on the real controls, where it needs Windows itself: the
// messages met inside a retrieval, the pointer, the keyboard, the amount box,
// the chrome's clicks, start-up and the end on a fault.
#include "form_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include "retrieval/request.h"
#include "win32/form/program_end.h"
#include "win32/form/user_locale.h"

namespace kavrel::win32::testing {
namespace {

TEST_F(FormTest, AQuitMetDuringARetrievalIsLeftForTheLoopAndACloseStopsItBeforeTheRequest) {
    PostQuitMessage(7);  // met by the retrieval's pass over the queue
    Click(ControlId::Command1);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    EXPECT_EQ(downloads, 1);  // the retrieval went on to the end regardless
    EXPECT_EQ(Text(Control(ControlId::Label1)), L"81.23 @ 0.8123 per Unit");

    PostMessageW(Form(), WM_CLOSE, 0, 0);  // Alt+F4 or the task bar's Close, already queued
    Click(ControlId::Command1);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(Form(), nullptr);
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program is not told to end";
}

// The busy state's texts are the flow's; the pointer is the window's.
TEST_F(FormTest, TheWindowAnswersForItsChildrenWithTheHourglassWhileBusy) {
    const auto hourglassAnswered = [&] {
        return SendMessageW(Form(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(ControlId::txtAm)),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
    };
    bool answeredWhileBusy = false;
    duringDownload = [&] { answeredWhileBusy = hourglassAnswered(); };
    Click(ControlId::Command1);
    EXPECT_TRUE(answeredWhileBusy);
    EXPECT_FALSE(hourglassAnswered());
}

TEST_F(FormTest, AnAmpersandInTheResultIsShownLiterally) {
    const auto inkWidth = [&](const char16_t* result) {  // of the white text on the result bar
        form->SetResultText(result);
        const Painted shot(Form());
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

TEST_F(FormTest, ClicksOnTheButtonsAndTheMinuteTickReachTheFlow) {
    const auto tick = [&] { SendMessageW(Form(), WM_TIMER, kFirstControlId + layout::IndexOf(ControlId::Timer1), 0); };
    for (const LRESULT shown : {BST_CHECKED, BST_UNCHECKED}) {
        Click(ControlId::Check1);
        EXPECT_EQ(SendMessageW(Control(ControlId::Check1), BM_GETCHECK, 0, 0), shown);
        tick();
    }
    EXPECT_EQ(downloads, 1);  // the tick while ticked

    // An owner-drawn button reports the second of two quick clicks as a double click.
    const HWND convert = Control(ControlId::Command1);
    for (const UINT press : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
        SendMessageW(convert, press, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(convert, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    }
    EXPECT_EQ(downloads, 3);
}

// Keys as the program's loop hands them on.
TEST_F(FormTest, TabGoesRoundFromTheFromBoxEnterConvertsNothingAndAltCConverts) {
    const auto key = [&](UINT message, WPARAM code) {
        MSG sent{GetFocus(), message, code, message == WM_SYSCHAR ? LPARAM{1} << 29 : 0};
        DispatchThroughDialog(Form(), sent);
        Pump();
    };
    for (const ControlId id : {ControlId::optCountry1, ControlId::optCountry2, ControlId::Command1, ControlId::txtAm,
                               ControlId::Check1, ControlId::optCountry1}) {
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus == Control(id) || GetParent(focus) == Control(id)) << static_cast<int>(id);
        key(WM_KEYDOWN, VK_TAB);
    }
    SetFocus(Control(ControlId::txtAm));
    key(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(downloads, 0);
    key(WM_SYSCHAR, 'c');
    EXPECT_EQ(downloads, 1);
}

// The amount box with texts no person types: very long ones, and the text it already holds.
TEST_F(FormTest, TheAmountBoxFiltersLongTextsWholeAndSameTextRaisesNoChange) {
    const HWND box = Control(ControlId::txtAm);
    const auto selection = [&] {
        DWORD start = 0, end = 0;
        SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return std::pair{start, end};
    };
    std::wstring text;
    for (int i = 0; i < 40000; ++i) text += (i % 2) ? L'x' : L'7';
    SetWindowTextW(box, text.c_str());
    EXPECT_EQ(Text(box), std::wstring(20000, L'7'));
    EXPECT_EQ(selection(), std::pair(DWORD{20000}, DWORD{20000}));

    SetWindowTextW(box, L"123");
    SendMessageW(box, EM_SETSEL, 0, 1);
    form->SetAmountText(u"123");
    EXPECT_EQ(selection(), std::pair(DWORD{0}, DWORD{1}));  // had the filter run, the caret would stand at the end
    form->SetAmountText(u"45");
    EXPECT_EQ(selection(), std::pair(DWORD{2}, DWORD{2}));

    // A paste: the digits of the clipboard's first line in place of the selection,
    // the caret after the box's last digit, also when there was nothing to insert.
    const struct {
        const wchar_t *before, *clipboard, *after;
        DWORD selectFrom, selectTo;
    } pastes[] = {{L"98", L"-1,2\r\n34", L"912", 1, 2}, {L"12", L"ab", L"12", 0, 0}, {L"55", L"x", L"", 0, 2}};
    for (const auto& paste : pastes) {
        SetWindowTextW(box, paste.before);
        SendMessageW(box, EM_SETSEL, paste.selectFrom, paste.selectTo);
        const std::size_t bytes = (std::wcslen(paste.clipboard) + 1) * sizeof(wchar_t);
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::memcpy(GlobalLock(memory), paste.clipboard, bytes);
        GlobalUnlock(memory);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        SendMessageW(box, WM_PASTE, 0, 0);
        EXPECT_EQ(Text(box), paste.after) << paste.clipboard;
        const auto end = static_cast<DWORD>(std::wcslen(paste.after));
        EXPECT_EQ(selection(), std::pair(end, end)) << paste.clipboard;
    }
}

TEST_F(FormTest, OnlyALeftClickEndsTheProgramAndTheLogoHandsTheShellTheSite) {
    const auto press = [](HWND control, UINT down, int releaseX) {
        SendMessageW(control, down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, MAKELPARAM(3, 3));
        SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(releaseX, 3));
    };
    const HWND square = Control(ControlId::Label4);
    press(square, WM_LBUTTONDOWN, 40);  // released outside: no click
    press(square, WM_RBUTTONDOWN, 3);   // no press of the left button before the release
    EXPECT_EQ(endRequests, 0);
    press(square, WM_LBUTTONDOWN, 3);
    EXPECT_EQ(endRequests, 1);

    const auto windows = ThreadWindowCount();
    press(Control(ControlId::Image2), WM_LBUTTONDOWN, 3);
    Pump();
    const std::string call = "- - " KAVREL_MAKER_SITE " - - " + std::to_string(SW_SHOWMAXIMIZED);
    EXPECT_EQ(systemCallLog.shellCalls, std::vector<std::string>{call});
    EXPECT_EQ(ThreadWindowCount(), windows);  // the shell's failure shows nothing
}

// optCountry1 takes ten entries and refuses the eleventh.
constexpr int kEntriesTaken = 10;
LRESULT CALLBACK FullBox(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == CB_ADDSTRING && SendMessageW(box, CB_GETCOUNT, 0, 0) == kEntriesTaken) return CB_ERRSPACE;
    return DefSubclassProc(box, message, wparam, lparam);
}

LRESULT CALLBACK FillFromBoxWhenCreated(int code, WPARAM wparam, LPARAM lparam) {
    const auto fromBox = reinterpret_cast<HMENU>(
        static_cast<INT_PTR>(kFirstControlId + layout::IndexOf(ControlId::optCountry1)));
    wchar_t className[16] = {};
    if (code == HCBT_CREATEWND && reinterpret_cast<CBT_CREATEWNDW*>(lparam)->lpcs->hMenu == fromBox &&
        GetClassNameW(reinterpret_cast<HWND>(wparam), className, 16) && std::wstring(className) == L"ComboBox")
        SetWindowSubclass(reinterpret_cast<HWND>(wparam), FullBox, 0, 0);
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(FormTest, StartUpFillsBothBoxesStartsTheMinuteTimerAndAFailingStepSkipsTheRestQuietly) {
    EXPECT_EQ(systemCallLog.timerIntervals, std::vector<UINT>{60000});
    for (const auto [id, position] : {std::pair{ControlId::optCountry1, 0}, {ControlId::optCountry2, 1}}) {
        EXPECT_EQ(SendMessageW(Control(id), CB_GETCOUNT, 0, 0), 149);
        EXPECT_EQ(SendMessageW(Control(id), CB_GETCURSEL, 0, 0), position);
    }

    const auto windowsOfAGoodStart = ThreadWindowCount();
    Close();
    const HHOOK hook = SetWindowsHookExW(WH_CBT, FillFromBoxWhenCreated, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Open(96);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(IsWindowVisible(Form()));
    EXPECT_EQ(ThreadWindowCount(), windowsOfAGoodStart);  // no message box
    EXPECT_EQ(SendMessageW(Control(ControlId::optCountry1), CB_GETCOUNT, 0, 0), kEntriesTaken);
    EXPECT_EQ(Text(Control(ControlId::optCountry1)), L"optCountry1");  // never selected
    EXPECT_EQ(SendMessageW(Control(ControlId::optCountry2), CB_GETCOUNT, 0, 0), 0);
}

TEST(UserLocale, ItsDecimalSeparatorReachesTheAmountText) {
    wchar_t saved[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, 8);
    for (const wchar_t* separator : {L",", L"."}) {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
        EXPECT_EQ(amountText(2.5, UserDecimalSeparator()), u"2" + std::u16string(1, separator[0]) + u"5");
    }
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved);
}

TEST(ProgramEnd, AnExceptionReachingAWindowProcedureEndsTheProgramWithItsCode) {
    const auto clickCloseSquareThatThrows = [] {
        Form1 form(
            GetModuleHandleW(nullptr), 96, [](double, const std::u16string&, const std::u16string&) { return u""; },
            [] { throw std::logic_error("a programming fault"); });
        const HWND square = form.Control(ControlId::Label4);
        SendMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(square, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    };
    EXPECT_EXIT(clickCloseSquareThatThrows(), ::testing::ExitedWithCode(kFaultExitCode), "");
}

}  // namespace
}  // namespace kavrel::win32::testing
