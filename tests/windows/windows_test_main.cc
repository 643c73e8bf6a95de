// The window tests run under one QApplication, on Qt's offscreen platform
// unless the environment names another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "script/library/built_in_libraries.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  vantrel::RegisterBuiltInLibraries();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
