// Catalog text as the screen shows it: Windows-1252 to Qt's text, the byte that
// stands for a character the catalog cannot hold as U+FFFD, other control
// characters as '?'. The tree, the status line, the drive list and the name
// sort all read names through it.
#pragma once

#include <QString>
#include <string_view>

namespace shelvo {

QString to_screen(std::string_view cp1252_text);

} // namespace shelvo
