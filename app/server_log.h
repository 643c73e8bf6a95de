// The server log: the text the main window shows, and optionally the log
// file web/log.txt beside it.
//
// Every line goes through WriteLog under one lock, so lines never
// interleave and the window text, the observers and the file receive them
// in the same order. Any thread may write.
#ifndef VANTREL_APP_SERVER_LOG_H_
#define VANTREL_APP_SERVER_LOG_H_

#include <cstddef>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vantrel {

class ServerLog {
 public:
  // Text longer than this is emptied before the next line is added.
  static constexpr std::size_t kMaxTextLength = 60000;
  // The picture of the time stamp that starts every logged line.
  static constexpr const char* kTimeStampPicture = "mmm d, yyyy \";\" hh:mm ";
  static constexpr const char* kNotSavedPrefix = "Not saved to file: ";

  // Called with each line added to the text, under the log lock: observers
  // must not write to the log themselves.
  using LineObserver = std::function<void(const std::string& line)>;

  // `log_file_path` is where AppendLogFile appends; `log_to_file` is asked
  // at every line whether to append (it reads the "Log to file" switch).
  ServerLog(std::string log_file_path, std::function<bool()> log_to_file);

  // Adds the time stamp and `message` as one line (its control characters
  // escaped), trimming the text first and appending the line to the log
  // file when logging to file is on.
  void WriteLog(std::string_view message);

  // Adds `line` as it is: no time stamp, not written to the file.
  void AddPlainLine(std::string_view line);

  // The current time stamp, for example "Dec 6, 2026 ; 19:34 ".
  static std::string TimeStamp();

  // The text of the log window: its lines joined by CR LF.
  std::string Text() const;

  // Observers of added lines and of the emptying of the text. Set them
  // before the log is shared between threads.
  void SetOnLine(LineObserver observer) { on_line_ = std::move(observer); }
  void SetOnClear(std::function<void()> observer) { on_clear_ = std::move(observer); }

 private:
  // Appends `line` and CR LF to the log file when logging to file is on; a
  // failure adds one "Not saved to file: " line to the text instead. Called
  // with mutex_ held.
  void AppendLogFile(const std::string& line);
  // The time stamp of this minute. Called with mutex_ held.
  const std::string& CurrentTimeStamp();
  // Adds one line to the text and tells the observer. Called with mutex_ held.
  void AddLine(const std::string& line);

  const std::string log_file_path_;
  const std::function<bool()> log_to_file_;
  mutable std::mutex mutex_;       // The log lock.
  std::string text_;               // Guarded by mutex_; lines joined by CR LF.
  bool has_lines_ = false;         // Guarded by mutex_; text_ holds at least one line.
  std::time_t stamp_minute_ = -1;  // Guarded by mutex_; the minute stamp_ was made in.
  std::string stamp_;              // Guarded by mutex_.
  LineObserver on_line_;
  std::function<void()> on_clear_;
};

}  // namespace vantrel

#endif  // VANTREL_APP_SERVER_LOG_H_
