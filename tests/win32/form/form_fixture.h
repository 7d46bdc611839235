#pragma once
// A shown Form1 with a counting, scriptable download in place of the network.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "win32/form/form1.h"
#include "window/layout.h"

namespace kavrel::win32::testing {

std::wstring Text(HWND window);

// This thread's top-level windows, visible or not.
std::vector<HWND> ThreadWindows();

// A control's rectangle in the form's client area.
layout::PixelRect ClientRect(HWND form, HWND control);

// Screen pixels of the form's client area, read back after painting.
class Snapshot {
public:
    explicit Snapshot(HWND form);
    COLORREF At(int x, int y) const;
    // Whether any pixel of the rectangle has exactly this colour.
    bool Contains(const layout::PixelRect& rect, COLORREF colour) const;

private:
    int width_ = 0, height_ = 0;
    std::vector<COLORREF> pixels_;
};

bool Near(COLORREF a, COLORREF b, int tolerance);

// What the window asked of the system through the stand-ins every FormTest
// gives it: the timers it started and the shell's open calls (which open nothing).
struct ShellCall {
    HWND owner;
    bool defaultVerb, noParameters, noDirectory;
    std::string document;
    int show;
};
struct SystemCallLog {
    std::vector<UINT> timerIntervals;
    std::vector<ShellCall> shellCalls;
};
extern SystemCallLog systemCallLog;

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { Open(96); }
    void TearDown() override { Close(); }

    void Open(int dpi);
    void Close();
    // Runs the messages waiting now, as the window's loop would.
    void Pump();
    HWND Form() const { return form->Handle(); }
    HWND Control(ControlId id) const { return form->Control(id); }

    std::unique_ptr<Form1> form;
    int downloads = 0;
    std::function<void()> duringDownload;  // on the window's thread, inside the download
    int endRequests = 0;
    std::function<void()> endProgram;  // besides counting, in place of ending the process
};

}  // namespace kavrel::win32::testing
