#include "win32/form/message_loop.h"

#include <optional>

#include "win32/bench_marks.h"

namespace kavrel::win32 {

void DispatchThroughDialog(HWND dialog, MSG& message) {
    if (dialog && IsDialogMessageW(dialog, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void ProcessPendingMessages(HWND dialog) {
    std::optional<WPARAM> quit;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = message.wParam;
            break;
        }
        DispatchThroughDialog(dialog, message);
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
}

int RunMessageLoop(HWND dialog) {
    MSG message;
    for (;;) {
        // Nothing left to do, paint included: the benchmark's marks go out now.
        if (bench::kMarks && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            bench::Mark("idle");
            bench::WriteMarks();
        }
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
        DispatchThroughDialog(dialog, message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace kavrel::win32
