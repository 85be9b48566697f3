// What the window's test programs share: finding a control by its name, and the
// main of a test program (a runtime directory of its own, settings in a
// temporary place, the offscreen platform).
#pragma once

#include <QApplication>
#include <QTest>

#include <cstdlib>

#include "support/test_support.h"

namespace shelvo::testing {

// A control of the window by its objectName; no test can go on without it.
template <class T> T* control(QWidget* window, const char* name) {
  T* w = window->findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no control %s", name);
  return w;
}

} // namespace shelvo::testing

#define SHELVO_WINDOW_TEST_MAIN(TestClass)                                                                          \
  int main(int argc, char** argv) {                                                                                \
    shelvo::testing::TempDir runtime;                                                                              \
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);                                                         \
    ::setenv("XDG_CONFIG_HOME", (runtime / "config").c_str(), 1); /* each test starts without settings */           \
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);                                                                    \
    QApplication app(argc, argv);                                                                                   \
    TestClass test;                                                                                                 \
    return QTest::qExec(&test, argc, argv);                                                                         \
  }
