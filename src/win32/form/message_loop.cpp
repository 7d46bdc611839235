#include "win32/form/message_loop.h"

#include <optional>

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
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchThroughDialog(dialog, message);
    return static_cast<int>(message.wParam);
}

}  // namespace kavrel::win32
