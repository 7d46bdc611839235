// Start-up, keyboard and the conversion flow on the real controls.
#include <gmock/gmock.h>

#include <set>
#include <string>
#include <thread>

#include "form_fixture.h"
#include "input/catalogue.h"

namespace kavrel::win32::testing {
namespace {

std::wstring Entry(HWND box, int position) {
    const auto length = SendMessageW(box, CB_GETLBTEXTLEN, position, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, position, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The control that holds the focus, a drop-down box standing for its text field.
HWND FocusedControl(HWND form) {
    HWND focus = GetFocus();
    while (focus && GetParent(focus) != form) focus = GetParent(focus);
    return focus;
}

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

std::set<HWND> VisibleTopLevelWindows() {
    std::set<HWND> visible;
    for (HWND window : ThreadWindows())
        if (IsWindowVisible(window)) visible.insert(window);
    return visible;
}

TEST_F(FormTest, StartUpFillsTheBoxesAndTheKeyboardWalksTheTabOrder) {
    for (const char* name : {"optCountry1", "optCountry2"}) {
        const HWND box = Control(name);
        ASSERT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 149) << name;
        for (int i = 0; i < 149; ++i) {
            const auto entry = CurrencyCatalogue[static_cast<std::size_t>(i)];
            ASSERT_EQ(Entry(box, i), std::wstring(entry.begin(), entry.end())) << name << " " << i;
        }
    }
    EXPECT_EQ(Text(Control("optCountry1")), L"Albanian Lek (ALL)");
    EXPECT_EQ(Text(Control("optCountry2")), L"Algerian Dinar (DZD)");
    EXPECT_TRUE(requests.empty());  // no network at start-up

    // The keyboard: focus in the From box, Tab through the tab order, back with Shift+Tab.
    ASSERT_EQ(FocusedControl(Form()), Control("optCountry1"));
    const char* order[] = {"optCountry2", "Command1", "txtAm", "Check1", "optCountry1"};
    for (const char* name : order) {
        Key(WM_KEYDOWN, VK_TAB);
        EXPECT_EQ(FocusedControl(Form()), Control(name)) << name;
    }

    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    Key(WM_KEYDOWN, VK_TAB);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(FocusedControl(Form()), Control("Check1"));

    // Enter in the amount box presses nothing; Alt+C presses Convert.
    SetFocus(Control("txtAm"));
    Key(WM_KEYDOWN, VK_RETURN);
    Key(WM_CHAR, L'\r');
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(Text(Control("txtAm")), L"1");

    Key(WM_SYSCHAR, L'c');
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Text(Control("Label1")), std::wstring(kResultLine, kResultLine + 23));
}

TEST_F(FormTest, ConvertShowsTheResultLineAndAFailureEndsQuietly) {
    SetWindowTextW(Control("txtAm"), L"");
    SendMessageW(Control("optCountry2"), CB_SETCURSEL, 23, 0);  // "CFA Franc (BCEAO) (XOF)"
    PostQuitMessage(7);  // met by the retrieval's pass over the queue, and left for the program's loop
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].amount, 1.0);
    EXPECT_EQ(requests[0].from, u"ALL");
    EXPECT_EQ(requests[0].to, u"BCEAO");
    EXPECT_EQ(Text(Control("txtAm")), L"1");
    EXPECT_EQ(Text(Control("Label1")), L"81.23 @ 0.8123 per Unit");
    EXPECT_EQ(Text(Control("lblC")), L"");
    EXPECT_TRUE(IsWindowEnabled(Control("Command1")));
    EXPECT_EQ(form->Flow().LastResult(), u"0.8123~81.23");

    // A failure ends quietly: no result, idle again, no message box.
    const auto before = VisibleTopLevelWindows();

    page = u"";  // offline: no page, so the parse fails
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(Text(Control("Label1")), L"");
    EXPECT_EQ(Text(Control("lblC")), L"");
    EXPECT_TRUE(IsWindowEnabled(Control("Command1")));
    EXPECT_EQ(form->Flow().LastResult(), u"0.8123~81.23");
    EXPECT_EQ(VisibleTopLevelWindows(), before);  // no message box
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

TEST_F(FormTest, CheckBoxSwitchesTheTimersRetrievalsAndTicksNeverNest) {
    const WPARAM timer = kFirstControlId + layout::FormControlIndex("Timer1");
    SendMessageW(Form(), WM_TIMER, timer, 0);
    EXPECT_TRUE(requests.empty());

    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Control("Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(form->Flow().AutoRetrieve());
    SetWindowTextW(Control("txtAm"), L"");
    SendMessageW(Form(), WM_TIMER, timer, 0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].amount, 0.0);  // the tick supplies no default amount
    EXPECT_EQ(Text(Control("txtAm")), L"");

    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Control("Check1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(form->Flow().AutoRetrieve());

    SendMessageW(Control("Check1"), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(form->AutoRetrieveBoxValue(), 2);
    form->Check1_Click();
    EXPECT_FALSE(form->Flow().AutoRetrieve());

    // Ticks met inside a retrieval start no second one.
    requests.clear();
    SendMessageW(Control("Check1"), BM_CLICK, 0, 0);
    duringDownload = [&] {
        duringDownload = nullptr;
        SendMessageW(Form(), WM_TIMER, timer, 0);
    };
    PostMessageW(Form(), WM_TIMER, timer, 0);  // waiting when the retrieval runs the queue
    SendMessageW(Control("Command1"), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(requests.size(), 1u);

    // The minute timer runs from the start.
    EXPECT_TRUE(KillTimer(Form(), timer));
}

}  // namespace
}  // namespace kavrel::win32::testing
