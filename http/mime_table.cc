#include "http/mime_table.h"

#include <sys/stat.h>

#include <mutex>
#include <utility>

#include "base/ascii.h"
#include "base/file_error.h"
#include "base/string_list.h"

namespace vantrel {
namespace {

// Stands in for list B when the system has neither file.
constexpr std::pair<const char*, const char*> kCommonWebTypes[] = {
    {".html", "text/html"},      {".htm", "text/html"},       {".css", "text/css"},
    {".js", "text/javascript"},  {".mjs", "text/javascript"}, {".json", "application/json"},
    {".txt", "text/plain"},      {".csv", "text/csv"},        {".xml", "application/xml"},
    {".png", "image/png"},       {".jpg", "image/jpeg"},      {".jpeg", "image/jpeg"},
    {".gif", "image/gif"},       {".svg", "image/svg+xml"},   {".ico", "image/vnd.microsoft.icon"},
    {".webp", "image/webp"},     {".bmp", "image/bmp"},       {".pdf", "application/pdf"},
    {".zip", "application/zip"}, {".gz", "application/gzip"}, {".wasm", "application/wasm"},
    {".woff", "font/woff"},      {".woff2", "font/woff2"},    {".ttf", "font/ttf"},
    {".otf", "font/otf"},        {".mp3", "audio/mpeg"},      {".wav", "audio/wav"},
    {".ogg", "audio/ogg"},       {".mp4", "video/mp4"},       {".webm", "video/webm"},
};

using List = std::unordered_map<std::string, std::string>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits `line` at blanks into its words.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) visit(line.substr(start, i - start));
  }
}

// The lines of `path`; false when it cannot be read.
bool LoadLines(const std::string& path, StringList& lines) {
  try {
    lines.LoadFromFile(path);
    return true;
  } catch (const FileOpenError&) {
    return false;
  }
}

// mime.types: "type ext ext ..." per line, "#" starts a comment line. A
// later line wins over an earlier one for the same extension.
bool ReadTypesFile(const std::string& path, List& list) {
  StringList lines;
  if (!LoadLines(path, lines)) return false;
  for (const std::string& line : lines) {
    if (line.empty() || line.front() == '#') continue;
    std::string_view mime_type;
    ForEachWord(line, [&](std::string_view word) {
      if (mime_type.empty()) {
        mime_type = word;
      } else {
        list["." + ToLowerAscii(word)] = std::string(mime_type);
      }
    });
  }
  return true;
}

// globs2: "weight:type:glob[:flags]" per line, heaviest first. Only globs
// of the form "*.ext" name an extension; the first (heaviest) type seen
// for an extension wins.
bool ReadGlobsFile(const std::string& path, List& list) {
  StringList lines;
  if (!LoadLines(path, lines)) return false;
  for (const std::string& line : lines) {
    if (line.empty() || line.front() == '#') continue;
    const std::string_view text = line;
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) continue;
    const std::size_t second = text.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view mime_type = text.substr(first + 1, second - first - 1);
    std::string_view glob = text.substr(second + 1);
    glob = glob.substr(0, glob.find(':'));
    if (glob.size() < 3 || glob[0] != '*' || glob[1] != '.') continue;
    const std::string_view extension = glob.substr(1);
    if (extension.find_first_of("*?[") != std::string_view::npos) continue;
    list.try_emplace(ToLowerAscii(extension), mime_type);
  }
  return true;
}

// The file's modification time in nanoseconds; 0 when it is missing.
std::int64_t ModificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return 0;
  return std::int64_t{status.st_mtim.tv_sec} * 1'000'000'000 + status.st_mtim.tv_nsec;
}

// The steady-clock tick one refill interval from now.
std::chrono::steady_clock::rep NextCheck() {
  return (std::chrono::steady_clock::now() + MimeTable::kRefillInterval).time_since_epoch().count();
}

}  // namespace

MimeTable::MimeTable() : MimeTable(kSystemTypesFile, kSystemGlobsFile) {}

MimeTable::MimeTable(std::string types_file, std::string globs_file)
    : types_file_(std::move(types_file)), globs_file_(std::move(globs_file)) {
  Fill();
}

std::string_view MimeTable::ExtensionOf(std::string_view file_name) {
  const std::size_t segment = file_name.find_last_of("/\\");
  const std::string_view name =
      segment == std::string_view::npos ? file_name : file_name.substr(segment + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string MimeTable::GetFileMIMEType(std::string_view file_name) {
  const std::string extension = ToLowerAscii(ExtensionOf(file_name));
  if (extension.empty()) return kDefaultMimeType;
  const auto lookup = [&](bool list_b) -> std::string {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const List& list = list_b ? list_b_ : list_a_;
    const auto found = list.find(extension);
    return found == list.end() ? std::string() : found->second;
  };
  std::string mime_type = lookup(false);
  if (!mime_type.empty()) return mime_type;
  if (MaybeRefill()) {
    mime_type = lookup(false);
    if (!mime_type.empty()) return mime_type;
  }
  mime_type = lookup(true);
  return mime_type.empty() ? std::string(kDefaultMimeType) : mime_type;
}

void MimeTable::Fill() {
  // Read the files without the lock, so lookups go on meanwhile.
  List list_a;
  List list_b;
  const std::int64_t types_mtime = ModificationTime(types_file_);
  const std::int64_t globs_mtime = ModificationTime(globs_file_);
  const bool have_types = ReadTypesFile(types_file_, list_a);
  const bool have_globs = ReadGlobsFile(globs_file_, list_b);
  if (!have_types && !have_globs) {
    for (const auto& [extension, mime_type] : kCommonWebTypes) {
      list_b.try_emplace(extension, mime_type);
    }
  }

  std::unique_lock<std::shared_mutex> lock(mutex_);
  for (auto& [extension, mime_type] : list_a) list_a_[extension] = std::move(mime_type);
  for (auto& [extension, mime_type] : list_b) list_b_[extension] = std::move(mime_type);
  types_mtime_ = types_mtime;
  globs_mtime_ = globs_mtime;
  next_check_ = NextCheck();
}

bool MimeTable::MaybeRefill() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  auto next = next_check_.load();
  // One miss per interval checks the files; the others go on at once.
  if (now < next || !next_check_.compare_exchange_strong(next, NextCheck())) return false;
  {
    std::shared_lock<std::shared_mutex> lock(mutex_);
    if (ModificationTime(types_file_) == types_mtime_ &&
        ModificationTime(globs_file_) == globs_mtime_) {
      return false;
    }
  }
  Fill();
  return true;
}

void MimeTable::AddMimeType(std::string_view extension, std::string_view mime_type) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  list_a_[ToLowerAscii(extension)] = std::string(mime_type);
}

}  // namespace vantrel
