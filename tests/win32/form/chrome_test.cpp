// What the black-box suite does not try on the title area: a close press released
// elsewhere, the close square met inside a retrieval, what the logo hands the shell
// and the system's close command.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

LPARAM ClientPoint(int x, int y) { return MAKELPARAM(x, y); }

TEST_F(FormTest, OnlyALeftClickOnTheCloseSquareEndsTheProgramAndTheLogoHandsTheShellTheSite) {
    const HWND square = Control(ControlId::Label4);
    SendMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    SendMessageW(square, WM_LBUTTONUP, 0, ClientPoint(40, 3));  // released outside: no click
    EXPECT_EQ(endRequests, 0);
    SendMessageW(square, WM_RBUTTONDOWN, MK_RBUTTON, ClientPoint(3, 3));
    SendMessageW(square, WM_LBUTTONUP, 0, ClientPoint(3, 3));  // no press of the left button before
    EXPECT_EQ(endRequests, 0);

    // A click waiting when a retrieval runs the queue ends the program before the download.
    int downloadsAtEnd = 99;
    endProgram = [&] { downloadsAtEnd = downloads; };
    PostMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    PostMessageW(square, WM_LBUTTONUP, 0, ClientPoint(3, 3));
    SendMessageW(Control(ControlId::Command1), BM_CLICK, 0, 0);
    EXPECT_EQ(endRequests, 1);
    EXPECT_EQ(downloadsAtEnd, 0);

    // The logo: the maker's site, default verb, no parameters or folder, maximized;
    // the shell's failure shows nothing.
    const auto before = ThreadWindows().size();
    SendMessageW(Control(ControlId::Image2), WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    SendMessageW(Control(ControlId::Image2), WM_LBUTTONUP, 0, ClientPoint(3, 3));
    Pump();
    ASSERT_EQ(systemCallLog.shellCalls.size(), 1u);
    const ShellCall& call = systemCallLog.shellCalls[0];
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_TRUE(call.defaultVerb && call.noParameters && call.noDirectory);
    EXPECT_EQ(call.document, KAVREL_MAKER_SITE);
    EXPECT_EQ(call.show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(ThreadWindows().size(), before);

    // A close command from the system ends the program, without a question.
    const HWND window = Form();
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace kavrel::win32::testing
