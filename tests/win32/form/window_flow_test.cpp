// Form1's behaviour on the real controls, where it needs Windows itself: the
// messages met inside a retrieval, the pointer, the keyboard, the amount box,
// the chrome's clicks, start-up and the end on a fault.
#include "form_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "build_config.h"
#include "retrieval/request.h"
#include "win32/form/program_end.h"
#include "win32/user_locale.h"

namespace kavrel::win32::testing {
namespace {

// Inside a retrieval: the pointer, and the messages met by its pass over the queue.
TEST_F(FormTest, ARetrievalShowsTheHourglassLeavesAQuitForTheLoopAndStopsAtAClose) {
    const auto hourglassAnswered = [&] {  // the window answers for its children
        return SendMessageW(Form(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(ControlId::txtAm)),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
    };
    bool answeredWhileBusy = false;
    duringDownload = [&] { answeredWhileBusy = hourglassAnswered(); };
    PostQuitMessage(7);
    Press(ControlId::Command1);
    EXPECT_TRUE(answeredWhileBusy);
    EXPECT_FALSE(hourglassAnswered());
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    EXPECT_EQ(downloads, 1);  // the pass answered "go on" (what follows is the flow's, proven by its tests)

    PostMessageW(Form(), WM_CLOSE, 0, 0);  // Alt+F4 or the task bar's Close, already queued
    Press(ControlId::Command1);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(Form(), nullptr);
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program is not told to end";
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
    for (const LRESULT shown : {BST_CHECKED, BST_UNCHECKED}) {
        Press(ControlId::Check1);
        EXPECT_EQ(SendMessageW(Control(ControlId::Check1), BM_GETCHECK, 0, 0), shown);
        SendMessageW(Form(), WM_TIMER, layout::WindowIdOf(ControlId::Timer1), 0);
    }
    EXPECT_EQ(downloads, 1);  // the tick while ticked

    // An owner-drawn button reports the second of two quick clicks as a double click.
    Press(ControlId::Command1);
    Press(ControlId::Command1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(downloads, 3);
}

// Keys as the program's loop hands them on.
TEST_F(FormTest, TabGoesRoundFromTheFromBoxEnterConvertsNothingAndAltCConverts) {
    const auto key = [&](UINT message, WPARAM code) {
        MSG sent{GetFocus(), message, code, message == WM_SYSCHAR ? LPARAM{1} << 29 : 0, 0, {}};
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

// The amount box keeps its digits, the caret after the last one: a set text is filtered
// by the change event (whose own change of the text ends the nested pass); a paste puts
// the digits of the clipboard's first line in place of the selection, as many as there
// are, also when there are none.
TEST_F(FormTest, TheAmountBoxKeepsTheDigitsOfWhatIsSetOrPasted) {
    const HWND box = Control(ControlId::txtAm);
    const auto expectBoxHolds = [&](const std::wstring& digits) {
        DWORD start = 0, end = 0;
        SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const std::wstring text = Wide(WindowText(box));
        EXPECT_TRUE(text == digits) << text.substr(0, 20) << "... (" << text.size() << " characters)";
        EXPECT_EQ(std::pair(start, end),
                  std::pair(static_cast<DWORD>(digits.size()), static_cast<DWORD>(digits.size())));
    };
    SetWindowTextW(box, L"1x2");
    expectBoxHolds(L"12");
    const struct {
        std::wstring before, clipboard, after;
        DWORD selectFrom, selectTo;
    } pastes[] = {{L"98", L"-1,2\r\n34", L"912", 1, 2},
                  {L"12", L"ab", L"12", 0, 0},
                  {L"55", L"x", L"", 0, 2},
                  {L"", std::wstring(40000, L'7') + L"x", std::wstring(40000, L'7'), 0, 0}};  // past the usual limit
    for (const auto& paste : pastes) {
        SCOPED_TRACE(paste.clipboard.substr(0, 10));
        SetWindowTextW(box, paste.before.c_str());
        SendMessageW(box, EM_SETSEL, paste.selectFrom, paste.selectTo);
        const std::size_t bytes = (paste.clipboard.size() + 1) * sizeof(wchar_t);
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::memcpy(GlobalLock(memory), paste.clipboard.c_str(), bytes);
        GlobalUnlock(memory);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        SendMessageW(box, WM_PASTE, 0, 0);
        expectBoxHolds(paste.after);
    }
}

// A message box on a failure (the shell's here, a start-up step's below) would hold
// the test until its time-out: failures show nothing.
TEST_F(FormTest, OnlyALeftClickEndsTheProgramAndTheLogoHandsTheShellTheSite) {
    Press(ControlId::Label4, WM_LBUTTONDOWN, 40);  // released outside: no click
    Press(ControlId::Label4, WM_RBUTTONDOWN);      // no press of the left button before the release
    EXPECT_EQ(endRequests, 0);
    Press(ControlId::Label4);
    EXPECT_EQ(endRequests, 1);

    Press(ControlId::Image2);
    Pump();
    const std::string call =
        "ShellExecute - - " KAVREL_CONFIGURED_MAKER_SITE " - - " + std::to_string(SW_SHOWMAXIMIZED);
    EXPECT_EQ(systemCalls, (std::vector<std::string>{"SetTimer 60000", call}));  // start-up's, then the logo's
}

// optCountry1 takes ten entries and refuses the eleventh.
LRESULT CALLBACK FullBox(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == CB_ADDSTRING && SendMessageW(box, CB_GETCOUNT, 0, 0) == 10) return CB_ERRSPACE;
    return DefSubclassProc(box, message, wparam, lparam);
}

TEST_F(FormTest, StartUpFillsBothBoxesAndAFailingStepSkipsTheRestQuietly) {
    const HWND from = Control(ControlId::optCountry1), to = Control(ControlId::optCountry2);
    for (const HWND box : {from, to}) EXPECT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 149);

    for (const HWND box : {from, to}) SendMessageW(box, CB_RESETCONTENT, 0, 0);
    ASSERT_TRUE(SetWindowSubclass(from, FullBox, 0, 0));
    EXPECT_NO_THROW(form->Form_Load());
    RemoveWindowSubclass(from, FullBox, 0);
    EXPECT_EQ(SendMessageW(from, CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(SendMessageW(from, CB_GETCURSEL, 0, 0), CB_ERR);  // the steps after the failing one were skipped
    EXPECT_EQ(SendMessageW(to, CB_GETCOUNT, 0, 0), 0);
}

TEST(UserLocale, ItsDecimalSeparatorReachesTheAmountText) {
    wchar_t saved[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, 8);
    for (const wchar_t* separator : {L",", L"."}) {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
        EXPECT_EQ(AmountText(2.5, UserDecimalSeparator()), u"2" + std::u16string(1, separator[0]) + u"5");
    }
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved);
}

TEST_F(FormTest, AnExceptionReachingAWindowProcedureEndsTheProgramWithItsCode) {
    endProgram = [] { throw std::logic_error("a programming fault"); };  // in the close square's procedure
    EXPECT_EXIT(Press(ControlId::Label4), ::testing::ExitedWithCode(kFaultExitCode), "");
}

}  // namespace
}  // namespace kavrel::win32::testing
