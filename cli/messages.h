// What shelvo-cli says on its own, beside the tree, the hits and the status
// line: warnings, failures, notices, questions and what a command did. Every such
// line goes through here and starts with "shelvo-cli: ", so that a script or a
// cron mail tells it from another program's words. A text of several lines gets
// the prefix on each.
#pragma once

#include <string>
#include <string_view>

namespace shelvo {

constexpr std::string_view message_prefix = "shelvo-cli: ";

// UTF-8 text (a path, an argument, a name already converted from a catalog) as
// a terminal may be given it, the rule of every line the tool writes on its
// own: each control character (C0, DEL and C1) as '?', as names show them, and
// each byte that is not part of well-formed UTF-8 as \xNN (a lone 0x9B is an
// escape sequence's start to an 8-bit terminal). A path or an argument may
// hold anything, escape sequences that would retitle or clear the terminal
// included.
std::string terminal_safe(std::string_view text);

// The text with the prefix before each of its lines (each made terminal_safe),
// without a final newline.
std::string prefixed(std::string_view text);

// Writes the text on standard error, each line prefixed, and ends the line.
void say(std::string_view text);
// The same for something the user should look at: "warning: " follows the prefix.
void warn(std::string_view text);
// A question whose answer is typed on the same line: no newline, and flushed.
void ask(std::string_view text);

} // namespace shelvo
