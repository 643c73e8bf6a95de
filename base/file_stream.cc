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
namespace {

// 0 for a regular file; a directory gives EISDIR, anything else (a FIFO, a
// device, a socket) is reported like a missing file.
int ErrorForKind(mode_t mode) {
  if (S_ISREG(mode)) return 0;
  return S_ISDIR(mode) ? EISDIR : ENOENT;
}

// What fstat says of the open descriptor, whose size it stores in `size`;
// a regular file is then switched back to blocking reads (all a regular
// file knows anyway). O_NONBLOCK is the only status flag the file was
// opened with, so clearing all of them clears just that one.
int CheckOpenedFile(int fd, std::int64_t& size) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return errno;
  if (const int error = ErrorForKind(info.st_mode); error != 0) return error;
  if (::fcntl(fd, F_SETFL, 0) < 0) return errno;
  size = info.st_size;
  return 0;
}

// Opens `path` into `fd` when it is a regular file, storing its size in
// `size`; returns 0 or the errno value. A FIFO or a device could block the
// open or every read for ever, or act on being opened: stat (here or by the
// caller) keeps such a file from being opened at all, O_NONBLOCK makes the open return at once
// should the name be replaced meanwhile, and fstat checks what was
// actually opened.
int OpenRegularFile(const std::string& path, PathCheck check, int& fd, std::int64_t& size) {
  if (check == PathCheck::kByStream) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return errno;
    if (const int error = ErrorForKind(info.st_mode); error != 0) return error;
  }
  const int opened = RetryOnInterrupt(
      [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); });
  if (opened < 0) return errno;
  if (const int error = CheckOpenedFile(opened, size); error != 0) {
    ::close(opened);
    return error;
  }
  fd = opened;
  return 0;
}

}  // namespace

FileStream::FileStream(const std::string& path, PathCheck check) : path_(path) {
  const int error = OpenRegularFile(path, check, fd_, opened_size_);
  if (error != 0) throw MakeFileOpenError(path, error);
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
