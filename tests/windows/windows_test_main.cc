// The window tests run under one QApplication, on Qt's offscreen platform
// unless the environment names another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "script/library/built_in_libraries.h"

// Qt is not built with ThreadSanitizer: the synchronisation inside its own
// thread pool (font and image loading) is invisible to it, so its threads'
// allocations look like races. Races with no Qt frame are still reported.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\nrace:libQt6Gui.so\n"
         "called_from_lib:libQt6Core.so\ncalled_from_lib:libQt6Gui.so\n";
}

// The desktop libraries Qt loads on a real display keep some allocations for
// the life of the process; LeakSanitizer would count them as leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  vantrel::RegisterBuiltInLibraries();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
