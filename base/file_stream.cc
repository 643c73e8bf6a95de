#include "base/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/file_error.h"
#include "base/retry_on_interrupt.h"
#include "base/system_error_text.h"

namespace vantrel {

FileStream::FileStream(const std::string& path) : path_(path) {
  const int fd = RetryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    struct stat info;
    if (::fstat(fd, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    }
    if (error != 0) ::close(fd);
  }
  if (error != 0) {
    throw MakeFileOpenError(path, error);
  }
  fd_ = fd;
}

FileStream::~FileStream() { ::close(fd_); }

std::int64_t FileStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const ssize_t result = RetryOnInterrupt([&] {
    return ::pread(fd_, buffer, static_cast<size_t>(count), static_cast<off_t>(position_));
  });
  if (result < 0) {
    throw StreamError("Cannot read file \"" + path_ + "\". " + SystemErrorText(errno));
  }
  position_ += result;
  return result;
}

std::int64_t FileStream::Write(const void* /*buffer*/, std::int64_t /*count*/) {
  throw StreamError("Cannot write to file \"" + path_ + "\": it is open for reading.");
}

void FileStream::SetSize(std::int64_t /*size*/) {
  throw StreamError("Cannot change the size of file \"" + path_ + "\": it is open for reading.");
}

std::int64_t FileStream::Size() const {
  struct stat info;
  if (::fstat(fd_, &info) != 0) {
    throw StreamError("Cannot read file \"" + path_ + "\". " + SystemErrorText(errno));
  }
  return info.st_size;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == SeekOrigin::kCurrent) base = position_;
  if (origin == SeekOrigin::kEnd) base = Size();
  position_ = std::max<std::int64_t>(0, base + offset);
  return position_;
}

}  // namespace vantrel
