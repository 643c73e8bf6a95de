// The log window (`lbLog`): a read-only view that follows the server log.
//
// The log hands each line to the view under its lock, from whatever thread
// wrote it. The view only queues the line there and asks the GUI thread to
// show the queue, so a writing thread never waits for painting; the lines
// appear in the order the log took them, and an emptying of the log's text
// (its 60000-character trim) empties the view at the same point.
#ifndef VANTREL_APP_WINDOWS_LOG_VIEW_H_
#define VANTREL_APP_WINDOWS_LOG_VIEW_H_

#include <QPlainTextEdit>
#include <mutex>
#include <string>
#include <vector>

namespace vantrel {

class ServerLog;

class LogView final : public QPlainTextEdit {
 public:
  explicit LogView(QWidget* parent = nullptr);

  // Shows the text of `log` and follows it from now on. Call on the GUI
  // thread before the log is shared between threads; `log` must not be
  // written once the view is gone.
  void Follow(ServerLog& log);

 private:
  // Any thread, under the log lock.
  void TakeLine(const std::string& line);
  void TakeClear();
  // Asks the GUI thread to show the queue unless it already has been asked.
  // Called with mutex_ held.
  void QueueShowing();
  // Shows the queued lines. GUI thread.
  void ShowPending();

  std::mutex mutex_;
  std::vector<std::string> pending_;  // Guarded by mutex_; lines not shown yet.
  bool cleared_ = false;              // Guarded by mutex_; empty the view before pending_.
  bool showing_queued_ = false;       // Guarded by mutex_.
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_LOG_VIEW_H_
