#include "window/help_and_version.h"

#include <QStringList>

#include <cstdio>

namespace shelvo {

std::optional<int> answer_help_or_version(QCommandLineParser& parser, int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // Qt's own options (-platform xcb, -reverse) are unknown to this parser and
  // are left for the application object: read as long options, none of their
  // letters is taken for -h or -v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.parse(arguments);
  QString text;
  // --help-all lists Qt's own options too, which only the application object
  // knows: it is left to process(), with a display.
  if (parser.isSet(QStringLiteral("help")))
    // Without the application object the parser cannot know the program's name.
    text = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("shelvo"));
  else if (parser.isSet(QStringLiteral("version")))
    text = QStringLiteral("shelvo " SHELVO_VERSION "\n");
  else
    return std::nullopt;
  const QByteArray bytes = text.toLocal8Bit();
  const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
                           static_cast<std::size_t>(bytes.size()) &&
                       std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

} // namespace shelvo
