#include "app/windows/run_windowed.h"

#include <signal.h>

#include <QApplication>
#include <cstdlib>

#include "app/windows/close_signals.h"
#include "app/windows/main_window.h"
#include "app/windows/qt_event_loop.h"
#include "app/windows/settings_dialog.h"

namespace vantrel {
namespace {

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool DisplayAvailable() {
  return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
         EnvironmentSet("QT_QPA_PLATFORM");
}

int RunWindowed(const std::string& home, int& argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vantrel");
  // The window hides into the tray; only closing it ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  QtEventLoop loop;
  int exit_code = 0;
  {
    MainWindow window(home, loop);
    loop.SetOnError([&window](const std::string& message) { window.ShowError(message); });
    // Ctrl+C or a kill: closed as by the window's close button.
    CloseSignals close_signals([&window] { window.CloseWhenDialogsAreGone(); });
    // Program start: the main window and the about box exist; the settings
    // dialog is made next, then the gateway starts (loading the settings)
    // and the window is shown.
    SettingsDialog settings(window.GetGateway().Settings(), &window);
    window.SetSettingsOpener([&settings](QWidget*, QPoint position) {
      settings.move(position);
      settings.exec();
    });
    window.Start();
    exit_code = QApplication::exec();
    // Connection threads that still wait on the main thread are let go
    // before the gateway waits for them.
    loop.Quit();
  }
  return exit_code;
}

}  // namespace vantrel
