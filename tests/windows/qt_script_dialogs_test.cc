#include "app/windows/qt_script_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/windows/main_window.h"
#include "app/windows/qt_event_loop.h"
#include "script/library/dialog_library.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

// A page's InputQuery runs on a connection thread: the window's dialog must
// open on the GUI thread and its answer reach the waiting thread.
TEST(QtScriptDialogsTest, InputQueryFromAnotherThreadReturnsWhatWasTypedOnTheGuiThread) {
  test::TempDir dir;
  dir.Write("config.ini", "AutoActivate=no\r\n");
  QtEventLoop loop;
  MainWindow window(dir.Path(), loop);
  auto* library =
      dynamic_cast<DialogLibrary*>(window.GetGateway().wbscripter().FindLibrary("Internal"));
  ASSERT_NE(library, nullptr);

  QString prompt;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    prompt = dialog->labelText();
    dialog->setTextValue("typed");
    dialog->accept();
  });
  answerer.start(10);

  std::string value = "old";
  bool accepted = false;
  std::atomic<bool> done{false};
  std::thread script([&] {
    accepted = library->Dialogs().InputQuery("Caption", "Your name", value);
    done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  if (!done) loop.Quit();  // Lets the thread go rather than hang the test.
  script.join();
  EXPECT_TRUE(accepted);
  EXPECT_EQ(value, "typed");
  EXPECT_EQ(prompt, "Your name");
}

}  // namespace
}  // namespace vantrel
