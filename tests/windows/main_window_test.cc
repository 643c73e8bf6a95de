#include "app/windows/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/windows/close_signals.h"
#include "app/windows/qt_event_loop.h"
#include "tests/support/ports.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindow& MakeWindow(const std::string& config) {
    dir_.Write("config.ini", config);
    dir_.Write("web/index.html", "<html></html>");
    window_ = std::make_unique<MainWindow>(dir_.Path(), loop_);
    window_->GetGateway().HTTPServer().SetTerminateWaitTime(1000);
    window_->SetUrlOpener([this](const QUrl& url) { opened_.push_back(url.toString()); });
    window_->SetSettingsOpener([this](QWidget*, QPoint) { ++settings_opened_; });
    window_->Start();
    return *window_;
  }

  QAction* MenuItem(const char* caption) {
    for (QAction* action : window_->menuBar()->actions()) {
      if (action->text() == caption) return action;
    }
    ADD_FAILURE() << "no menu item " << caption;
    return nullptr;
  }

  // Triggers `action` and answers the message box it opens; returns the
  // box's text, or "" when none opened.
  std::string TriggerAnsweringMessage(QAction* action) {
    std::string text;
    QTimer::singleShot(0, [&text] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text().toStdString();
        box->accept();
      }
    });
    action->trigger();
    return text;
  }

  std::string LastLogLine() {
    const std::string text = window_->GetGateway().Log().Text();
    return text.substr(text.rfind('\n') + 1);
  }

  test::TempDir dir_;
  QtEventLoop loop_;
  std::unique_ptr<MainWindow> window_;
  std::vector<QString> opened_;
  int settings_opened_ = 0;
};

TEST_F(MainWindowTest, MenuStartsAndStopsTheServerAndGuardsSettingsAndBrowser) {
  const int port = test::FreePort();
  MainWindow& window = MakeWindow("Server port=" + std::to_string(port) + "\r\n");
  QAction* activate = MenuItem("Start");
  ASSERT_NE(activate, nullptr);

  EXPECT_EQ(TriggerAnsweringMessage(MenuItem("Start browser")), MainWindow::kStartServerFirst);
  EXPECT_THAT(opened_, IsEmpty());

  activate->trigger();
  EXPECT_TRUE(window.GetGateway().Active());
  EXPECT_EQ(activate->text(), "Stop");
  EXPECT_THAT(LastLogLine(), HasSubstr("Authentication is off: anyone who can reach port " +
                                       std::to_string(port)));
  MenuItem("Settings")->trigger();
  EXPECT_EQ(settings_opened_, 0);
  MenuItem("Start browser")->trigger();
  EXPECT_EQ(opened_, std::vector<QString>{QString("http://127.0.0.1:%1").arg(port)});

  activate->trigger();
  EXPECT_FALSE(window.GetGateway().Active());
  EXPECT_EQ(activate->text(), "Start");
  EXPECT_THAT(LastLogLine(), EndsWith("Stop listening, com port closed."));
  MenuItem("Settings")->trigger();
  EXPECT_EQ(settings_opened_, 1);
}

TEST_F(MainWindowTest, ClosingTheWindowStopsARunningServer) {
  const int port = test::FreePort();
  MainWindow& window =
      MakeWindow("AutoActivate=yes\r\nServer port=" + std::to_string(port) + "\r\n");
  ASSERT_TRUE(window.GetGateway().Active());
  window.close();
  EXPECT_FALSE(window.GetGateway().Active());
  EXPECT_FALSE(test::CanConnect(port));
}

// The gateway asks to minimise during its start, before the window was
// ever shown: the first showing must still be minimised.
TEST_F(MainWindowTest, AutoMinimizeAtStartLeavesTheWindowMinimizedWithTheServerActive) {
  const int port = test::FreePort();
  MainWindow& window = MakeWindow(
      "AutoActivate=yes\r\nAutoMinimize=yes\r\nServer port=" + std::to_string(port) + "\r\n");
  QApplication::processEvents();  // The move into the tray is queued.
  EXPECT_TRUE(window.GetGateway().Active());
  EXPECT_TRUE(test::CanConnect(port));
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_FALSE(window.isVisible());
  } else {
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
  }
}

// A kill arriving while a modal dialog is open must still close in order:
// the dialog is turned down first, then the server stops.
TEST_F(MainWindowTest, TermSignalStopsTheServerEvenWithAModalDialogOpen) {
  const int port = test::FreePort();
  MainWindow& window =
      MakeWindow("AutoActivate=yes\r\nServer port=" + std::to_string(port) + "\r\n");
  ASSERT_TRUE(window.GetGateway().Active());
  CloseSignals close_signals([&window] { window.CloseWhenDialogsAreGone(); });
  QTimer::singleShot(0, [] { raise(SIGTERM); });
  bool left_open = false;  // The box was still up long after the signal.
  QTimer::singleShot(5000, &window, [&left_open] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      left_open = true;
      dialog->reject();
    }
  });
  window.About1Click();  // Modal until the signal turns it down.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (window.GetGateway().Active() && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  EXPECT_FALSE(window.GetGateway().Active());
  EXPECT_FALSE(test::CanConnect(port));
  EXPECT_FALSE(left_open);
}

// Lines written by several threads at once, enough to be trimmed several
// times, must show in the window exactly as the log holds them.
TEST_F(MainWindowTest, LogWindowShowsLinesFromEveryThreadInLogOrderAfterTrims) {
  MainWindow& window = MakeWindow("");
  Gateway& gateway = window.GetGateway();
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&gateway, t] {
      for (int i = 0; i < 400; ++i) {
        gateway.WriteLog("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                         std::string(60, 'x'));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();

  QString expected = QString::fromStdString(gateway.Log().Text());
  expected.replace("\r\n", "\n");
  const auto* view = window.findChild<QPlainTextEdit*>();
  ASSERT_NE(view, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (view->toPlainText() != expected && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents();
  }
  EXPECT_EQ(view->toPlainText(), expected);
  EXPECT_LT(expected.size(), 61000);  // Trimmed: 4 x 400 lines hold far more.
}

}  // namespace
}  // namespace vantrel
