// Start-up and the end on a fault: the minute timer, the error trap of
// Form_Load, the user locale, and an exception that reaches a window procedure.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "form_fixture.h"
#include "retrieval/request.h"
#include "win32/form/program_end.h"
#include "win32/form/user_locale.h"

namespace kavrel::win32::testing {
namespace {

TEST_F(FormTest, TheAutoRetrieveTimerTicksEveryMinuteFromTheStart) {
    EXPECT_EQ(systemCallLog.timerIntervals, std::vector<UINT>{60000});
}

// optCountry1 takes ten entries and refuses the eleventh.
constexpr int kEntriesTaken = 10;
LRESULT CALLBACK FullBox(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    if (message == CB_ADDSTRING && SendMessageW(box, CB_GETCOUNT, 0, 0) == kEntriesTaken) return CB_ERRSPACE;
    return DefSubclassProc(box, message, wparam, lparam);
}

LRESULT CALLBACK FillFromBoxWhenCreated(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
        const auto* creation = reinterpret_cast<CBT_CREATEWNDW*>(lparam)->lpcs;
        wchar_t className[16] = {};
        GetClassNameW(reinterpret_cast<HWND>(wparam), className, 16);
        const auto fromBox = reinterpret_cast<HMENU>(
            static_cast<INT_PTR>(kFirstControlId + layout::IndexOf(ControlId::optCountry1)));
        if (creation->hMenu == fromBox && std::wstring(className) == L"ComboBox")
            SetWindowSubclass(reinterpret_cast<HWND>(wparam), FullBox, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(FormTest, AFailingStartUpStepSkipsTheRestQuietlyAndTheWindowShows) {
    const auto windowsOfAGoodStart = ThreadWindows().size();
    Close();
    const HHOOK hook = SetWindowsHookExW(WH_CBT, FillFromBoxWhenCreated, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Open(96);
    UnhookWindowsHookEx(hook);

    EXPECT_TRUE(IsWindowVisible(Form()));
    EXPECT_EQ(ThreadWindows().size(), windowsOfAGoodStart);  // no message box
    EXPECT_EQ(SendMessageW(Control(ControlId::optCountry1), CB_GETCOUNT, 0, 0), kEntriesTaken);
    EXPECT_EQ(Text(Control(ControlId::optCountry1)), L"optCountry1");  // never selected
    EXPECT_EQ(SendMessageW(Control(ControlId::optCountry2), CB_GETCOUNT, 0, 0), 0);
}

// The user's decimal separator as it was, put back on every way out of the test.
class SavedSeparator {
public:
    SavedSeparator() { GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_, 8); }
    ~SavedSeparator() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_); }
    SavedSeparator(const SavedSeparator&) = delete;
    SavedSeparator& operator=(const SavedSeparator&) = delete;

private:
    wchar_t saved_[8] = {};
};

TEST(UserLocale, ItsDecimalSeparatorReachesTheAmountText) {
    const SavedSeparator saved;
    for (const wchar_t* separator : {L",", L"."}) {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator));
        EXPECT_EQ(amountText(2.5, UserDecimalSeparator()), u"2" + std::u16string(1, separator[0]) + u"5");
    }
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
