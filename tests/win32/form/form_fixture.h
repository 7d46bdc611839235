#pragma once
// A shown Form1 with a recording, scriptable download in place of the network.
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

// A result page as the rate service writes it: 0.8123 and 81.23 are the two cells.
extern const std::u16string kResultPage;
inline constexpr char16_t kResultLine[] = u"81.23 @ 0.8123 per Unit";

struct Request {
    double amount;
    std::u16string from, to;
};

std::wstring Text(HWND window);

// This thread's top-level windows, of one class or (nullptr) of any, visible or not.
std::vector<HWND> ThreadWindows(const wchar_t* className = nullptr);

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

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { Open(96); }
    void TearDown() override { Close(); }

    void Open(int dpi);
    void Close();
    // Runs the messages waiting now, as the window's loop would.
    void Pump();
    HWND Form() const { return form->Handle(); }
    HWND Control(std::string_view name) const { return form->Control(name); }
    // A key message as the keyboard would deliver it to the focused window.
    void Key(UINT message, WPARAM key);

    std::unique_ptr<Form1> form;
    std::vector<Request> requests;
    std::u16string page = kResultPage;
    std::function<void()> duringDownload;  // on the window's thread, inside the download
    int endRequests = 0;
    std::function<void()> endProgram;  // besides counting, in place of ending the process
};

}  // namespace kavrel::win32::testing
