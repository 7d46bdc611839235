// Kavrel.exe: creates Form1, shows it, starts the rate service beside it (when
// there is one for the service's address) and runs the window's events until
// it goes away. No command line, no settings.
#include <windows.h>

#include <exception>
#include <string>

#include "build_config.h"
#include "core/run_time_error.h"
#include "core/text.h"
#include "retrieval/rate_page_request.h"
#include "win32/bench_marks.h"
#include "win32/form/form1.h"
#include "win32/form/handles.h"
#include "win32/form/message_loop.h"
#include "win32/form/program_end.h"
#include "win32/user_locale.h"
#include "win32/net/wininet_download.h"
#include "win32/rate_service_launch.h"

namespace {

constexpr int kUsualDpi = 96;

int ScreenDpi() {
    const kavrel::win32::WindowDc screen(nullptr, GetDC(nullptr));
    return screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : kUsualDpi;
}

#ifdef KAVREL_BENCH_MARKS
// The network with a mark after the online check and after the download.
class MarkedNetwork final : public kavrel::RateNetwork {
public:
    bool IsConnected() override {
        const bool connected = network_.IsConnected();
        kavrel::win32::bench::Mark("online check done");
        return connected;
    }
    std::u16string GetPageSource(const std::u16string& url) override {
        auto page = network_.GetPageSource(url);
        kavrel::win32::bench::Mark("download done");
        return page;
    }

private:
    kavrel::win32::Module1 network_;
};
#else
using MarkedNetwork = kavrel::win32::Module1;
#endif

int Run(HINSTANCE instance, int show) {
    MarkedNetwork network;
    const kavrel::RateRequestSettings settings{kavrel::text::WidenAscii(KAVREL_CONFIGURED_RATE_SERVICE),
                                               kavrel::win32::UserDecimalSeparator()};
    // The first question to the display: under Wine this connects the display driver.
    const int dpi = ScreenDpi();
    kavrel::win32::bench::Mark("screen DPI read");
    kavrel::win32::Form1 form(
        instance, dpi,
        [&](double amount, const std::u16string& from, const std::u16string& to) {
            return kavrel::GetCD(amount, from, to, settings, network);
        },
        [] { ExitProcess(0); });
    kavrel::win32::bench::Mark("Form1 made and loaded");
    form.Show(show);
    kavrel::win32::bench::Mark("shown and updated");
    // Once the window is up, and not by it: a process started any earlier held
    // the window's start-up back under Wine, even from a thread of its own.
    const kavrel::win32::RateServiceLaunch rateService(settings.serviceBase);
    kavrel::win32::bench::Mark("rate service launch begun");
    return kavrel::win32::RunMessageLoop(form.Handle());
}

}  // namespace

#if defined(__GLIBCXX__)
// What std::terminate calls (an exception thrown through noexcept, or while
// another unwinds): the program's own end on a fault. The library's handler
// would print the exception's demangled type to a console this program does
// not have, and brings the whole C++ name demangler with it (about 45 KB).
namespace __gnu_cxx {
void __verbose_terminate_handler() { kavrel::win32::EndProgramOnFault("terminate called"); }
}  // namespace __gnu_cxx
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    kavrel::win32::bench::Mark("WinMain");
    try {
        return Run(instance, show);
    } catch (const kavrel::RunTimeError& error) {
        // The program's own errors, the type Form_Load traps: here the window
        // could not be made, and the program ends as on any other fault.
        kavrel::win32::EndProgramOnFault(error.what());
    } catch (const std::exception& error) {
        kavrel::win32::EndProgramOnFault(error.what());  // a programming fault
    }
}
