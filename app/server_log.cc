#include "app/server_log.h"

#include "base/date_time.h"
#include "base/date_time_format.h"
#include "base/text_file.h"

namespace vantrel {

ServerLog::ServerLog(std::string log_file_path, std::function<bool()> log_to_file)
    : log_file_path_(std::move(log_file_path)), log_to_file_(std::move(log_to_file)) {}

std::string ServerLog::TimeStamp() { return FormatDateTime(kTimeStampPicture, Now()); }

void ServerLog::WriteLog(std::string_view message) {
  std::string line = TimeStamp();
  line += message;
  std::lock_guard lock(mutex_);
  if (text_.size() > kMaxTextLength) {
    text_.clear();
    has_lines_ = false;
    if (on_clear_) on_clear_();
  }
  AddLine(line);
  AppendLogFile(line);
}

void ServerLog::AddPlainLine(std::string_view line) {
  std::lock_guard lock(mutex_);
  AddLine(std::string(line));
}

std::string ServerLog::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void ServerLog::AppendLogFile(const std::string& line) {
  if (!log_to_file_ || !log_to_file_()) return;
  try {
    AppendToFile(log_file_path_, line + "\r\n");
  } catch (const FileCreateError&) {
    AddLine(TimeStamp() + kNotSavedPrefix + line);
  }
}

void ServerLog::AddLine(const std::string& line) {
  if (has_lines_) text_ += "\r\n";
  text_ += line;
  has_lines_ = true;
  if (on_line_) on_line_(line);
}

}  // namespace vantrel
