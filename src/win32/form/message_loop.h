#pragma once
// The window's message pumps: the program's loop and the single pass that a
// retrieval makes over the messages already waiting.
#include <windows.h>

namespace kavrel::win32 {

// Keyboard navigation first (Tab, Shift+Tab, access keys), as in a dialog box;
// everything else is dispatched to its window.
void DispatchThroughDialog(HWND dialog, MSG& message);

// Dispatches the messages waiting in this thread's queue, paint included, and
// returns when it is empty. A quit request met on the way stays for the
// program's loop.
void ProcessPendingMessages(HWND dialog);

// Until the quit request; returns its exit code.
int RunMessageLoop(HWND dialog);

}  // namespace kavrel::win32
