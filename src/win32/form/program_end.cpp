#include "win32/form/program_end.h"

#include <string>

namespace kavrel::win32 {

void EndProgramOnFault(std::string_view reason) noexcept {
    try {
        // Widened byte by byte: the reason is the program's own ASCII text.
        std::wstring line = L"Kavrel ends: ";
        for (const char c : reason) line += static_cast<wchar_t>(static_cast<unsigned char>(c));
        line += L'\n';
        OutputDebugStringW(line.c_str());
    } catch (...) {
        OutputDebugStringW(L"Kavrel ends\n");  // no memory left for the reason
    }
    ExitProcess(kFaultExitCode);
}

}  // namespace kavrel::win32
