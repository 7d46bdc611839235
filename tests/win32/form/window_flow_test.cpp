// The conversion flow on the real controls: what the black-box suite cannot see.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "form_fixture.h"

namespace kavrel::win32::testing {
namespace {

// One thread waits until another says so.
class Signal {
public:
    Signal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Signal() { CloseHandle(event_); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void Set() { SetEvent(event_); }
    bool Wait() { return WaitForSingleObject(event_, 20000) == WAIT_OBJECT_0; }

private:
    HANDLE event_;
};

std::wstring StoredText(HWND window) {
    wchar_t text[256] = {};
    InternalGetWindowText(window, text, 256);  // the system's copy: no message to the window
    return text;
}

TEST_F(FormTest, AQuitMetDuringARetrievalIsLeftForTheProgramsLoop) {
    PostQuitMessage(7);  // met by the retrieval's pass over the queue
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    // The retrieval went on to the end regardless.
    ASSERT_EQ(downloads, 1);
    EXPECT_EQ(Text(Control("Label1")), L"81.23 @ 0.8123 per Unit");
}

TEST_F(FormTest, BusyStateIsReadableFromAnotherThreadWhileTheDownloadBlocks) {
    Signal downloading, seen;
    std::wstring status, result;
    bool convertEnabled = true;
    std::thread observer([&] {
        downloading.Wait();
        status = StoredText(Control("lblC"));
        result = StoredText(Control("Label1"));
        convertEnabled = IsWindowEnabled(Control("Command1")) != FALSE;
        seen.Set();
    });
    bool hourglassAnswered = false;
    HCURSOR pointer = nullptr;
    duringDownload = [&] {
        downloading.Set();
        seen.Wait();  // the window's thread stays in the download meanwhile
        // A child asks the window first: the hourglass answers for it.
        hourglassAnswered = SendMessageW(Form(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control("txtAm")),
                                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
        pointer = GetCursor();
    };
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    observer.join();

    EXPECT_EQ(status, L"Retrieving Rates...");
    EXPECT_EQ(result, L"");
    EXPECT_FALSE(convertEnabled);
    EXPECT_TRUE(hourglassAnswered);
    EXPECT_EQ(pointer, LoadCursorW(nullptr, IDC_WAIT));

    EXPECT_EQ(StoredText(Control("Label1")), L"81.23 @ 0.8123 per Unit");
    EXPECT_EQ(StoredText(Control("lblC")), L"");
    EXPECT_TRUE(IsWindowEnabled(Control("Command1")));
    EXPECT_EQ(SendMessageW(Form(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Control("txtAm")),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              FALSE);
}

TEST_F(FormTest, CheckBoxValuesReachTheFlowAndTicksNeverNest) {
    const WPARAM timer = kFirstControlId + layout::FormControlIndex("Timer1");
    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Control("Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(form->Flow().AutoRetrieve());
    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Control("Check1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(form->Flow().AutoRetrieve());
    SendMessageW(Control("Check1"), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(form->AutoRetrieveBoxValue(), 2);
    form->Check1_Click();
    EXPECT_FALSE(form->Flow().AutoRetrieve());

    // Ticks met inside a retrieval start no second one.
    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    duringDownload = [&] {
        duringDownload = nullptr;
        SendMessageW(Form(), WM_TIMER, timer, 0);
    };
    PostMessageW(Form(), WM_TIMER, timer, 0);  // waiting when the retrieval runs the queue
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(downloads, 1);

    // The minute timer runs from the start.
    EXPECT_TRUE(KillTimer(Form(), timer));
}

}  // namespace
}  // namespace kavrel::win32::testing
