// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
#ifndef VANTREL_TESTS_SUPPORT_TEMP_DIR_H_
#define VANTREL_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

namespace vantrel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path of `name` inside the directory.
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Writes `bytes` to `name` (creating folders on the way); returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // The bytes of `name`, or "" when it cannot be read.
  std::string Read(std::string_view name) const;
  bool Exists(std::string_view name) const;

 private:
  std::string path_;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_TEMP_DIR_H_
