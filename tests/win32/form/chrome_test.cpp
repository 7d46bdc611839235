// Dragging by the title labels, the close square and the shell call.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

RECT Place(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool SamePlace(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

POINT CentreOnScreen(HWND control) {
    const RECT rect = Place(control);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

LPARAM ClientPoint(int x, int y) { return MAKELPARAM(x, y); }

INPUT MouseAt(POINT point, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = MulDiv(point.x, 65535, width - 1);
    input.mi.dy = MulDiv(point.y, 65535, height - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return input;
}

class ChromeTest : public FormTest {
protected:
    // A real press, move and release of the left button, through the system's input queue.
    void DragWithMouse(POINT from, POINT to) {
        INPUT inputs[] = {MouseAt(from, 0), MouseAt(from, MOUSEEVENTF_LEFTDOWN), MouseAt(to, 0),
                          MouseAt(to, MOUSEEVENTF_LEFTUP)};
        SendInput(4, inputs, sizeof(INPUT));
        // The system's move loop, when one starts, runs inside a pass over the queue.
        for (int pass = 0; pass < 10; ++pass) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
};

TEST_F(ChromeTest, OnlyTheLeftButtonOnTheTitleLabelsMovesTheWindow) {
    const RECT start = Place(Form());
    for (const char* label : {"Label3", "Label9"}) {
        for (UINT press : {WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
            SendMessageW(Control(label), press, 0, ClientPoint(5, 5));
            Pump();
            EXPECT_TRUE(SamePlace(Place(Form()), start)) << label;
            EXPECT_EQ(GetCapture(), nullptr) << label;
        }
    }
    EXPECT_EQ(endRequests, 0);

    const POINT from = CentreOnScreen(Control("Label9"));
    DragWithMouse(from, {from.x + 40, from.y + 30});
    const RECT moved = Place(Form());
    EXPECT_EQ(moved.left - start.left, 40);
    EXPECT_EQ(moved.top - start.top, 30);

    // A press elsewhere moves nothing.
    for (const char* other : {"Label5", "Image1", "Label2", "Label10"}) {
        const POINT from = CentreOnScreen(Control(other));
        DragWithMouse(from, {from.x + 25, from.y + 15});
        EXPECT_TRUE(SamePlace(Place(Form()), moved)) << other;
    }

    // The close square and the banner lie in front of the drag strip.
    for (const char* front : {"Label4", "Label9"}) {
        POINT point = CentreOnScreen(Control(front));
        ScreenToClient(Form(), &point);
        EXPECT_EQ(ChildWindowFromPointEx(Form(), point, CWP_SKIPINVISIBLE), Control(front)) << front;
    }
}

TEST_F(ChromeTest, CloseSquareEndsTheProgramOnAClickOnlyAndTheShellFailsQuietly) {
    const HWND square = Control("Label4");
    SendMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    SendMessageW(square, WM_LBUTTONUP, 0, ClientPoint(40, 3));  // released outside: no click
    EXPECT_EQ(endRequests, 0);
    SendMessageW(square, WM_RBUTTONDOWN, MK_RBUTTON, ClientPoint(3, 3));
    EXPECT_EQ(endRequests, 0);

    SendMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    SendMessageW(square, WM_LBUTTONUP, 0, ClientPoint(4, 4));
    EXPECT_EQ(endRequests, 1);

    // A click waiting when a retrieval runs the queue ends the program before the download.
    std::size_t downloadsAtEnd = 99;
    endProgram = [&] { downloadsAtEnd = requests.size(); };
    PostMessageW(square, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(3, 3));
    PostMessageW(square, WM_LBUTTONUP, 0, ClientPoint(3, 3));
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    EXPECT_EQ(downloadsAtEnd, 0u);

    // The shell's answer comes back; its failure shows nothing.
    const auto before = ThreadWindows().size();
    const auto missing = form->ShellOpen(u"C:\\no such folder\\no such file.kavrel", std::nullopt, SW_SHOWNORMAL);
    EXPECT_GE(missing, 0);
    EXPECT_LE(missing, 32);  // a failure in the shell's own terms
    const auto withParameters = form->ShellOpen(u"C:\\no such folder\\no such file.kavrel", u"", SW_SHOWNORMAL);
    EXPECT_LE(withParameters, 32);
    Pump();
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
