#include "window/help_and_version.h"

#include <QStringList>

#include <cstdio>

namespace shelvo {

std::optional<int> answer_before_display(QCommandLineParser& parser, int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // Qt's own options (-platform xcb, -reverse) are unknown to this parser and
  // are left for the application object: read as long options, none of their
  // letters is taken for -h or -v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Qt's own options, which the application object takes (with the values of
  // those that have one), are known here too, so that only a mistyped or
  // unknown option is refused.
  static constexpr const char* qt_with_value[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                                  "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                                  "display", "name", "title", "geometry", "style", "stylesheet",
                                                  "qmljsdebugger"};
  static constexpr const char* qt_flags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount", "visual"};
  for (const char* name : qt_with_value) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : qt_flags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  const bool parsed = parser.parse(arguments);
  if (!parsed && !parser.isSet(QStringLiteral("help")) && !parser.isSet(QStringLiteral("version"))) {
    const QByteArray error = parser.errorText().toLocal8Bit();
    std::fprintf(stderr, "shelvo: %s (shelvo --help lists the options)\n", error.constData());
    return 64;
  }
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
