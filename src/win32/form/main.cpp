// Kavrel.exe: creates Form1, shows it and runs its events until the window
// goes away. No command line, no settings.
#include <windows.h>

#include <string>

#include "core/run_time_error.h"
#include "core/text.h"
#include "retrieval/get_cd.h"
#include "win32/form/form1.h"
#include "win32/form/handles.h"
#include "win32/form/message_loop.h"
#include "win32/net/module1.h"

#ifndef KAVREL_RATE_SERVICE
#error "KAVREL_RATE_SERVICE must name the rate service"
#endif

namespace {

constexpr int kUsualDpi = 96;

int ScreenDpi() {
    const kavrel::win32::WindowDc screen(nullptr, GetDC(nullptr));
    return screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : kUsualDpi;
}

char16_t UserDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1)
        return static_cast<char16_t>(separator[0]);
    return u'.';
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    try {
        kavrel::win32::Module1 network;
        const kavrel::RateRequestSettings settings{kavrel::text::widenAscii(KAVREL_RATE_SERVICE),
                                                   UserDecimalSeparator()};
        kavrel::win32::Form1 form(
            instance, ScreenDpi(),
            [&](double amount, const std::u16string& from, const std::u16string& to) {
                return kavrel::GetCD(amount, from, to, settings, network);
            },
            [] { ExitProcess(0); });
        form.Show(show);
        return kavrel::win32::RunMessageLoop(form.Handle());
    } catch (const kavrel::RunTimeError&) {
        return 1;  // the window could not be made: nothing to show and, by design, nothing to say
    }
}
