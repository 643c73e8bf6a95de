// A file opened for reading as a Stream, while other readers and writers may
// use the same file meanwhile (nothing is locked). Size() is asked of the
// file each time, so it follows a file that grows or shrinks.
//
// Owns its descriptor, which is closed on destruction and is not inherited
// by child processes. Used by one thread at a time.
#ifndef VANTREL_BASE_FILE_STREAM_H_
#define VANTREL_BASE_FILE_STREAM_H_

#include <cstdint>
#include <string>

#include "base/file_error.h"
#include "base/stream.h"

namespace vantrel {

// Who looks at what a path names before it is opened.
enum class PathCheck {
  kByStream,  // The stream asks the system first.
  // The caller has just asked (stat) and found a regular file: the path is
  // not looked up a second time. What is opened is still checked, so a name
  // replaced in the moment between by a FIFO or a directory raises as
  // below; a device put there in that moment would be opened, as it would
  // be in the moment between the stream's own look and its open.
  kByCaller,
};

class FileStream final : public Stream {
 public:
  // Opens `path` for reading. Only a regular file opens: a directory raises
  // FileOpenError with the reason EISDIR, and anything else (a FIFO, a
  // device) raises it as a missing file does, without blocking and without
  // the device ever being opened by name.
  explicit FileStream(const std::string& path, PathCheck check = PathCheck::kByStream);
  ~FileStream() override;

  // Raises StreamError when the system fails to read.
  std::int64_t Read(void* buffer, std::int64_t count) override;
  // The stream is read-only: both raise StreamError.
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  void SetSize(std::int64_t size) override;

  std::int64_t Size() const override;
  // The size the file had when it was opened, without asking the file
  // again: for a caller that announces a length and then sends exactly
  // that many bytes, for which the size at any one moment serves.
  std::int64_t OpenedSize() const { return opened_size_; }
  std::int64_t Position() const override { return position_; }
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin = SeekOrigin::kBegin) override;

  const std::string& Path() const { return path_; }
  // The open descriptor, for system calls that copy from it directly
  // (sending a file to a socket). Owned by the stream.
  int Descriptor() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;                   // Open for the whole life of the object.
  std::int64_t position_ = 0;     // >= 0; reads use pread at this offset.
  std::int64_t opened_size_ = 0;  // Set once by the constructor.
};

}  // namespace vantrel

#endif  // VANTREL_BASE_FILE_STREAM_H_
