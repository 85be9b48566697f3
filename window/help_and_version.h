// --help and --version of the window, answered before the application object is
// made: that object needs a display, and a terminal without one (a packager's
// check, a remote shell) must still get the answer.
#pragma once

#include <QCommandLineParser>

#include <optional>

namespace shelvo {

// Reads argv with the window's parser, which has its options, the help option
// and the version option. When argv asks for help (--help, -h, -?) or the
// version (--version, -v), prints it on standard output and returns the exit
// status (1 when it could not be written); when argv holds an option that is
// neither the window's nor one of Qt's own, says so on standard error and
// returns 64; otherwise returns nothing and leaves the rest to the parser's
// process() once the application object exists.
std::optional<int> answer_before_display(QCommandLineParser& parser, int argc, char** argv);

} // namespace shelvo
