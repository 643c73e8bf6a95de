#include "base/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/retry_on_interrupt.h"

namespace vantrel {
namespace {

[[noreturn]] void ThrowRead(const std::string& path, int error) {
  throw MakeFileOpenError(path, error);
}

[[noreturn]] void ThrowWrite(const std::string& path, int error) {
  throw MakeFileCreateError(path, error);
}

// Opens `path`; returns -1 with errno set on failure.
int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  return RetryOnInterrupt([&] { return ::open(path, flags | O_CLOEXEC, mode); });
}

// Writes every byte; returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = RetryOnInterrupt([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (n < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// Writes and closes `fd`; returns 0 or the errno of the first failure.
int WriteAndClose(int fd, std::string_view bytes) {
  int error = WriteAll(fd, bytes);
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  return error;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  const int fd = OpenRetrying(path.c_str(), O_RDONLY);
  if (fd < 0) ThrowRead(path, errno);
  std::string result;
  char chunk[16384];
  for (;;) {
    const ssize_t n = RetryOnInterrupt([&] { return ::read(fd, chunk, sizeof chunk); });
    if (n == 0) break;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      ThrowRead(path, error);
    }
    result.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return result;
}

void WriteWholeFile(const std::string& path, std::string_view bytes, int new_file_mode) {
  struct stat old_file {};
  const bool exists = ::stat(path.c_str(), &old_file) == 0;
  const mode_t mode = exists ? (old_file.st_mode & 07777) : static_cast<mode_t>(new_file_mode);

  const std::string temporary = path + ".new";
  const int temp_fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  if (temp_fd >= 0) {
    int error = WriteAll(temp_fd, bytes);
    if (error == 0 && ::fsync(temp_fd) != 0) error = errno;
    if (::close(temp_fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error == 0) return;
    ::unlink(temporary.c_str());
    ThrowWrite(path, error);
  }

  // No file can be made beside it (a read-only folder holding a writable
  // file): rewrite the file itself.
  const int fd = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  if (fd < 0) ThrowWrite(path, errno);
  if (const int error = WriteAndClose(fd, bytes); error != 0) ThrowWrite(path, error);
}

void AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) ThrowWrite(path, errno);
  if (const int error = WriteAndClose(fd, bytes); error != 0) ThrowWrite(path, error);
}

}  // namespace vantrel
