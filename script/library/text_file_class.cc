#include "script/library/text_file_class.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/retry_on_interrupt.h"
#include "base/system_error_text.h"
#include "script/library/in_out_error.h"

namespace vantrel {
namespace {

constexpr std::size_t kBlockSize = 16384;

}  // namespace

InOutError MakeInOutError(std::string_view what, std::string_view path, int error) {
  std::string message(what);
  message += " \"";
  message += path;
  message += "\". ";
  message += SystemErrorText(error);
  return InOutError(std::move(message), error);
}

TextFileClass::TextFileClass(std::string file_name) : file_name_(std::move(file_name)) {}

TextFileClass::~TextFileClass() {
  if (mode_ == Mode::kOutput) {
    try {
      Flush();
    } catch (...) {
      // Nobody is left to tell: the run that wrote is over.
    }
  }
  Release();
}

void TextFileClass::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  mode_ = Mode::kClosed;
  buffer_.clear();
  read_at_ = 0;
}

void TextFileClass::Open(int flags, Mode mode, std::string_view failure) {
  if (IsOpen()) Close();
  // The system would take the name only up to a zero character.
  if (file_name_.find('\0') != std::string::npos) throw MakeInOutError(failure, file_name_, EINVAL);
  int fd = RetryOnInterrupt([&] { return ::open(file_name_.c_str(), flags | O_CLOEXEC, 0666); });
  if (fd < 0) throw MakeInOutError(failure, file_name_, errno);
  fd_ = fd;
  mode_ = mode;
}

void TextFileClass::Reset() { Open(O_RDONLY, Mode::kInput, "Cannot open file"); }

void TextFileClass::Rewrite() {
  Open(O_WRONLY | O_CREAT | O_TRUNC, Mode::kOutput, "Cannot create file");
}

void TextFileClass::Append() {
  Open(O_WRONLY | O_APPEND, Mode::kOutput, "Cannot open file");
  // Positions count from the end from the start, not only after a write.
  if (::lseek(fd_, 0, SEEK_END) < 0 && errno != ESPIPE) {
    int error = errno;
    Release();
    throw MakeInOutError("Cannot open file", file_name_, error);
  }
}

void TextFileClass::Close() {
  Require(Mode::kClosed);
  int flush_error = 0;
  if (mode_ == Mode::kOutput) {
    try {
      Flush();
    } catch (const InOutError& error) {
      flush_error = error.Code();
    }
  }
  const int result = ::close(fd_);
  const int close_error = result < 0 && errno != EINTR ? errno : 0;
  fd_ = -1;
  Release();
  if (flush_error != 0) throw MakeInOutError("Cannot write file", file_name_, flush_error);
  if (close_error != 0) throw MakeInOutError("Cannot close file", file_name_, close_error);
}

void TextFileClass::Require(Mode way) const {
  const char* text = nullptr;
  if (mode_ == Mode::kClosed) {
    text = "\" is not open";
  } else if (way == Mode::kInput && mode_ != Mode::kInput) {
    text = "\" is not open for input";
  } else if (way == Mode::kOutput && mode_ != Mode::kOutput) {
    text = "\" is not open for output";
  }
  if (text != nullptr) throw InOutError("File \"" + file_name_ + text, EBADF);
}

void TextFileClass::Write(std::string_view text) {
  Require(Mode::kOutput);
  buffer_.append(text);
  if (buffer_.size() >= kBlockSize) Flush();
}

void TextFileClass::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = RetryOnInterrupt(
        [&] { return ::write(fd_, buffer_.data() + done, buffer_.size() - done); });
    if (n < 0) {
      const int error = errno;
      buffer_.clear();  // Not tried again by every later call.
      throw MakeInOutError("Cannot write file", file_name_, error);
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

bool TextFileClass::Fill() {
  buffer_.resize(kBlockSize);
  const ssize_t n = RetryOnInterrupt([&] { return ::read(fd_, buffer_.data(), buffer_.size()); });
  const int error = errno;
  buffer_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  read_at_ = 0;
  if (n < 0) throw MakeInOutError("Cannot read file", file_name_, error);
  return n > 0;
}

std::string TextFileClass::ReadLn() {
  Require(Mode::kInput);
  std::string line;
  for (;;) {
    if (read_at_ == buffer_.size() && !Fill()) return line;
    const std::size_t end = buffer_.find_first_of("\r\n", read_at_);
    if (end == std::string::npos) {
      line.append(buffer_, read_at_);
      read_at_ = buffer_.size();
      if (line.size() > kMaxLineLength) {
        throw InOutError("Cannot read file \"" + file_name_ + "\". A line is longer than " +
                             std::to_string(kMaxLineLength) + " bytes",
                         EFBIG);
      }
      continue;
    }
    line.append(buffer_, read_at_, end - read_at_);
    read_at_ = end + 1;
    if (buffer_[end] == '\r' && (read_at_ < buffer_.size() || Fill()) &&
        buffer_[read_at_] == '\n') {
      ++read_at_;
    }
    return line;
  }
}

bool TextFileClass::Eof() {
  Require(Mode::kInput);
  return read_at_ == buffer_.size() && !Fill();
}

std::int64_t TextFileClass::FilePos() {
  Require(Mode::kClosed);
  const off_t offset = ::lseek(fd_, 0, SEEK_CUR);
  if (offset < 0) throw MakeInOutError("Cannot get the position in file", file_name_, errno);
  if (mode_ == Mode::kInput) {
    return static_cast<std::int64_t>(offset) - static_cast<std::int64_t>(buffer_.size() - read_at_);
  }
  return static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(buffer_.size());
}

std::int64_t TextFileClass::FileSize() {
  Require(Mode::kClosed);
  if (mode_ == Mode::kOutput) Flush();
  struct stat status;
  if (::fstat(fd_, &status) != 0) {
    throw MakeInOutError("Cannot get the size of file", file_name_, errno);
  }
  return static_cast<std::int64_t>(status.st_size);
}

}  // namespace vantrel
