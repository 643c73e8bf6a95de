// The gateway's settings: the ordered "Name=Value" lines of config.ini in
// the program directory, looked up by key at the moment of use.
//
// The list is replaced as a whole by every load and edit, and readers look
// up values in the list they found, so a lookup on a connection thread is
// never torn by a reload on the main thread. Loading, saving and editing
// happen on the main thread.
#ifndef VANTREL_APP_CONFIGURATION_H_
#define VANTREL_APP_CONFIGURATION_H_

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/exception.h"
#include "base/string_list.h"

namespace vantrel {

class FrontEnd;

// A line looked up by position that the list does not have.
VANTREL_ERROR_CLASS(ListIndexError, Exception);

class Configuration {
 public:
  // The message shown when config.ini cannot be read.
  static constexpr const char* kLoadErrorMessage =
      "Error loading configuration. Please check configuration.";
  // The mode config.ini is created with: it holds the password.
  static constexpr int kNewFileMode = 0600;
  // Index of the line that holds the PHP path, whatever its name.
  static constexpr std::size_t kPhpPathLine = 9;

  // `path` is the full path of config.ini; messages go to `front_end`,
  // which must outlive the configuration.
  Configuration(std::string path, FrontEnd& front_end);

  // Reads config.ini into the list. When the file cannot be read the list
  // keeps its content and the message box tells so; with `with_defaults`,
  // the ten default lines are first appended and the whole list written
  // back. Returns false when writing the defaults failed (shown in the
  // general error report, and the load message is not shown): the caller
  // then skips the rest of its step.
  bool LoadConfiguration(bool with_defaults);

  // Writes the whole list to config.ini. Returns false, after showing the
  // failure in the general error report, when it cannot be written.
  bool SaveConfiguration();

  // The value of the first line whose name equals `key` ignoring ASCII case,
  // or "" when none does. Any thread.
  std::string SettingValue(std::string_view key) const;

  // A switch is on only when its value is exactly "yes". Any thread.
  bool SwitchOn(std::string_view key) const;

  // A setting that is a whole number of at least `minimum`, or
  // `default_value` when it is absent or anything else. Any thread.
  std::int32_t IntegerSetting(std::string_view key, std::int32_t default_value,
                              std::int32_t minimum = 0) const;
  // A size in MiB (a whole number from 0 up, as IntegerSetting reads it)
  // in bytes. Any thread.
  std::int64_t MebibyteSetting(std::string_view key, std::int32_t default_mebibytes) const;
  // A comma-separated list, each item trimmed of blanks, empty items
  // dropped. Any thread.
  std::vector<std::string> ListSetting(std::string_view key) const;

  // The value of the tenth line, whatever its name. Raises ListIndexError
  // when the list has fewer than ten lines. Any thread.
  std::string PhpPath() const;

  // A copy of the live list, and its replacement (the settings dialog's
  // edits). Any thread / main thread.
  StringList Lines() const;
  void SetLines(StringList lines);

  const std::string& Path() const { return path_; }

  // The lines written when config.ini cannot be read.
  static StringList DefaultLines();

 private:
  std::shared_ptr<const StringList> Snapshot() const;

  const std::string path_;
  FrontEnd& front_end_;
  mutable std::mutex mutex_;
  std::shared_ptr<const StringList> lines_;  // Guarded by mutex_; never null, never mutated.
};

}  // namespace vantrel

#endif  // VANTREL_APP_CONFIGURATION_H_
