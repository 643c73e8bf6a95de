#include "app/windows/log_view.h"

#include <QMetaObject>
#include <QScrollBar>
#include <utility>

#include "app/server_log.h"
#include "base/string_list.h"

namespace vantrel {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void LogView::Follow(ServerLog& log) {
  StringList lines;
  lines.SetText(log.Text());
  clear();
  for (const std::string& line : lines) appendPlainText(QString::fromStdString(line));
  log.SetOnLine([this](const std::string& line) { TakeLine(line); });
  log.SetOnClear([this] { TakeClear(); });
}

void LogView::TakeLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  pending_.push_back(line);
  QueueShowing();
}

void LogView::TakeClear() {
  std::lock_guard lock(mutex_);
  pending_.clear();  // These lines were emptied away before anyone saw them.
  cleared_ = true;
  QueueShowing();
}

void LogView::QueueShowing() {
  if (showing_queued_) return;
  showing_queued_ = true;
  // Queued to this widget: dropped unrun if the view goes first.
  QMetaObject::invokeMethod(
      this, [this] { ShowPending(); }, Qt::QueuedConnection);
}

void LogView::ShowPending() {
  std::vector<std::string> lines;
  bool cleared = false;
  {
    std::lock_guard lock(mutex_);
    lines = std::exchange(pending_, {});
    cleared = std::exchange(cleared_, false);
    showing_queued_ = false;
  }
  if (cleared) clear();
  for (const std::string& line : lines) appendPlainText(QString::fromStdString(line));
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace vantrel
