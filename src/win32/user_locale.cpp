#include "win32/user_locale.h"

#include <windows.h>

namespace kavrel::win32 {

char16_t UserDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1)
        return static_cast<char16_t>(separator[0]);
    return u'.';
}

}  // namespace kavrel::win32
