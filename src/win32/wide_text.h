#pragma once
// The program's 16-bit text at the system's wide interfaces, which take it as it is.
#include <windows.h>

#include <string>
#include <string_view>

namespace kavrel::win32 {

std::wstring Wide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// A window's text as the window itself answers WM_GETTEXT.
std::u16string WindowText(HWND window);

// Sets a window's text only when it differs, so that setting a text box to
// what it already holds raises no change event.
void SetWindowTextIfChanged(HWND window, std::u16string_view text);

}  // namespace kavrel::win32
