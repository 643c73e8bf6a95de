// The window tests run under one QApplication, on Qt's offscreen platform
// unless the environment names another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "script/library/built_in_libraries.h"

// Qt and GLib (its event dispatcher on a real display) are not built with
// ThreadSanitizer: the synchronisation inside them (Qt's thread pool for font
// and image loading, GLib's wake-up descriptors) is invisible to it, so their
// threads' work looks like races. Races with no frame of theirs are still
// reported.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libglib-2.0.so\n"
         "called_from_lib:libQt6Core.so\ncalled_from_lib:libQt6Gui.so\n"
         "called_from_lib:libglib-2.0.so\n";
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
