// A text file of the system library's file functions: a file name bound by
// AssignFile, opened by Reset (reading), Rewrite or Append (writing), read
// by lines and written by texts.
//
// Reading goes through a buffer of its own; ReadLn ends a line at a line
// feed, a carriage return or both, and gives "" at the end of the file.
// Writing is buffered too: what a script writes reaches the file when the
// buffer fills, at CloseFile, before FilePos and FileSize, and when the
// object is destroyed (Free, or the end of the run for a file the script
// forgot), which also closes the file. Every failure raises InOutError.
//
// Threads: used by the thread that runs the script.
#ifndef VANTREL_SCRIPT_LIBRARY_TEXT_FILE_CLASS_H_
#define VANTREL_SCRIPT_LIBRARY_TEXT_FILE_CLASS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/values/tobject.h"

namespace vantrel {

class TextFileClass : public TObject {
 public:
  // A line longer than this raises instead of growing without bound (a
  // device such as /dev/zero never ends its line).
  static constexpr std::size_t kMaxLineLength = std::size_t{1} << 24;

  explicit TextFileClass(std::string file_name);
  // Closes the file, writing what is buffered; failures are lost here.
  ~TextFileClass() override;

  const std::string& FileName() const { return file_name_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Open the file (closing it first when open): for reading from the start;
  // created or emptied for writing; for writing at the end of an existing
  // file.
  void Reset();
  void Rewrite();
  void Append();
  // Writes what is buffered and closes the file; raises for a file not open.
  void Close();

  // For a file open for writing.
  void Write(std::string_view text);
  // For a file open for reading.
  std::string ReadLn();
  bool Eof();
  // For an open file: the byte offset of the next byte read or written,
  // and the file's size in bytes.
  std::int64_t FilePos();
  std::int64_t FileSize();

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  enum class Mode { kClosed, kInput, kOutput };

  void Open(int flags, Mode mode, std::string_view failure);
  // Raises unless the file is open: either way for kClosed, else in `way`.
  void Require(Mode way) const;
  // Reads the next block into the buffer; false at the end of the file.
  bool Fill();
  // Writes the buffered text.
  void Flush();
  // Closes the descriptor without raising.
  void Release();

  std::string file_name_;
  int fd_ = -1;  // Open exactly when mode_ is not kClosed.
  Mode mode_ = Mode::kClosed;
  // Input: the block read last, consumed up to read_at_. Output: text not
  // yet written.
  std::string buffer_;
  std::size_t read_at_ = 0;
};

inline const ClassInfo TextFileClass::kClassInfo = {"TextFileClass", &TObject::kClassInfo, {}};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_LIBRARY_TEXT_FILE_CLASS_H_
