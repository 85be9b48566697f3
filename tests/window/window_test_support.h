// What the window's test programs share: finding a control by its name, and the
// main of a test program (a runtime directory of its own, settings in a
// temporary place, the offscreen platform with a desktop's screen).
#pragma once

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/test_support.h"

namespace shelvo::testing {

// A control of the window by its objectName; no test can go on without it.
template <class T> T* control(QWidget* window, const char* name) {
  T* w = window->findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no control %s", name);
  return w;
}

// The offscreen platform, unless the test runs on a real display, with the
// screen of a common desktop: its own default, 800x800, is narrower than the
// window's design.
inline void use_offscreen_desktop(const std::string& directory) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && std::string_view(platform) != "offscreen") return;
  const std::string config = directory + "/screen.json";
  write_file(config, R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1280, "height": 1024,
                                      "logicalDpi": 96}]})");
  ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
}

} // namespace shelvo::testing

#define SHELVO_WINDOW_TEST_MAIN(TestClass)                                                                          \
  int main(int argc, char** argv) {                                                                                \
    shelvo::testing::TempDir runtime;                                                                              \
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);                                                         \
    ::setenv("XDG_CONFIG_HOME", (runtime / "config").c_str(), 1); /* each test starts without settings */           \
    shelvo::testing::use_offscreen_desktop(runtime.path());                                                        \
    QApplication app(argc, argv);                                                                                   \
    TestClass test;                                                                                                 \
    return QTest::qExec(&test, argc, argv);                                                                         \
  }
