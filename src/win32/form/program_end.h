#pragma once
// How the program ends when an error reaches a place that must not pass it on.
//
// The error policy: the program's errors are RunTimeError. Command1_Click and
// Timer1_Timer end a retrieval quietly on it and on running out of memory;
// Form_Load skips its remaining steps on it. Anything else that reaches a
// window procedure's boundary, and a RunTimeError that stops WinMain, ends the
// program here: the reason goes to the debugger's output and the process ends
// with a non-zero exit code, never silently with 0 and never by unwinding
// through the system's message dispatching.
#include <windows.h>

#include <exception>
#include <string_view>

namespace kavrel::win32 {

inline constexpr UINT kFaultExitCode = 3;

[[noreturn]] void EndProgramOnFault(std::string_view reason) noexcept;

// Runs one message's handling at a window procedure's boundary.
template <class Handling>
LRESULT AtProcedureBoundary(Handling&& handling) noexcept {
    try {
        return handling();
    } catch (const std::exception& error) {
        EndProgramOnFault(error.what());
    } catch (...) {
        EndProgramOnFault("an exception of no known type");
    }
}

}  // namespace kavrel::win32
