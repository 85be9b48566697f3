// ASCII upper-casing: a-z to A-Z, every other byte as it is. Drive letters and
// option letters are read so, and catalog names are upper-cased so before the
// fold; no locale ever changes it.
#pragma once

namespace shelvo {

constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace shelvo
