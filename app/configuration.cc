#include "app/configuration.h"

#include "app/front_end.h"
#include "base/integer_text.h"
#include "base/text_file.h"

namespace vantrel {

Configuration::Configuration(std::string path, FrontEnd& front_end)
    : path_(std::move(path)), front_end_(front_end), lines_(std::make_shared<StringList>()) {}

StringList Configuration::DefaultLines() {
  return {"AutoActivate=no",  "AutoMinimize=no", "Server port=80", "Use session=no",
          "Session expire=1", "Auth require=no", "Auth user=user", "Auth password=kelp",
          "Log to file=no",   "PHP path="};
}

bool Configuration::LoadConfiguration(bool with_defaults) {
  StringList loaded;
  try {
    loaded.LoadFromFile(path_);
  } catch (const FileOpenError&) {
    if (with_defaults) {
      StringList extended = Lines();
      for (const std::string& line : DefaultLines()) extended.Add(line);
      SetLines(extended);
      if (!SaveConfiguration()) return false;
    }
    front_end_.ShowMessage(kLoadErrorMessage);
    return true;
  }
  SetLines(std::move(loaded));
  return true;
}

bool Configuration::SaveConfiguration() {
  try {
    // The file holds the password: a new one is for the program's user only.
    Snapshot()->SaveToFile(path_, kNewFileMode);
    return true;
  } catch (const FileCreateError& error) {
    front_end_.ShowError(error.Message());
    return false;
  }
}

std::string Configuration::SettingValue(std::string_view key) const {
  return Snapshot()->Values(key);
}

bool Configuration::SwitchOn(std::string_view key) const {
  // Asked on every request: compared in place, not copied.
  return Snapshot()->ValueView(key) == "yes";
}

std::int32_t Configuration::IntegerSetting(std::string_view key, std::int32_t default_value,
                                           std::int32_t minimum) const {
  const std::optional<std::int32_t> value = ParseInt32(SettingValue(key));
  return value && *value >= minimum ? *value : default_value;
}

std::int64_t Configuration::MebibyteSetting(std::string_view key,
                                            std::int32_t default_mebibytes) const {
  return std::int64_t{IntegerSetting(key, default_mebibytes)} << 20;
}

std::vector<std::string> Configuration::ListSetting(std::string_view key) const {
  std::vector<std::string> items;
  const std::string text = SettingValue(key);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::size_t first = start;
    std::size_t last = end;
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    if (last > first) items.push_back(text.substr(first, last - first));
    start = end + 1;
  }
  return items;
}

std::string Configuration::PhpPath() const {
  const std::shared_ptr<const StringList> lines = Snapshot();
  if (lines->Count() <= kPhpPathLine) {
    throw ListIndexError("List index out of bounds (" + std::to_string(kPhpPathLine) + ")");
  }
  return lines->ValueAt(kPhpPathLine);
}

StringList Configuration::Lines() const { return *Snapshot(); }

void Configuration::SetLines(StringList lines) {
  auto replacement = std::make_shared<const StringList>(std::move(lines));
  std::lock_guard lock(mutex_);
  lines_.swap(replacement);
}

std::shared_ptr<const StringList> Configuration::Snapshot() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

}  // namespace vantrel
