#include "script/scripter/scripter_library_options.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "base/ascii.h"

namespace vantrel {
namespace {

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  size_t end = text.size();
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

// `name` with its extension (if any) replaced by `ext`.
std::string WithExtension(std::string_view name, std::string_view ext) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    name = name.substr(0, dot);
  }
  return std::string(name) + std::string(ext);
}

// The ";"-joined directory list of the search path, variables expanded.
std::string DirectoryList(const StringList& search_path, std::string_view app_dir) {
  std::string list;
  for (const std::string& line : search_path) {
    std::string_view entry = Trim(line);
    if (entry.empty()) continue;
    if (!list.empty()) list += ';';
    if (EqualsIgnoreCase(entry, "$(CURDIR)")) {
      list += '.';
    } else if (EqualsIgnoreCase(entry, "$(APPDIR)")) {
      list += app_dir;
    } else {
      list += line;
    }
  }
  return list;
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::string FullPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  if (error) return path;
  return full.lexically_normal().string();
}

}  // namespace

std::string ProgramDirectory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "./";
  std::string dir = exe.parent_path().string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string FindLibraryFile(std::string_view name, const ScripterLibraryOptions& options,
                            std::string_view app_dir) {
  std::string compiled_name = WithExtension(name, options.CompiledFileExt);
  std::string source_name = WithExtension(name, options.SourceFileExt);
  std::string list = DirectoryList(options.SearchPath, app_dir);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    start = end + 1;
    if (dir.empty()) continue;
    if (dir.back() != ':' && dir.back() != '/') dir += '/';
    if (IsFile(dir + compiled_name)) return FullPath(dir + compiled_name);
    if (IsFile(dir + source_name)) return FullPath(dir + source_name);
  }
  return "";
}

}  // namespace vantrel
