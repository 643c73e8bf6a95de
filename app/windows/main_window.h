// The main window (`MainWindow`): owns the gateway, shows its log in the
// log window, carries the five-item menu bar and, once minimised, the tray
// icon. It is the gateway's front end; every action is the gateway's own.
//
// Threads: GUI thread only; the log window takes lines from any thread.
#ifndef VANTREL_APP_WINDOWS_MAIN_WINDOW_H_
#define VANTREL_APP_WINDOWS_MAIN_WINDOW_H_

#include <QMainWindow>
#include <QPoint>
#include <QUrl>
#include <functional>
#include <string>

#include "app/front_end.h"
#include "app/gateway.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vantrel {

class AboutBox;
class LogView;

class MainWindow final : public QMainWindow, public FrontEnd {
 public:
  static constexpr const char* kCaption = "Vantrel Server";
  static constexpr int kClientWidth = 548;
  static constexpr int kClientHeight = 257;
  // The settings dialog and the about box open this far right of and below
  // the window's top-left corner.
  static constexpr int kDialogOffset = 20;
  static constexpr const char* kStartServerFirst = "Please start server first !";
  static constexpr const char* kTrayToolTip = "Vantrel";
  // How long a turned-down dialog gets to leave its event loop.
  static constexpr int kDialogCloseWaitMs = 50;

  // Opens the settings dialog modally at `position` (screen coordinates).
  using SettingsOpener = std::function<void(QWidget* parent, QPoint position)>;
  // The shell's "open" of an address or file.
  using UrlOpener = std::function<void(const QUrl& url)>;

  // Creates the gateway for program directory `home` and the log window
  // over its log. `main_loop` must outlive the window.
  MainWindow(std::string home, EventLoop& main_loop);
  ~MainWindow() override;

  Gateway& GetGateway() { return gateway_; }

  // Program start once the about box and the settings dialog exist: the
  // gateway's start (settings, "AutoActivate", "AutoMinimize"), then the
  // window is shown in the centre of the desktop.
  void Start();

  void SetSettingsOpener(SettingsOpener opener) { settings_opener_ = std::move(opener); }
  // QDesktopServices::openUrl unless replaced.
  void SetUrlOpener(UrlOpener opener) { url_opener_ = std::move(opener); }

  // The menu's actions.
  void Activate1Click();
  void Settings1Click();
  void Startbrowser1Click();
  void About1Click();
  void Help1Click();
  // The tray menu's "Show": the window comes back.
  void Show1Click();

  // Closes the window as the user does (the program then ends), first
  // turning down the modal dialogs open over it, whose answers a page or the
  // close itself may be waiting for.
  void CloseWhenDialogsAreGone();

  // FrontEnd.
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetActivateCaption(const std::string& caption) override;
  void Minimize() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateActions();
  void CreateTrayIcon();
  // Hides the window into the tray icon when the desktop has a tray.
  void MinimizeToTray();
  QPoint DialogPosition() const { return pos() + QPoint(kDialogOffset, kDialogOffset); }

  Gateway gateway_;  // Destroyed before the widgets, which its log still reaches.
  LogView* lbLog_ = nullptr;
  AboutBox* about_box_ = nullptr;
  QAction* Activate1_ = nullptr;
  QSystemTrayIcon* TrayIcon1_ = nullptr;  // Null where the desktop has no tray.
  QMenu* PopupMenu1_ = nullptr;
  bool start_minimized_ = false;  // "AutoMinimize" asked before the first showing.
  SettingsOpener settings_opener_;
  UrlOpener url_opener_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_MAIN_WINDOW_H_
