// Text at the boundary of the Windows API: host paths are UTF-8 inside Shelvo
// and UTF-16 in every call of the system's wide-character API; the system's
// error codes become errno values, so callers report both hosts alike.
#pragma once

#include <string>
#include <string_view>

namespace shelvo {

// UTF-16 of UTF-8 text (bytes that are not UTF-8 become U+FFFD).
std::wstring wide_of(std::string_view utf8);
// UTF-8 of UTF-16 text. A lone surrogate, which no UTF-8 can hold, becomes
// U+FFFD: such a name is seen, but cannot be opened by that spelling.
std::string utf8_of(std::wstring_view wide);
// The errno value nearest to a Windows error code (GetLastError()).
int errno_of_windows_error(unsigned long error);
// errno set from GetLastError(); returns false, for "return fail();".
bool fail_with_last_error();

} // namespace shelvo
