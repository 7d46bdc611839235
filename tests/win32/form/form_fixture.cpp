#include "form_fixture.h"

#include "result_page.h"

#include <cstdlib>
#include <utility>

#include "win32/form/handles.h"
#include "win32/form/message_loop.h"

namespace kavrel::win32::testing {

std::wstring Text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

SystemCallLog systemCallLog;

namespace {

UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
    systemCallLog.timerIntervals.push_back(milliseconds);
    return SetTimer(window, id, milliseconds, procedure);
}

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCSTR verb, LPCSTR document, LPCSTR parameters,
                                    LPCSTR directory, INT show) {
    systemCallLog.shellCalls.push_back(
        {owner, verb == nullptr, parameters == nullptr, directory == nullptr, document ? document : "", show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(ERROR_FILE_NOT_FOUND));  // a failure, as without a browser
}

BOOL CALLBACK Collect(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

layout::PixelRect ClientRect(HWND form, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    POINT origin{0, 0};
    ClientToScreen(form, &origin);
    return {rect.left - origin.x, rect.top - origin.y, rect.right - origin.x, rect.bottom - origin.y};
}

Snapshot::Snapshot(HWND form) {
    RECT client{};
    GetClientRect(form, &client);
    width_ = client.right;
    height_ = client.bottom;
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const WindowDc screen(form, GetDC(form));
    const BitmapHandle bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDc copy(CreateCompatibleDC(screen.get()));
    {
        const Selection selected(copy.get(), bitmap.get());
        BitBlt(copy.get(), 0, 0, width_, height_, screen.get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    pixels_.reserve(static_cast<std::size_t>(width_ * height_));
    for (int i = 0; i < width_ * height_; ++i)
        pixels_.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
}

COLORREF Snapshot::At(int x, int y) const { return pixels_.at(static_cast<std::size_t>(y * width_ + x)); }

bool Snapshot::Contains(const layout::PixelRect& rect, COLORREF colour) const {
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (At(x, y) == colour) return true;
    return false;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

void FormTest::Open(int dpi) {
    systemCallLog = {};
    SystemCalls calls{SystemFunction<ShellExecuteFunction>(RecordShellExecute), RecordSetTimer};
    form = std::make_unique<Form1>(
        GetModuleHandleW(nullptr), dpi,
        [this](double, const std::u16string&, const std::u16string&) {
            ++downloads;
            if (duringDownload) duringDownload();
            return kResultPage;
        },
        [this] {
            ++endRequests;
            if (endProgram) endProgram();
        },
        std::move(calls));
    form->Show(SW_SHOWNORMAL);
    Pump();
}

void FormTest::Close() {
    form.reset();
    Pump();
}

void FormTest::Pump() { ProcessPendingMessages(form ? form->Handle() : nullptr); }

}  // namespace kavrel::win32::testing
