#include "app/server_log.h"

#include <ctime>

#include "base/ascii.h"
#include "base/date_time.h"
#include "base/date_time_format.h"
#include "base/text_file.h"

namespace vantrel {

ServerLog::ServerLog(std::string log_file_path, std::function<bool()> log_to_file)
    : log_file_path_(std::move(log_file_path)), log_to_file_(std::move(log_to_file)) {}

std::string ServerLog::TimeStamp() { return FormatDateTime(kTimeStampPicture, Now()); }

const std::string& ServerLog::CurrentTimeStamp() {
  // The stamp shows minutes, and the local time's offset changes only on
  // whole minutes: one stamp serves every line of the same minute.
  const std::time_t minute = std::time(nullptr) / 60;
  if (minute != stamp_minute_) {
    stamp_ = TimeStamp();
    stamp_minute_ = minute;
  }
  return stamp_;
}

void ServerLog::WriteLog(std::string_view message) {
  std::lock_guard lock(mutex_);
  const std::string& stamp = CurrentTimeStamp();
  std::string line;
  line.reserve(stamp.size() + message.size() + 16);  // Room for a few escapes.
  line.append(stamp);
  // Messages carry text from clients and pages: one message stays one line.
  AppendEscapingControlCharacters(line, message);
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
    AddLine(CurrentTimeStamp() + kNotSavedPrefix + line);
  }
}

void ServerLog::AddLine(const std::string& line) {
  if (has_lines_) text_ += "\r\n";
  text_ += line;
  has_lines_ = true;
  if (on_line_) on_line_(line);
}

}  // namespace vantrel
