#include "app/windows/qt_script_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <vector>

#include "script/library/dialog_library.h"
#include "script/scripter/custom_scripter.h"

namespace vantrel {
namespace {

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// MsgBox's button sets (the low four bits of its flags), in button order.
std::vector<ScriptDialogs::Button> ButtonSet(int buttons) {
  using B = ScriptDialogs::Button;
  switch (buttons & 0x0F) {
    case 1:
      return {B::kOk, B::kCancel};
    case 2:
      return {B::kAbort, B::kRetry, B::kIgnore};
    case 3:
      return {B::kYes, B::kNo, B::kCancel};
    case 4:
      return {B::kYes, B::kNo};
    case 5:
      return {B::kRetry, B::kCancel};
    default:
      return {B::kOk};
  }
}

QMessageBox::StandardButton ToQt(ScriptDialogs::Button button) {
  switch (button) {
    case ScriptDialogs::kCancel:
      return QMessageBox::Cancel;
    case ScriptDialogs::kAbort:
      return QMessageBox::Abort;
    case ScriptDialogs::kRetry:
      return QMessageBox::Retry;
    case ScriptDialogs::kIgnore:
      return QMessageBox::Ignore;
    case ScriptDialogs::kYes:
      return QMessageBox::Yes;
    case ScriptDialogs::kNo:
      return QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

// MsgBox's icon flags (16 critical, 32 question, 48 exclamation, 64
// information).
QMessageBox::Icon IconOf(int buttons) {
  switch (buttons & 0x70) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Runs the message box on the GUI thread; the button pressed, or the
// button closing the box stands for when it is closed otherwise.
int ExecMessageBox(std::string_view prompt, int buttons, std::string_view title) {
  QMessageBox box(IconOf(buttons), ToQt(title), ToQt(prompt));
  const std::vector<ScriptDialogs::Button> set = ButtonSet(buttons);
  const auto default_index = static_cast<size_t>((buttons >> 8) & 0x03);
  for (size_t i = 0; i < set.size(); ++i) {
    QPushButton* button = box.addButton(ToQt(set[i]));
    if (i == default_index) box.setDefaultButton(button);
  }
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  for (const ScriptDialogs::Button button : set) {
    if (clicked == box.button(ToQt(button))) return button;
  }
  return set.size() == 1 ? set.front() : ScriptDialogs::kCancel;
}

}  // namespace

void QtScriptDialogs::ShowMessage(std::string_view text) {
  const bool shown = gui_loop_.Invoke(
      [text] { QMessageBox::information(nullptr, QApplication::applicationName(), ToQt(text)); });
  if (!shown) closed_.ShowMessage(text);
}

bool QtScriptDialogs::InputQuery(std::string_view caption, std::string_view prompt,
                                 std::string& value) {
  bool accepted = false;
  QString edited;
  const bool shown = gui_loop_.Invoke([&] {
    edited = QInputDialog::getText(nullptr, ToQt(caption), ToQt(prompt), QLineEdit::Normal,
                                   ToQt(value), &accepted);
  });
  if (!shown) return closed_.InputQuery(caption, prompt, value);
  if (accepted) value = edited.toStdString();
  return accepted;
}

int QtScriptDialogs::MessageBox(std::string_view prompt, int buttons, std::string_view title) {
  int pressed = 0;
  const bool shown = gui_loop_.Invoke([&] { pressed = ExecMessageBox(prompt, buttons, title); });
  return shown ? pressed : closed_.MessageBox(prompt, buttons, title);
}

void QtScriptDialogs::Beep() {
  gui_loop_.Post([] { QApplication::beep(); });
}

void InstallQtScriptDialogs(CustomScripter& scripter, EventLoop& gui_loop) {
  auto dialogs = std::make_shared<QtScriptDialogs>(gui_loop);
  for (const char* name : {"Internal", "VBScript"}) {
    if (auto* library = dynamic_cast<DialogLibrary*>(scripter.FindLibrary(name))) {
      library->SetDialogs(dialogs);
    }
  }
}

}  // namespace vantrel
