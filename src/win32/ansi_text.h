#pragma once
// The program's 16-bit text at the system's 8-bit interfaces, which take and
// give text in the system's ANSI code page.
#include <string>
#include <string_view>

namespace kavrel::win32 {

std::string Ansi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);

}  // namespace kavrel::win32
