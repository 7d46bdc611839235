#pragma once
// A shown Form1 with a counting download in place of the network, and stand-ins
// that record the timers it starts and what it hands the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "result_page.h"
#include "win32/form/form1.h"
#include "win32/form/handles.h"
#include "win32/form/message_loop.h"
#include "win32/wide_text.h"

namespace kavrel::win32::testing {

// A control's rectangle in the form's client area.
inline layout::PixelRect ClientRect(HWND form, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// A copy of the form's client area as it is painted now.
class Painted {
public:
    explicit Painted(HWND form) {
        RECT client{};
        GetClientRect(form, &client);
        RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const WindowDc screen(form, GetDC(form));
        copy_.reset(CreateCompatibleDC(screen.Get()));
        bitmap_.reset(CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
        selected_.emplace(copy_.get(), bitmap_.get());
        BitBlt(copy_.get(), 0, 0, client.right, client.bottom, screen.Get(), 0, 0, SRCCOPY);
    }
    HDC Dc() const { return copy_.get(); }
    COLORREF At(int x, int y) const { return GetPixel(copy_.get(), x, y); }
    bool Contains(const layout::PixelRect& rect, COLORREF colour) const {
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x)
                if (At(x, y) == colour) return true;
        return false;
    }

private:
    MemoryDc copy_;
    BitmapHandle bitmap_;
    std::optional<Selection> selected_;
};

// What the window asked of the system, in order: "SetTimer milliseconds", and the
// shell's open calls as "ShellExecute owner verb document parameters directory show"
// ("-" for null).
inline std::vector<std::string> systemCalls;

inline UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
    systemCalls.push_back("SetTimer " + std::to_string(milliseconds));
    return SetTimer(window, id, milliseconds, procedure);
}

// Opens nothing and answers with a failure, as on a machine without a browser.
inline HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCSTR verb, LPCSTR document, LPCSTR parameters,
                                           LPCSTR directory, INT show) {
    std::string call = owner ? "ShellExecute owner" : "ShellExecute -";
    for (const LPCSTR text : {verb, document, parameters, directory}) call += std::string(" ") + (text ? text : "-");
    systemCalls.push_back(call + " " + std::to_string(show));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(ERROR_FILE_NOT_FOUND));
}

class FormTest : public ::testing::Test {
protected:
    using ControlId = layout::ControlId;
    void SetUp() override { Open(96); }
    void TearDown() override { Close(); }
    void Open(int dpi) {
        systemCalls.clear();
        form = std::make_unique<Form1>(
            GetModuleHandleW(nullptr), dpi,
            [this](double, const std::u16string&, const std::u16string&) {
                ++downloads;
                if (duringDownload) duringDownload();
                return kResultPage;
            },
            [this] { endProgram(); },
            SystemCalls{SystemFunction<ShellExecuteFunction>(RecordShellExecute), RecordSetTimer});
        form->Show(SW_SHOWNORMAL);
        Pump();
    }
    void Close() {
        form.reset();
        Pump();
    }
    // Runs the messages waiting now, as the window's loop would.
    void Pump() { ProcessPendingMessages(form ? form->Handle() : nullptr); }
    HWND Form() const { return form->Handle(); }
    HWND Control(ControlId id) const { return form->Control(id); }
    // A press of a mouse button on a control (`down`, its message), then a left release at x.
    void Press(ControlId id, UINT down = WM_LBUTTONDOWN, int releaseX = 3) {
        SendMessageW(Control(id), down, down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(Control(id), WM_LBUTTONUP, 0, MAKELPARAM(releaseX, 3));
    }

    std::unique_ptr<Form1> form;
    int downloads = 0;
    std::function<void()> duringDownload;  // on the window's thread, inside the download
    int endRequests = 0;
    std::function<void()> endProgram = [this] { ++endRequests; };  // what the close square's click does
};

}  // namespace kavrel::win32::testing
