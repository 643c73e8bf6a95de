#include "app/windows/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <exception>

#include "app/windows/about_box.h"
#include "app/windows/log_view.h"
#include "app/windows/qt_script_dialogs.h"

namespace vantrel {
namespace {

constexpr const char* kMessageTitle = "Vantrel";
constexpr const char* kHelpFile = "vantrel.chm";
constexpr const char* kHtmlHelp = "/help/index.html";

// The program's icon: a green tile with a white V.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(QColor(0, 128, 0));
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(24);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, "V");
  return QIcon(pixmap);
}

}  // namespace

MainWindow::MainWindow(std::string home, EventLoop& main_loop)
    : gateway_(std::move(home), main_loop, *this),
      url_opener_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  // The page scripter's remaining dialog functions (InputQuery) ask at the
  // server's screen, on the GUI thread.
  InstallQtScriptDialogs(gateway_.wbscripter(), main_loop);
  setWindowTitle(kCaption);
  setWindowIcon(ProgramIcon());
  lbLog_ = new LogView(this);
  lbLog_->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(lbLog_);
  lbLog_->Follow(gateway_.Log());
  CreateActions();
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // Not resizable.
  about_box_ = new AboutBox(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateActions() {
  QMenuBar* MainMenu1 = menuBar();
  Activate1_ = MainMenu1->addAction("Start");
  connect(Activate1_, &QAction::triggered, this, &MainWindow::Activate1Click);
  connect(MainMenu1->addAction("Settings"), &QAction::triggered, this, &MainWindow::Settings1Click);
  connect(MainMenu1->addAction("Start browser"), &QAction::triggered, this,
          &MainWindow::Startbrowser1Click);
  connect(MainMenu1->addAction("About"), &QAction::triggered, this, &MainWindow::About1Click);
  connect(MainMenu1->addAction("Help"), &QAction::triggered, this, &MainWindow::Help1Click);
}

void MainWindow::CreateTrayIcon() {
  PopupMenu1_ = new QMenu(this);
  connect(PopupMenu1_->addAction("Show"), &QAction::triggered, this, &MainWindow::Show1Click);
  TrayIcon1_ = new QSystemTrayIcon(windowIcon(), this);
  TrayIcon1_->setToolTip(kTrayToolTip);
  TrayIcon1_->setContextMenu(PopupMenu1_);  // The right button.
  connect(TrayIcon1_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Trigger) return;
            activateWindow();
            PopupMenu1_->popup(QCursor::pos());
          });
}

void MainWindow::Start() {
  gateway_.Start();
  adjustSize();
  if (const QScreen* desktop = screen()) {
    move(desktop->availableGeometry().center() - rect().center());
  }
  if (start_minimized_) {
    showMinimized();
    MinimizeToTray();
  } else {
    show();
  }
}

void MainWindow::Activate1Click() {
  try {
    gateway_.acActivateExecute();
  } catch (const std::exception& error) {  // Stopping failed: the general error report.
    ShowError(error.what());
  }
}

void MainWindow::Settings1Click() {
  if (gateway_.Active()) return;
  // The settings dialog (SettingsDialog) plugs in here through SetSettingsOpener.
  if (settings_opener_) settings_opener_(this, DialogPosition());
}

void MainWindow::Startbrowser1Click() {
  if (!gateway_.Active()) {
    ShowMessage(kStartServerFirst);
    return;
  }
  url_opener_(QUrl(QString("http://127.0.0.1:%1").arg(gateway_.HTTPServer().DefaultPort())));
}

void MainWindow::About1Click() {
  about_box_->move(DialogPosition());
  about_box_->exec();
}

void MainWindow::Help1Click() {
  const QString help_file = QString::fromStdString(gateway_.Home()) + "/" + kHelpFile;
  const QString help_page = QString::fromStdString(gateway_.WebDirectory()) + kHtmlHelp;
  url_opener_(QUrl::fromLocalFile(QFileInfo::exists(help_file) ? help_file : help_page));
}

void MainWindow::Show1Click() {
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::CloseWhenDialogsAreGone() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    // Its event loop is further down this thread's stack; the close waits
    // until that loop has returned.
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    QTimer::singleShot(kDialogCloseWaitMs, this, &MainWindow::CloseWhenDialogsAreGone);
    return;
  }
  close();
}

void MainWindow::ShowMessage(const std::string& text) {
  QMessageBox::information(this, kMessageTitle, QString::fromStdString(text));
}

void MainWindow::ShowError(const std::string& text) {
  QMessageBox::critical(this, kMessageTitle, QString::fromStdString(text));
}

void MainWindow::SetActivateCaption(const std::string& caption) {
  Activate1_->setText(QString::fromStdString(caption));
}

void MainWindow::Minimize() {
  if (isVisible()) {
    showMinimized();
  } else {
    start_minimized_ = true;  // Start shows the window minimised.
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) gateway_.MainWindowShown();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    // Hiding inside the state change confuses some window managers.
    QTimer::singleShot(0, this, &MainWindow::MinimizeToTray);
  }
}

void MainWindow::MinimizeToTray() {
  if (!isMinimized() || !QSystemTrayIcon::isSystemTrayAvailable()) return;
  if (TrayIcon1_ == nullptr) CreateTrayIcon();
  TrayIcon1_->show();
  hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  try {
    gateway_.FormCloseQuery();
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
  if (TrayIcon1_ != nullptr) TrayIcon1_->hide();
  event->accept();
  QApplication::quit();
}

}  // namespace vantrel
