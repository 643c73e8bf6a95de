// Pictures of the windows for a person to look at: saved as PNG files into
// the directory named by VANTREL_SCREENSHOT_DIR (the build's test-artifacts
// folder when ctest runs them under Xvfb with trayer as the system tray);
// skipped when it is not set.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/windows/about_box.h"
#include "app/windows/main_window.h"
#include "app/windows/qt_event_loop.h"
#include "app/windows/settings_dialog.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

constexpr int kTrayWaitMs = 5000;
constexpr const char* kSettingsFile =
    "AutoActivate=no\r\nAutoMinimize=no\r\nServer port=0\r\nUse session=no\r\n"
    "Session expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=kelp\r\n"
    "Log to file=no\r\nPHP path=/usr/bin/php-cgi\r\n";

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* directory = std::getenv("VANTREL_SCREENSHOT_DIR");
    if (directory == nullptr) GTEST_SKIP() << "VANTREL_SCREENSHOT_DIR is not set";
    directory_ = directory;
    std::filesystem::create_directories(directory_);
    home_.Write("config.ini", kSettingsFile);
  }

  static void Settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
  }

  void SavePicture(QWidget& widget, const std::string& name) {
    Settle();
    EXPECT_TRUE(widget.grab().save(Path(name))) << name;
  }

  QString Path(const std::string& name) const {
    return QString::fromStdString(directory_ + "/" + name);
  }

  // Runs the event loop until `done` holds; false after kTrayWaitMs.
  template <typename Condition>
  static bool WaitFor(Condition done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > kTrayWaitMs) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
  }

  static QPixmap ScreenArea(const QRect& area) {
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                        area.height());
  }

  // True when every pixel of `picture` has one colour (or it is empty).
  static bool IsPlain(const QPixmap& picture) {
    const QImage image = picture.toImage();
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != image.pixel(0, 0)) return false;
      }
    }
    return true;
  }

  std::string directory_;
  test::TempDir home_;
  QtEventLoop loop_;
};

TEST_F(ScreenshotTest, SavesTheMainWindowTheSettingsDialogAndTheAboutBox) {
  MainWindow window(home_.Path(), loop_);
  window.GetGateway().WriteLog("Command GET / received from 127.0.0.1:50000");
  window.Start();
  SavePicture(window, "main_window.png");
  EXPECT_EQ(window.centralWidget()->size(),
            QSize(MainWindow::kClientWidth, MainWindow::kClientHeight));

  SettingsDialog settings(window.GetGateway().Settings(), &window);
  settings.show();
  settings.VLE()->setCurrentCell(9, 1);
  SavePicture(settings, "settings.png");
  settings.close();

  AboutBox about;
  about.show();
  SavePicture(about, "about_box.png");
  EXPECT_EQ(about.size(), QSize(AboutBox::kWidth, AboutBox::kHeight));
}

TEST_F(ScreenshotTest, MinimisingHidesTheWindowInTheTray) {
  if (!WaitFor(&QSystemTrayIcon::isSystemTrayAvailable))
    GTEST_SKIP() << "no system tray on this display";
  MainWindow window(home_.Path(), loop_);
  window.Start();
  Settle();
  window.showMinimized();
  Settle();
  EXPECT_FALSE(window.isVisible());
  const auto* tray_icon = window.findChild<QSystemTrayIcon*>();
  ASSERT_NE(tray_icon, nullptr);
  EXPECT_TRUE(tray_icon->isVisible());
  EXPECT_EQ(tray_icon->toolTip(), MainWindow::kTrayToolTip);
  // The tray embeds and paints the icon in its own time.
  EXPECT_TRUE(WaitFor([tray_icon] { return !IsPlain(ScreenArea(tray_icon->geometry())); }));
  // The screen's bottom-right corner, where trayer shows the icon.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(ScreenArea(QRect(screen.bottomRight() - QPoint(239, 59), QSize(240, 60)))
                  .save(Path("tray.png")));

  window.Show1Click();
  Settle();
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace vantrel
