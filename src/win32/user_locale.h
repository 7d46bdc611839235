#pragma once
// The user's locale as far as the program reads it.

namespace kavrel::win32 {

// The decimal separator of the user's locale, which the amount in the request
// carries; "." when the locale names none.
char16_t UserDecimalSeparator();

}  // namespace kavrel::win32
