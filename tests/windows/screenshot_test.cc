// Pictures of the windows for a person to look at: saved as PNG files into
// the directory named by VANTREL_SCREENSHOT_DIR (the build's test-artifacts
// folder when run under Xvfb by ctest); skipped when it is not set.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/windows/about_box.h"
#include "app/windows/main_window.h"
#include "app/windows/qt_event_loop.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

void SavePicture(QWidget& widget, const std::string& path) {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  EXPECT_TRUE(widget.grab().save(QString::fromStdString(path))) << path;
}

TEST(ScreenshotTest, SavesTheMainWindowAndTheAboutBox) {
  const char* directory = std::getenv("VANTREL_SCREENSHOT_DIR");
  if (directory == nullptr) GTEST_SKIP() << "VANTREL_SCREENSHOT_DIR is not set";
  std::filesystem::create_directories(directory);
  test::TempDir home;
  home.Write("config.ini", "Server port=0\r\n");
  QtEventLoop loop;
  MainWindow window(home.Path(), loop);
  window.GetGateway().WriteLog("Command GET / received from 127.0.0.1:50000");
  window.Start();
  SavePicture(window, std::string(directory) + "/main_window.png");
  EXPECT_EQ(window.centralWidget()->size(),
            QSize(MainWindow::kClientWidth, MainWindow::kClientHeight));

  AboutBox about;
  about.show();
  SavePicture(about, std::string(directory) + "/about_box.png");
  EXPECT_EQ(about.size(), QSize(AboutBox::kWidth, AboutBox::kHeight));
}

}  // namespace
}  // namespace vantrel
